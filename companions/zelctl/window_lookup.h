#pragma once
// Window handles for records: given as a number, or looked up from a running
// program by its top-level window's class or title.
#include <windows.h>

#include <string>

namespace zelctl {

// How long a lookup keeps trying while the program may still be starting.
constexpr DWORD kLookupWaitMs = 5000;

// value: a number (decimal or 0x hex), "class:NAME" or "title:TEXT".
// Throws CommandError when the value is malformed or no window turns up in time.
HWND ResolveWindow(const std::string& value);

// True when value names a window to look up rather than a number.
bool IsWindowLookup(const std::string& value);

}  // namespace zelctl
