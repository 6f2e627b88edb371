#pragma once
// The spreadsheet's drag pinning: while a button pressed in a protected
// document without the copy right is dragged out of the document (and out of
// the window it was pressed in), the application sees the pointer standing
// still at the press point, until the button is released and the pointer
// moves more than a second later, or the button is pressed again. The drag
// then drops where it started.
#include <windows.h>

// Replaces point by the press point while a drag is blocked; only in the
// spreadsheet, elsewhere the point is left alone. Run by the message hook on
// each pointer move and by the GetCursorPos replacement.
void PinCursorPos(POINT& point);

// Whether a drag pressed in downWnd (inside the protected document window
// docWnd) may be at (x, y); false sets blocked.
bool IsPointerInDoc(LONG x, LONG y, HWND downWnd, HWND docWnd, bool& blocked);
