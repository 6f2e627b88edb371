#pragma once
// Texts and classes of windows as the dialog rules read them. The windows may
// belong to another thread or another process (an embedded browser, a helper
// program's dialog), which may be busy or hung: nothing here sends them a
// message or waits on them.
#include <windows.h>

#include <string>

namespace wndctl {

// The window's text in the ANSI code page, as the window manager keeps it
// (InternalGetWindowText); empty for none.
std::string WindowText(HWND w);

// The same, upper-cased in the ANSI code page.
std::string UpperWindowText(HWND w);

// The class name (260 bytes); empty for none.
std::string ClassNameOf(HWND w);

// Lists of literals end with a null entry. Code page 936 literals are
// compared byte by byte with the ANSI texts.
bool ContainsAny(const std::string& text, const char* const* literals);
// Whole text, without regard to case.
bool EqualsAnyNoCase(const std::string& text, const char* const* literals);
// The text begins with one of the literals.
bool BeginsWithAny(const char* text, const char* const* literals);

}  // namespace wndctl
