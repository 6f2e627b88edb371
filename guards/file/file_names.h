#pragma once
// An application's file name as the system reads it. The file rules apply to
// the file the name reaches, not to the text: a relative name, forward
// slashes, "." and "..", trailing dots and spaces and a short (8.3) folder are
// resolved as the system resolves them. Devices ("\\.\pipe\x", "NUL.TMP") and
// "\\?\GLOBALROOT" names are no files of the rules at all.
#include <windows.h>

#include <string>

struct AppName {
    std::wstring full;   // the path the system forms, its case kept
    std::wstring upper;  // the same, upper case: what the rules compare
};

// False for a null or integer-resource name, a device name and a name the
// system cannot make full.
bool ReadAppName(const wchar_t* name, AppName& out);

// The last component of a full path.
std::wstring FileNamePart(const std::wstring& full);

// A name of an ANSI file function in UTF-16, converted as the system converts
// it (the file functions' code page). False for a null or integer-resource
// name.
bool WidenFileApiName(const char* name, std::wstring& wide);
