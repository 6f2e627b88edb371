#pragma once
// The PDF application's online dialogs (sign in, meetings): each pane's
// cancel or close button is pressed.
#include <windows.h>

void ClickCancelButtons(HWND dialog);
