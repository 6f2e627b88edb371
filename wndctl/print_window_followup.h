#pragma once
// The PDF application's print dialog is followed up once per creation: its
// creation is noted, and its first activation presses Alt+D, which opens the
// advanced print setup (where print-as-image is forced).
#include <windows.h>

// The window named "Print" was created (a top-level window: a control of
// that name is no print dialog).
void NotePrintWindowCreated(HWND w);

// At the activation of the dialog titled "Print": presses Alt+D when w is the
// window whose creation was noted last, once. Another window titled "Print"
// (one titled after its creation, or whose creation was not seen) is no
// follow-up, and a noted window that is gone is forgotten.
void FollowUpPrintWindow(HWND w);
