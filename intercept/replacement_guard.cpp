#include "intercept/replacement_guard.h"

namespace intercept {
namespace {

// Two thread-local words of marks, one bit per catalog row: plain values, so
// marking never allocates.
constexpr int kWords = 2;
static_assert(kHookCount <= 32 * kWords);

volatile LONG g_attached = 0;
volatile LONG g_tls[kWords] = {static_cast<LONG>(TLS_OUT_OF_INDEXES),
                               static_cast<LONG>(TLS_OUT_OF_INDEXES)};

DWORD TlsIndexFor(int word) {
    LONG index = g_tls[word];
    if (index != static_cast<LONG>(TLS_OUT_OF_INDEXES)) return static_cast<DWORD>(index);
    const DWORD fresh = TlsAlloc();
    if (fresh == TLS_OUT_OF_INDEXES) return TLS_OUT_OF_INDEXES;
    const LONG prior = InterlockedCompareExchange(&g_tls[word], static_cast<LONG>(fresh),
                                                  static_cast<LONG>(TLS_OUT_OF_INDEXES));
    if (prior != static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
        TlsFree(fresh);
        return static_cast<DWORD>(prior);
    }
    return fresh;
}

}  // namespace

void SetLibraryAttached(bool attached) { InterlockedExchange(&g_attached, attached ? 1 : 0); }

bool LibraryAttached() { return InterlockedCompareExchange(&g_attached, 0, 0) != 0; }

ReplacementScope::ReplacementScope(HookId id) : id_(static_cast<int>(id)) {
    if (id_ < 0 || id_ >= static_cast<int>(kHookCount)) return;
    const DWORD index = TlsIndexFor(id_ / 32);
    if (index == TLS_OUT_OF_INDEXES) return;
    const uintptr_t bit = uintptr_t{1} << (id_ % 32);
    const uintptr_t marks = reinterpret_cast<uintptr_t>(TlsGetValue(index));
    if (marks & bit) return;
    if (!TlsSetValue(index, reinterpret_cast<LPVOID>(marks | bit))) return;
    entered_ = true;
}

ReplacementScope::~ReplacementScope() {
    if (!entered_) return;
    LastErrorKeeper keep;
    const DWORD index = static_cast<DWORD>(g_tls[id_ / 32]);
    const uintptr_t bit = uintptr_t{1} << (id_ % 32);
    const uintptr_t marks = reinterpret_cast<uintptr_t>(TlsGetValue(index));
    TlsSetValue(index, reinterpret_cast<LPVOID>(marks & ~bit));
}

}  // namespace intercept
