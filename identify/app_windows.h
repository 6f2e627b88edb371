#pragma once
// Window searches through the applications' own window classes: from the active
// window up to the frame, then down through the document container.
#include <windows.h>

// The last frame window that FindAppWindow found in this process; the search
// falls back to it while a dialog, or nothing, is active.
extern HWND g_hLastFrameWnd;

// hwnd itself or its first ancestor (GetParent chain, owners included) whose
// class equals className ignoring case; with an empty className the top of the
// chain. 0 when hwnd is 0 or nothing matches.
HWND FindAncestorByClass(HWND hwnd, const char* className);

// A top-level window of the class that belongs to this process; 0 when none
// does.
HWND FindOwnTopLevel(const char* className);

// The application's active document window, searched as frame > container >
// document. An empty (or null) class name is a level that is not searched.
HWND FindAppWindow(const char* frameClass, const char* containerClass,
                              const char* docClass);

// Parameter of EnumChildByClassProc: the three class names and the result.
struct EnumChildByClassParam {
    const char* frameClass;
    const char* containerClass;
    const char* docClass;
    HWND result;
};

// EnumChildWindows callback: records the last descendant whose class equals the
// most specific non-empty class name of the parameter. Always TRUE.
BOOL CALLBACK EnumChildByClassProc(HWND hwnd, LPARAM param);
