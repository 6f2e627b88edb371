#pragma once
// The interception component: replaces a function's entry with a jump to a
// detour and hands back a trampoline that runs the original function.
//
// The five operations keep the names and results of the published interface
// they stand in for: 0 on success, a Win32 error code otherwise. One
// transaction may be open in the process at a time (ERROR_INVALID_OPERATION
// for a second); after a committed attach the slot holds a callable
// trampoline, after a committed detach the target address again.
//
// Unlike that interface, a commit stops every other thread of the process
// while code is written, and moves any thread caught inside the overwritten
// bytes to the matching place in the trampoline (and back at detach). Entries
// that start with a two-byte no-op below five bytes of padding are patched
// with one atomic two-byte store and need no stop at all.
#include <windows.h>

#include <cstddef>
#include <cstdint>

LONG DetourTransactionBegin();
LONG DetourUpdateThread(HANDLE thread);
LONG DetourAttach(PVOID* ppPointer, PVOID pDetour);
LONG DetourDetach(PVOID* ppPointer, PVOID pDetour);
LONG DetourTransactionCommit();
LONG DetourTransactionAbort();

namespace detour {

// A batch gathers the commits of the calling thread: each commit is checked
// and prepared (and reports its own result) at once, but the code is written
// by EndBatch, with the other threads stopped at most once for all of them.
// While a batch is open no other thread can begin a transaction.
bool BeginBatch();
void EndBatch();

// What the engine knows about a hooked entry (for tests and diagnostics).
struct HookState {
    bool hooked = false;        // attached now
    bool hotPatch = false;
    uint8_t patchLength = 0;
    const void* trampoline = nullptr;
    const void* detour = nullptr;
};
HookState DescribeHook(const void* target);

// How many times commits have stopped the other threads so far.
size_t FreezeCount();

}  // namespace detour
