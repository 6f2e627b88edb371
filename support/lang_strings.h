#pragma once
// Message texts from the language file of the installation:
// <InstallDir>\Language\Multi_ch.ini when "Language" is exactly "Chinese",
// otherwise <InstallDir>\Language\Multi_eng.ini; section "String", ANSI.
#include <string>

// The language file of this process. Formed on the first call from any
// thread and kept for the life of the process: a change of "Language" or
// "InstallDir" reaches new processes only.
std::string LangFilePath();

// The text of key, at most 259 bytes, with every backslash-n pair removed.
// A text that reads "Not found" in any case (the callers' default for a
// missing key) becomes "Not found(Key:<key>)"; an empty "AU_IDD2003_TITLE"
// becomes one blank.
std::string GetLangString(const char* key, const char* defaultText);
