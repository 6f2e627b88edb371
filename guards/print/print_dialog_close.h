#pragma once
// The PDF application's print dialog.
#include <windows.h>

// A top-level window of this process titled "打印" (code page 936 bytes, as
// the system's ANSI text compares them) or else "Print", compared as
// FindWindowA does, ignoring case; null when there is none. Another
// program's print dialog is never this process's business.
HWND FindOwnPrintDialog();
