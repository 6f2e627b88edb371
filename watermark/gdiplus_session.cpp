#include "watermark/gdiplus_session.h"

#include <windows.h>
// GDI+'s headers need the OLE types first.
#include <objidl.h>
#include <gdiplus.h>

#include "support/log.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ULONG_PTR g_token = 0;
volatile LONG g_running = 0;

}  // namespace

bool EnsureGdiplus() {
    if (InterlockedCompareExchange(&g_running, 0, 0)) return true;
    AcquireSRWLockExclusive(&g_lock);
    Gdiplus::Status status = Gdiplus::Ok;
    if (!g_running) {
        Gdiplus::GdiplusStartupInput input;
        status = Gdiplus::GdiplusStartup(&g_token, &input, nullptr);
        if (status == Gdiplus::Ok) InterlockedExchange(&g_running, 1);
    }
    const bool running = g_running != 0;
    ReleaseSRWLockExclusive(&g_lock);
    if (!running) LogError("GdiplusStartup Error=%d.", static_cast<int>(status));
    return running;
}
