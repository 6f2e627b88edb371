#pragma once
// Where the office applications' working files of a protected document go:
// temporary, AutoRecover, backup and saved-state files are kept inside the
// protected area under names of their own. Paths here are narrow (ANSI) and
// upper-cased by the caller.
#include <string>

#include "store/hook_info.h"

// A web-page preview of the document (refused while the process has a record).
bool IsWebPagePreviewFile(const std::string& path);

// The name the file must have instead; "" for no redirection. A result equal
// to path also means the caller's name stays.
std::string GetRedirectedFileName(const _ZEL_HOOK_INFO_& rec, const std::string& path);

// False when no rule above can concern the path, judged from its last four
// characters alone: the cheap test made before any store look-up.
bool MayConcernFileRules(const wchar_t* path);
