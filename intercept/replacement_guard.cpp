#include "intercept/replacement_guard.h"

#include "support/log.h"

namespace intercept {
namespace detail {

static_assert(kHookCount <= static_cast<size_t>(marks::kBits), "one mark bit per catalog row");

volatile LONG g_attached = 0;

namespace {
volatile LONG g_allocationLogged = 0;
}  // namespace

}  // namespace detail

void SetLibraryAttached(bool attached) {
    // Allocated before the first replacement can act, so the way in never
    // allocates.
    if (attached && !marks::Allocate() && !InterlockedExchange(&detail::g_allocationLogged, 1))
        LogError("TlsAlloc Error:%d, no replacement can keep its re-entry mark: every call passes through",
                 static_cast<int>(GetLastError()));
    InterlockedExchange(&detail::g_attached, attached ? 1 : 0);
}

bool LibraryAttached() { return detail::g_attached != 0; }

}  // namespace intercept
