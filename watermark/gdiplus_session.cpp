#include "watermark/gdiplus_session.h"

#include <windows.h>
// GDI+'s headers need the OLE types first.
#include <objidl.h>
#include <gdiplus.h>

#include "support/held_locks.h"
#include "support/log.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ULONG_PTR g_token = 0;
volatile LONG g_running = 0;

}  // namespace

bool EnsureGdiplus() {
    if (InterlockedCompareExchange(&g_running, 0, 0)) return true;
    Gdiplus::Status status = Gdiplus::Ok;
    bool running = false;
    {
        support::ExclusiveHold lock(g_lock);
        if (!g_running) {
            Gdiplus::GdiplusStartupInput input;
            status = Gdiplus::GdiplusStartup(&g_token, &input, nullptr);
            if (status == Gdiplus::Ok) InterlockedExchange(&g_running, 1);
        }
        running = g_running != 0;
    }
    if (!running) LogError("GdiplusStartup Error=%d.", static_cast<int>(status));
    return running;
}
