#pragma once
// String rules of the library: narrow strings in the ANSI code page, fixed-width
// record fields that may fill their whole width without a terminator.
#include <cstddef>
#include <string>

namespace text {

// strncpy semantics: at most width bytes, NUL padded, no terminator when the
// source fills the field. A null source clears the field.
void CopyToField(char* dst, size_t width, const char* src);

// The field's text, never reading past its width.
std::string FromField(const char* field, size_t width);
template <size_t N>
std::string FromField(const char (&field)[N]) { return FromField(field, N); }

// Whole-string comparison ignoring case in the ANSI code page (double-byte
// characters are compared as such under code page 936).
bool EqualsNoCase(const char* a, const char* b);
inline bool EqualsNoCase(const std::string& a, const std::string& b) {
    return EqualsNoCase(a.c_str(), b.c_str());
}

// Upper case in the ANSI code page (trailing bytes of double-byte characters
// are left alone).
std::string ToUpper(std::string s);

bool Contains(const std::string& hay, const char* needle);

}  // namespace text
