#pragma once
// What the dialog rules do to other windows, always by posting: a rule never
// waits for a dialog, which may belong to another thread that is itself
// waiting (a modal loop, the hook's own thread).
#include <windows.h>

namespace wndctl {

// WM_CLOSE with zero parameters: the dialog closes as through its close box
// (a modal one ends its loop and enables its owner again).
void PostClose(HWND w);

// A left click: the button-down and button-up messages, at the control's
// top left corner.
void PostClick(HWND w);

}  // namespace wndctl
