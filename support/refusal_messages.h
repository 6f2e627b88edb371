#pragma once
// Refusals shown to the user: one thread procedure per message, started on a
// thread of its own so that the refused call returns while the box is up.
// Each shows at most one box a second: a request less than a second after the
// previous request of the same count (shown or not) shows nothing and starts
// the second again. The virtual-printer and save-as messages share one count.
#include <windows.h>

// The thread procedures. The argument is the window that should own the box
// (the record's hDocWnd); each returns 0.
DWORD WINAPI ShowVirtualPrinterMsg(LPVOID owner);  // "D_DCTRL_VIRTUAL_ERROR"
DWORD WINAPI ShowSaveAsMsg(LPVOID owner);          // "D_DCTRL_SAVEAS_ERROR"
DWORD WINAPI ShowCantPrintMsg(LPVOID owner);       // "D_DCTRL_CANTPRINT_ERROR"
DWORD WINAPI ShowPrintLimitMsg(LPVOID owner);      // "D_DCTRL_CANTPRINT_TIMES_LIMIT"

// Starts one of the procedures above with owner on a thread of its own and
// returns at once; the thread is not waited for.
void StartMessageThread(LPTHREAD_START_ROUTINE showMsg, HWND owner);

// Handed down at attach: true in the presentation program, whose refusals are
// shown without an owner window, system-modal and in front
// (MB_SYSTEMMODAL | MB_SETFOREGROUND); elsewhere the box is owned by the
// document window, with no flags. Initially false. Callers that show a box
// themselves through ShowZelMessageBox give it no owner when this is true.
void SetRefusalsUnowned(bool unowned);
bool RefusalsUnowned();
