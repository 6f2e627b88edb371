#pragma once
// The document window in front, per application, and the KORB client's
// recorded document window.
#include <windows.h>

// The main-window class pair of the PDF application in its version 8, which
// can show documents in their own windows or inside the main window.
constexpr const char* kPdfPairClass = "AcrobatSDIWindow|AcrobatMDIWindow";

// Set once UpdateKORBDocWnd has recorded a window (in hMDIClient of the context).
extern bool g_bKORBDocWndSet;

// The active document window of this process's application, chosen by the
// document object's type; 0 without a document object or without a window.
HWND FindActiveDocWnd();

// Records the KORB client's current document window in the process context
// while none is recorded or the recorded one is no longer visible.
void UpdateKORBDocWnd();
