#pragma once
// The PDF application's print dialogs, found by their controls' texts: a
// dialog in another language or version is left as it is.
#include <windows.h>

// The print dialog's "Print to file" box (a direct child) is unchecked.
void UncheckPrintToFile(HWND dialog);

// The print dialog's print-to-file box gets zero size and position if its
// creation did not leave it so: the creation hook zeroes it in the creation
// parameters, which Windows uses, while Wine (8.0) makes the window as the
// application asked. (The "Advanced" button is left as it was created: with
// no size, the button ignores the Alt+D that opens it.)
void KeepPrintToFileOutOfReach(HWND dialog);

// Starts ForcePrintAsImageProc on a thread of its own and returns at once.
void StartForcePrintAsImage(HWND dialog);

// The advanced print setup: its "Print as image" box is checked and its OK
// button pressed. A thread procedure; returns 1.
DWORD WINAPI ForcePrintAsImageProc(LPVOID dialog);
