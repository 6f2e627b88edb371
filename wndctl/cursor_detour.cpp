// GetCursorPos: the spreadsheet sees the pointer pinned while a drag out of a
// protected document is blocked (wndctl/cursor_pinning.h).
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "wndctl/cursor_pinning.h"

namespace {

// In the spreadsheet. Out of line: the replacement itself stays a test and a
// jump (below).
__attribute__((noinline)) BOOL PinnedCursorPos(LPPOINT lpPoint) {
    return RunReplacement(
        HookId::kGetCursorPos, Trampoline_GetCursorPos,
        [&](contained::Frame& run) -> BOOL {
            const BOOL ok = intercept::CallReal(run, Trampoline_GetCursorPos, lpPoint);
            if (!ok) return ok;
            // Pinned on a copy: the caller's point changes once, to its final value.
            POINT p = *lpPoint;
            const intercept::LastErrorKeeper realError;
            PinCursorPos(p);
            *lpPoint = p;
            return ok;
        },
        // The pointer's position itself carries no content: a fault in the
        // pinning leaves the system's answer.
        [&]() -> BOOL { return intercept::CallReal(Trampoline_GetCursorPos, lpPoint); }, lpPoint);
}

}  // namespace

// Asked on every mouse move; only the spreadsheet's pointer is pinned,
// elsewhere the call goes on at once.
BOOL WINAPI Detour_GetCursorPos(LPPOINT lpPoint) {
    if (!IsProcessDocType(kDocExcel)) return Trampoline_GetCursorPos(lpPoint);
    return PinnedCursorPos(lpPoint);
}
