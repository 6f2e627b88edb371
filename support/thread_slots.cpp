#include "support/thread_slots.h"

namespace slots {
namespace detail {

uint32_t g_offset[kCount] = {};
bool g_inTeb = false;

namespace {

constexpr uint32_t kTebTlsSlots = 0xE10;  // TlsSlots[64] of the 32-bit TEB
constexpr DWORD kTebTlsSlotCount = 64;
constexpr LONG kNoIndex = static_cast<LONG>(TLS_OUT_OF_INDEXES);

volatile LONG g_index[kCount] = {kNoIndex, kNoIndex, kNoIndex, kNoIndex};

}  // namespace

uint32_t ReadByApi(int slot) {
    const DWORD index = static_cast<DWORD>(g_index[slot]);
    if (index == TLS_OUT_OF_INDEXES) return 0;
    const DWORD error = GetLastError();  // TlsGetValue clears it
    const uint32_t v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(TlsGetValue(index)));
    SetLastError(error);
    return v;
}

void WriteByApi(int slot, uint32_t value) {
    const DWORD index = static_cast<DWORD>(g_index[slot]);
    if (index == TLS_OUT_OF_INDEXES) return;
    const DWORD error = GetLastError();
    TlsSetValue(index, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(value)));
    SetLastError(error);
}

}  // namespace detail

bool Allocate() {
    using detail::g_index;
    using detail::kNoIndex;
    for (volatile LONG& slot : g_index) {
        if (slot != kNoIndex) continue;
        const DWORD fresh = TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) continue;
        if (InterlockedCompareExchange(&slot, static_cast<LONG>(fresh), kNoIndex) != kNoIndex)
            TlsFree(fresh);
    }
    bool inTeb = true;
    for (int s = 0; s < kCount; ++s) {
        const DWORD index = static_cast<DWORD>(g_index[s]);
        if (index < detail::kTebTlsSlotCount) detail::g_offset[s] = detail::kTebTlsSlots + index * 4;
        else inTeb = false;
    }
    detail::g_inTeb = inTeb;
    return Available();
}

bool Available() {
    for (const volatile LONG& slot : detail::g_index)
        if (slot == detail::kNoIndex) return false;
    return true;
}

DWORD Index(int slot) { return static_cast<DWORD>(detail::g_index[slot]); }

}  // namespace slots
