#pragma once
// The presentation program's shortcuts that do nothing while a protected
// presentation is in front: saving under another name (F12), printing
// without "P" (Ctrl+Shift+F12), opening and creating (Ctrl+O, Ctrl+N),
// help and research panes (Ctrl+F1, version 11's F1), macros (Alt+F11,
// Ctrl+Alt+F2, Ctrl+Alt+L).
#include <windows.h>

// True when the accelerator of this key message is to be consumed: the
// application then neither translates nor dispatches it. protectedFront is
// set as soon as a protected presentation is known to be in front.
bool ConsumePresentationShortcut(const MSG& msg, bool& protectedFront);
