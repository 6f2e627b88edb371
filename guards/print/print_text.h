#pragma once
// Wide names of the print functions as the rules read them.
#include <string>

#include "support/wide_text.h"

// The ANSI form of a name the caller may leave null (then empty), whole:
// never cut to a path's length.
inline std::string AnsiOf(const wchar_t* name) { return name ? text::WideToAnsi(name) : std::string(); }
