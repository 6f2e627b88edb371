#pragma once
// Conversions between the system's ANSI code page and UTF-16.
#include <string>
#include <string_view>

namespace text {

// Characters that the code page cannot represent become its default character.
std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(std::wstring_view wide);

// The whole text (no length bound) with no substitute: false, out cleared,
// when a character has no form of its own in the code page (two different
// names must never meet on one narrow name) or the text cannot be converted.
bool WideToAnsiExact(const wchar_t* wide, std::string& out);

}  // namespace text
