#include "guards/screen/display_dcs.h"

namespace {

// The most recent display contexts, newest at hDisplayDC[next - 1]. Single
// words, written and read without a lock by any thread.
constexpr unsigned kRemembered = 16;
HDC hDisplayDC[kRemembered];
unsigned g_next = 0;

bool IsDisplayContext(HDC dc) {
    return GetObjectType(dc) == OBJ_DC && GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY &&
           !WindowFromDC(dc);
}

}  // namespace

void RememberIfDisplayDC(HDC dc, bool driverIsDisplay) {
    if (!dc || (!driverIsDisplay && !IsDisplayContext(dc))) return;
    for (HDC& kept : hDisplayDC)
        if (__atomic_load_n(&kept, __ATOMIC_RELAXED) == dc) return;
    const unsigned slot = __atomic_fetch_add(&g_next, 1u, __ATOMIC_RELAXED) % kRemembered;
    __atomic_store_n(&hDisplayDC[slot], dc, __ATOMIC_RELAXED);
}

bool IsRememberedDisplayDC(HDC dc) {
    if (!dc) return false;
    for (HDC& kept : hDisplayDC)
        if (__atomic_load_n(&kept, __ATOMIC_RELAXED) == dc) return IsDisplayContext(dc);
    return false;
}
