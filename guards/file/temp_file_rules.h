#pragma once
// Where the office applications' working files of a protected document go:
// temporary, AutoRecover, backup and saved-state files are kept inside the
// protected area under names of their own. Paths here are full, as the system
// forms them, and upper case (guards/file/file_names.h).
#include <string>

#include "store/hook_info.h"

// A web-page preview of the document (refused while the process has a record).
bool IsWebPagePreviewFile(const std::wstring& path);

// The name the file must have instead; "" for no redirection. A result equal
// to path also means the caller's name stays.
//
// A name in PROTECTPATH is <file name without its extension>-<folder>-<process
// id><extension>: <folder> is eight hexadecimal digits of a hash of the
// upper-case folder the application named, so that working files of the same
// name in two folders stay two files.
std::wstring GetRedirectedFileName(const _ZEL_HOOK_INFO_& rec, const std::wstring& path);

// False when no rule above can concern the name, judged from its last four
// characters once the trailing dots and spaces that the system drops are
// dropped: the cheap test made before any store look-up. path is not null.
bool MayConcernFileRules(const wchar_t* path);
