#include "wndctl/cursor_pinning.h"

#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "identify/button_tracking.h"

namespace {

bool Within(HWND w, HWND top) { return w == top || IsChild(top, w); }

// IsPointerInDoc for one button of the copy; a false answer marks the button
// blocked unless it was pressed again meanwhile.
bool MayBeAt(const POINT& point, const ButtonTrack& b, bool right) {
    bool blocked = false;
    const bool in = IsPointerInDoc(point.x, point.y, b.downWnd, b.docWnd, blocked);
    if (blocked) MarkButtonBlocked(right, b.pressSerial);
    return in;
}

}  // namespace

bool IsPointerInDoc(LONG x, LONG y, HWND downWnd, HWND docWnd, bool& blocked) {
    if (!docWnd) return true;
    _ZEL_HOOK_INFO_ rec{};
    if (store::GetHookInfoByWnd(docWnd, &rec) < 0) return true;
    if (HasPermission(rec, 'A') || HasPermission(rec, 'C')) return true;
    const HWND at = WindowFromPoint(POINT{x, y});
    if (at && Within(at, docWnd)) return true;
    if (downWnd && at && Within(at, downWnd)) return true;
    blocked = true;
    return false;
}

void PinCursorPos(POINT& point) {
    if (!IsProcessDocType(kDocExcel)) return;
    const ButtonTracks t = CurrentButtonTracks();
    if (!t.left.blocked && MayBeAt(point, t.left, false)) {
        if (!t.right.blocked && MayBeAt(point, t.right, true)) return;
        point = t.right.pressPt;
        return;
    }
    point = t.left.pressPt;
}
