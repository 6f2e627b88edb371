#pragma once
// The folder of a protected document as a window title shows it: the
// record's path without the protected area's root, up to its last "\".
#include <string>

#include "store/hook_info.h"

// Empty when the path has no folder part.
std::string DocumentFolder(const _ZEL_HOOK_INFO_& rec);
