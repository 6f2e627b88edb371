#pragma once
// Version resources of executables.
#include <string>

#include "support/api.h"

// Product version "%d.%d.%d.%d" of the file's fixed version block; path empty
// means this process's executable. "" when the file has no version block.
GATREL_API std::string GetAppVersion(const std::string& path);

// The "FileVersion" text of the file's first translation; "" when absent.
GATREL_API std::string GetFileVersionString(const std::string& path);
