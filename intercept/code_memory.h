#pragma once
// Executable memory for trampolines. Blocks are never given back: a detached
// trampoline may still be running on another thread, and a later attach of the
// same function reuses it.
#include <cstddef>
#include <cstdint>

namespace detour {

// First and last address (exclusive) of the range where the system places its
// own libraries; trampolines are kept out of it so they never take a system
// library's preferred base.
constexpr uintptr_t kSystemRangeBegin = 0x70000000;
constexpr uintptr_t kSystemRangeEnd = 0x80000000;

// size bytes of executable memory (read-execute while not being written), or
// null. Not thread-safe on its own: callers hold the open transaction.
uint8_t* AllocateCode(size_t size);

// Makes [code, code+size) writable (and still executable) for building a
// trampoline, and read-execute again afterwards.
bool UnlockCode(uint8_t* code, size_t size);
void LockCode(uint8_t* code, size_t size);

}  // namespace detour
