#pragma once
// Version resources of executables.
#include <string>

// Product version "%d.%d.%d.%d" of the file's fixed version block; path empty
// means this process's executable. "" when the file has no version block.
std::string GetAppVersion(const std::string& path);

// The "FileVersion" text of the file's first translation; "" when absent.
std::string GetFileVersionString(const std::string& path);
