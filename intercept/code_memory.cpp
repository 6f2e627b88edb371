#include "intercept/code_memory.h"

#include <windows.h>

namespace detour {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kAlign = 16;

uint8_t* g_block = nullptr;  // current block
size_t g_used = 0;

bool InSystemRange(uintptr_t p, size_t size) {
    return p + size > kSystemRangeBegin && p < kSystemRangeEnd;
}

// A free 64 KiB-aligned region below the system range, searched downward.
uint8_t* ReserveBelowSystemRange() {
    const uintptr_t mask = kBlockSize - 1;
    uintptr_t at = kSystemRangeBegin - kBlockSize;
    while (at >= kBlockSize) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (!VirtualQuery(reinterpret_cast<void*>(at), &mbi, sizeof mbi)) return nullptr;
        const uintptr_t base = reinterpret_cast<uintptr_t>(mbi.BaseAddress);
        if (mbi.State == MEM_FREE && base + mbi.RegionSize - at >= kBlockSize) {
            void* p = VirtualAlloc(reinterpret_cast<void*>(at), kBlockSize,
                                   MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READ);
            if (p) return static_cast<uint8_t*>(p);
        }
        const uintptr_t below = mbi.State == MEM_FREE ? at : (base & ~mask);
        if (below < 2 * kBlockSize) return nullptr;
        at = below - kBlockSize;
    }
    return nullptr;
}

uint8_t* NewBlock() {
    void* p = VirtualAlloc(nullptr, kBlockSize, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READ);
    if (p && !InSystemRange(reinterpret_cast<uintptr_t>(p), kBlockSize))
        return static_cast<uint8_t*>(p);
    if (p) VirtualFree(p, 0, MEM_RELEASE);
    return ReserveBelowSystemRange();
}

}  // namespace

uint8_t* AllocateCode(size_t size) {
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (size == 0 || size > kBlockSize) return nullptr;
    if (!g_block || g_used + size > kBlockSize) {
        uint8_t* block = NewBlock();
        if (!block) return nullptr;
        g_block = block;
        g_used = 0;
    }
    uint8_t* p = g_block + g_used;
    g_used += size;
    return p;
}

bool UnlockCode(uint8_t* code, size_t size) {
    DWORD old = 0;
    return VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &old) != 0;
}

void LockCode(uint8_t* code, size_t size) {
    DWORD old = 0;
    VirtualProtect(code, size, PAGE_EXECUTE_READ, &old);
    FlushInstructionCache(GetCurrentProcess(), code, size);
}

}  // namespace detour
