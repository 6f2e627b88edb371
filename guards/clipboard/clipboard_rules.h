#pragma once
// Decisions of the clipboard guard. Protected content pastes only back into
// the document that copied it.
#include <windows.h>

#include "identify/copy_rights.h"  // IsClipboardCopyDenied

struct ClipboardSource {
    bool isProtected = false;
    HWND ownerWnd = nullptr;
    DWORD ownerPid = 0;
};

// Whether data being set now is protected, and who owns it.
ClipboardSource GetClipboardSource();
// The caller is the owning document, in front, and no options dialog is active.
bool CanPasteProtectedData();
// The calling thread has the clipboard open, as GetClipboardData requires.
bool ThreadHasClipboardOpen();
