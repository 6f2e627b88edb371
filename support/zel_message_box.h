#pragma once
// The product's message box, ZELMessageBox of ZELShowMsgBox.dll (arguments
// and flags of MessageBoxA). The library is loaded on first use, by full path
// from the folder of the module that holds this code, so that Gatrel.dll
// loads in every process whether or not the message-box library is there.
#include <windows.h>

constexpr const wchar_t* kZelMessageBoxLibrary = L"ZELShowMsgBox.dll";

// ZELMessageBox's result, or 0 when the library or its export is missing (the
// first miss is logged, later calls return 0 at once). Never call it from
// DllMain: the first call loads a library.
int ShowZelMessageBox(HWND owner, const char* text, const char* caption, UINT flags);
// Loads the library ahead of the first message, as the protected applications
// do from their watch thread; false when it is missing. Never from DllMain.
bool LoadZelMessageBox();
