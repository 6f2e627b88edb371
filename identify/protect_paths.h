#pragma once
// Where temporary and backup files of protected documents must go instead.
#include <string>

// path's file name inside <protected area>\PROTECTPATH\; "" when path already
// lies in the protected area; path itself when it has no "\".
std::string GetProtectPathName(const std::string& path);

// For the word processor serving the KORB client: the name of a temporary
// copy of the KORB document (~WR*.DOC in the temporary folders) moved into the
// KORB document's own folder; "" when the rule does not apply.
std::string GetKORBWordTempName(const std::string& path);
