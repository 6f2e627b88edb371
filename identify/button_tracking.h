#pragma once
// The last press and release of each mouse button in this process, kept by
// the message hook: the cursor pinning and the drag guards read them.
#include <windows.h>

struct ButtonTrack {
    HWND downWnd = nullptr;  // window under the pointer at the last press; 0 once released
    HWND upWnd = nullptr;    // window under the pointer at the last release
    HWND docWnd = nullptr;   // the protected document window that holds downWnd
    POINT pressPt{};         // screen point of the last press
    DWORD upTick = 0;        // tick count of the last release
    bool blocked = false;    // a drag of this press left the document
    DWORD pressSerial = 0;   // counts the presses
};

struct ButtonTracks {
    ButtonTrack left;
    ButtonTrack right;
};

// Every message of a thread of a protected application passes here; only
// button presses and releases and pointer moves change the state.
void TrackMouseButtons(const MSG& msg);

// A consistent copy of both buttons' state.
ButtonTracks CurrentButtonTracks();

// Sets the button's blocked flag, unless it has been pressed again since the
// copy whose pressSerial is given was taken.
void MarkButtonBlocked(bool right, DWORD pressSerial);

// The two down windows and the two document windows.
void GetButtonTrack(HWND& leftDown, HWND& rightDown, HWND& leftDoc, HWND& rightDoc);

// WM_LBUTTONDOWN: the left down window, WM_LBUTTONUP the left up window,
// WM_RBUTTONDOWN / WM_RBUTTONUP the right ones; 0 for any other message.
HWND GetButtonWnd(UINT message);

// The protected document window that holds hwnd (the window itself or an
// ancestor registered in the store); else the one in front if it is
// protected; else 0.
HWND GetDocWndOfWindow(HWND hwnd);

// Both release ticks start now; run as the accelerator and cursor table is
// installed.
void StartButtonUpTicks();
