#pragma once
// The PDF application's print dialogs, found by their controls' texts: a
// dialog in another language or version is left as it is.
#include <windows.h>

// The print dialog's "Print to file" box (a direct child) is unchecked.
void UncheckPrintToFile(HWND dialog);

// Starts ForcePrintAsImageProc on a thread of its own and returns at once.
void StartForcePrintAsImage(HWND dialog);

// The advanced print setup: its "Print as image" box is checked and its OK
// button pressed. A thread procedure; returns 1.
DWORD WINAPI ForcePrintAsImageProc(LPVOID dialog);
