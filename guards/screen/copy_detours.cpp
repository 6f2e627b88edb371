// The ways a program copies pixels out of a device context or a window: each
// asks the screen copy rule first. A refusal fails as the function's own
// failure, with ERROR_ACCESS_DENIED, and leaves the destination untouched.
#include "guards/screen/screen_copy_rule.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"

namespace {

// One copy: refused by the rule (when the operation reads its source at all),
// or passed to the real function. After a fault in the rule the copy is
// refused while protected documents are registered, passed otherwise.
template <class Fn, class Result, class... Args>
Result GuardedCopy(HookId id, Fn trampoline, const char* api, HDC dest, ScreenCopySource source,
                   bool readsSource, const void* caller, Result failure, Args... args) {
    return RunReplacement(
        id, trampoline,
        [&](contained::Frame& run) -> Result {
            if (readsSource && RefuseScreenCopy(api, dest, source, caller)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return failure;
            }
            return intercept::CallReal(run, trampoline, args...);
        },
        [&]() -> Result {
            return store::GetHookInfoCount() != 0 ? failure : intercept::CallReal(trampoline, args...);
        },
        args...);
}

}  // namespace

// The replacement is entered by a jump from the function's first bytes, so
// its return address is the caller's (__builtin_return_address(0)).

BOOL WINAPI Detour_BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return GuardedCopy(HookId::kBitBlt, Trampoline_BitBlt, "BitBlt", hdc, {hdcSrc, nullptr}, RopReadsSource(rop),
                       __builtin_return_address(0), FALSE, hdc, x, y, cx, cy, hdcSrc, x1, y1, rop);
}

BOOL WINAPI Detour_StretchBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, int cx1,
                              int cy1, DWORD rop) {
    return GuardedCopy(HookId::kStretchBlt, Trampoline_StretchBlt, "StretchBlt", hdc, {hdcSrc, nullptr},
                       RopReadsSource(rop), __builtin_return_address(0), FALSE, hdc, x, y, cx, cy, hdcSrc, x1, y1,
                       cx1, cy1, rop);
}

BOOL WINAPI Detour_MaskBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, HBITMAP hbmMask,
                           int xMask, int yMask, DWORD rop) {
    // Foreground operation in the low three bytes, background in the high byte.
    const bool reads = RopReadsSource(rop) || RopReadsSource(rop >> 8);
    return GuardedCopy(HookId::kMaskBlt, Trampoline_MaskBlt, "MaskBlt", hdc, {hdcSrc, nullptr}, reads,
                       __builtin_return_address(0), FALSE, hdc, x, y, cx, cy, hdcSrc, x1, y1, hbmMask, xMask,
                       yMask, rop);
}

BOOL WINAPI Detour_PlgBlt(HDC hdc, const POINT* points, HDC hdcSrc, int x1, int y1, int cx, int cy,
                          HBITMAP hbmMask, int xMask, int yMask) {
    return GuardedCopy(HookId::kPlgBlt, Trampoline_PlgBlt, "PlgBlt", hdc, {hdcSrc, nullptr}, true,
                       __builtin_return_address(0), FALSE, hdc, points, hdcSrc, x1, y1, cx, cy, hbmMask, xMask,
                       yMask);
}

BOOL WINAPI Detour_GdiTransparentBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1,
                                     int cx1, int cy1, UINT transparent) {
    return GuardedCopy(HookId::kGdiTransparentBlt, Trampoline_GdiTransparentBlt, "GdiTransparentBlt", hdc,
                       {hdcSrc, nullptr}, true, __builtin_return_address(0), FALSE, hdc, x, y, cx, cy, hdcSrc, x1,
                       y1, cx1, cy1, transparent);
}

BOOL WINAPI Detour_GdiAlphaBlend(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, int cx1,
                                 int cy1, BLENDFUNCTION blend) {
    return GuardedCopy(HookId::kGdiAlphaBlend, Trampoline_GdiAlphaBlend, "GdiAlphaBlend", hdc, {hdcSrc, nullptr},
                       true, __builtin_return_address(0), FALSE, hdc, x, y, cx, cy, hdcSrc, x1, y1, cx1, cy1,
                       blend);
}

COLORREF WINAPI Detour_GetPixel(HDC hdc, int x, int y) {
    return GuardedCopy(HookId::kGetPixel, Trampoline_GetPixel, "GetPixel", nullptr, {hdc, nullptr}, true,
                       __builtin_return_address(0), COLORREF{CLR_INVALID}, hdc, x, y);
}

BOOL WINAPI Detour_PrintWindow(HWND hwnd, HDC hdcBlt, UINT nFlags) {
    return GuardedCopy(HookId::kPrintWindow, Trampoline_PrintWindow, "PrintWindow", hdcBlt, {nullptr, hwnd}, true,
                       __builtin_return_address(0), FALSE, hwnd, hdcBlt, nFlags);
}
