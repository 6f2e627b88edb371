#pragma once
// The refusal of a print into a file: a box the printing thread waits for.
#include <windows.h>

// Shows "D_DCTRL_PRINT_ERROR" owned by docWnd (no owner where refusals are
// shown unowned), MB_SETFOREGROUND, and returns when the user closes it. Its
// message loop runs the application's messages: a print they start meets the
// print rules again.
void ShowPrintError(HWND docWnd);
