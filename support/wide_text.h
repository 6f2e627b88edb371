#pragma once
// Conversions between the system's ANSI code page and UTF-16.
#include <string>

namespace text {

// Characters that the code page cannot represent become its default character.
std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);

}  // namespace text
