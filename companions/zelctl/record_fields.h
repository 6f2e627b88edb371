#pragma once
// Builds a protected-document record from the key=value words of a command.
//   pid=     dwProcessId: number, or "self"; default: the process of wnd
//   owner=   dwOwnerPid: number, or "self"; default: pid
//   path=    szFilePath          letters=  szPermission (up to 10 letters)
//   zelname= szZelFileName       temp=     szOfficeTempPath
//   type=    byDocType (0-255)   wnd=      hDocWnd: number, class:NAME or title:TEXT
//   extra=   byExtra (0-255)     dwextra=  dwExtra
#include <string>
#include <vector>

#include "store/hook_info.h"

namespace zelctl {

const std::vector<std::string>& RecordKeys();

// Throws CommandError for unknown keys, bad values, or a record that has
// neither a process nor an owner.
_ZEL_HOOK_INFO_ BuildRecord(const std::vector<std::string>& words, size_t first);

}  // namespace zelctl
