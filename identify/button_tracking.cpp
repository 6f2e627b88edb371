#include "identify/button_tracking.h"

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "support/held_locks.h"

namespace {

// A blocked button stays blocked after its release until the pointer moves
// this much later.
constexpr DWORD kReleaseQuietMs = 1000;

// The hook procedure writes on the application's threads, the cursor
// replacement reads and marks on whichever thread asks for the pointer.
// Held only to copy: never across a window or store call.
SRWLOCK g_lock = SRWLOCK_INIT;
ButtonTracks g_tracks;

ButtonTrack& Of(ButtonTracks& t, bool right) { return right ? t.right : t.left; }

// The press goes to the window under the pointer: the message's own window
// (a request to the server fewer on every click), or the window at its point
// for a press posted to no window.
void Pressed(bool right, const MSG& msg) {
    const POINT pt = msg.pt;
    bool heldWithoutRelease;
    {
        support::ExclusiveHold hold(g_lock);
        const ButtonTrack& b = Of(g_tracks, right);
        heldWithoutRelease = b.downWnd && !b.upWnd;
    }
    HWND w = nullptr, doc = nullptr;
    if (!heldWithoutRelease) {
        w = msg.hwnd ? msg.hwnd : WindowFromPoint(pt);
        if (w) doc = GetDocWndOfWindow(w);
    }
    support::ExclusiveHold hold(g_lock);
    ButtonTrack& b = Of(g_tracks, right);
    if (w) {
        b.downWnd = w;
        b.upWnd = nullptr;
        b.docWnd = doc;
    }
    b.pressPt = pt;
    b.blocked = false;
    ++b.pressSerial;
}

void Released(bool right, POINT pt) {
    bool needUpWnd;
    {
        support::ExclusiveHold hold(g_lock);
        needUpWnd = !Of(g_tracks, right).upWnd;
    }
    HWND up = needUpWnd ? WindowFromPoint(pt) : nullptr;
    const DWORD now = GetTickCount();
    support::ExclusiveHold hold(g_lock);
    ButtonTrack& b = Of(g_tracks, right);
    b.downWnd = nullptr;
    b.docWnd = nullptr;
    b.upTick = now;
    if (!b.upWnd) b.upWnd = up;
}

void Moved() {
    // Every pointer move passes here; a blocked button is rare.
    if (!__atomic_load_n(&g_tracks.left.blocked, __ATOMIC_RELAXED) &&
        !__atomic_load_n(&g_tracks.right.blocked, __ATOMIC_RELAXED))
        return;
    const DWORD now = GetTickCount();
    support::ExclusiveHold hold(g_lock);
    for (ButtonTrack* b : {&g_tracks.left, &g_tracks.right})
        if (!b->downWnd && b->blocked && now - b->upTick > kReleaseQuietMs) b->blocked = false;
}

}  // namespace

void TrackMouseButtons(const MSG& msg) {
    switch (msg.message) {
        case WM_MOUSEMOVE: return Moved();
        case WM_LBUTTONDOWN: return Pressed(false, msg);
        case WM_RBUTTONDOWN: return Pressed(true, msg);
        case WM_LBUTTONUP: return Released(false, msg.pt);
        case WM_RBUTTONUP: return Released(true, msg.pt);
        default: return;
    }
}

ButtonTracks CurrentButtonTracks() {
    support::ExclusiveHold hold(g_lock);
    return g_tracks;
}

void MarkButtonBlocked(bool right, DWORD pressSerial) {
    support::ExclusiveHold hold(g_lock);
    ButtonTrack& b = Of(g_tracks, right);
    if (b.pressSerial == pressSerial) b.blocked = true;
}

void GetButtonTrack(HWND& leftDown, HWND& rightDown, HWND& leftDoc, HWND& rightDoc) {
    const ButtonTracks t = CurrentButtonTracks();
    leftDown = t.left.downWnd;
    rightDown = t.right.downWnd;
    leftDoc = t.left.docWnd;
    rightDoc = t.right.docWnd;
}

HWND GetButtonWnd(UINT message) {
    const ButtonTracks t = CurrentButtonTracks();
    switch (message) {
        case WM_LBUTTONDOWN: return t.left.downWnd;
        case WM_LBUTTONUP: return t.left.upWnd;
        case WM_RBUTTONDOWN: return t.right.downWnd;
        case WM_RBUTTONUP: return t.right.upWnd;
        default: return nullptr;
    }
}

HWND GetDocWndOfWindow(HWND hwnd) {
    _ZEL_HOOK_INFO_ rec{};
    if (store::GetHookInfoByWndOrChild(hwnd, &rec) >= 0) return DocWndOf(rec);
    CCommonDoc* doc = DocObject();
    rec = _ZEL_HOOK_INFO_{};
    if (doc && doc->IsZelDoc(rec)) return DocWndOf(rec);
    return nullptr;
}

void StartButtonUpTicks() {
    const DWORD now = GetTickCount();
    support::ExclusiveHold hold(g_lock);
    g_tracks.left.upTick = now;
    g_tracks.right.upTick = now;
}
