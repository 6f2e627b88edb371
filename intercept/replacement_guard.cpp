#include "intercept/replacement_guard.h"

namespace intercept {
namespace detail {

constexpr int kWords = 2;
static_assert(kHookCount <= 32 * kWords);

volatile LONG g_attached = 0;
volatile uint32_t g_markOffset[kWords] = {0, 0};

namespace {

constexpr uint32_t kTebTlsSlots = 0xE10;  // TlsSlots[64] of the 32-bit TEB
constexpr DWORD kTebTlsSlotCount = 64;

volatile LONG g_markIndex[kWords] = {static_cast<LONG>(TLS_OUT_OF_INDEXES),
                                     static_cast<LONG>(TLS_OUT_OF_INDEXES)};

// Allocated once, before the first replacement can run (at attach), so the
// way in never allocates. A failed allocation leaves TLS_OUT_OF_INDEXES, and
// the marks then cannot be kept: replacements pass straight through.
void AllocateMarkIndexes() {
    for (volatile LONG& slot : g_markIndex) {
        if (slot != static_cast<LONG>(TLS_OUT_OF_INDEXES)) continue;
        const DWORD fresh = TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) continue;
        if (InterlockedCompareExchange(&slot, static_cast<LONG>(fresh),
                                       static_cast<LONG>(TLS_OUT_OF_INDEXES)) !=
            static_cast<LONG>(TLS_OUT_OF_INDEXES))
            TlsFree(fresh);
    }
    for (int w = 0; w < kWords; ++w) {
        const DWORD index = static_cast<DWORD>(g_markIndex[w]);
        if (index < kTebTlsSlotCount) g_markOffset[w] = kTebTlsSlots + index * 4;
    }
}

}  // namespace

bool EnterByApi(int id) {
    const DWORD index = static_cast<DWORD>(g_markIndex[id / 32]);
    if (index == TLS_OUT_OF_INDEXES) return false;
    LastErrorKeeper keep;  // TlsGetValue clears it
    const uintptr_t bit = uintptr_t{1} << (id % 32);
    const uintptr_t marks = reinterpret_cast<uintptr_t>(TlsGetValue(index));
    if (marks & bit) return false;
    return TlsSetValue(index, reinterpret_cast<LPVOID>(marks | bit)) != FALSE;
}

void LeaveByApi(int id) {
    LastErrorKeeper keep;
    const DWORD index = static_cast<DWORD>(g_markIndex[id / 32]);
    const uintptr_t bit = uintptr_t{1} << (id % 32);
    const uintptr_t marks = reinterpret_cast<uintptr_t>(TlsGetValue(index));
    TlsSetValue(index, reinterpret_cast<LPVOID>(marks & ~bit));
}

}  // namespace detail

void SetLibraryAttached(bool attached) {
    if (attached) detail::AllocateMarkIndexes();
    InterlockedExchange(&detail::g_attached, attached ? 1 : 0);
}

bool LibraryAttached() { return detail::g_attached != 0; }

}  // namespace intercept
