#pragma once
// Title and class tests of dialogs, and whether a window lies in a protected
// document window.
#include <windows.h>

#include "store/hook_info.h"

// The (upper-cased) title names a save or print-to-file dialog, in Chinese
// (code page 936 bytes) or English.
bool IsSaveDlgTitle(const char* title);

// The class, trimmed of spaces, is one of the office applications' dialog classes.
bool IsDialogClass(const char* className);

// True with rec filled when the message's window is a registered document
// window or lies inside one.
bool IsWndInZelDoc(const MSG* msg, _ZEL_HOOK_INFO_& rec);
