#pragma once
// The three registry settings of the product, under HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <string>

constexpr const char* kSetupKey = "SOFTWARE\\Varnek\\ZELClient\\1.0\\Setup";

// 0 with the value in out, or -1 with out empty. The value's type is not
// tested; a value longer than maxBytes fails.
int ReadRegString(HKEY root, const char* subKey, const char* valueName, std::string& out,
                  DWORD maxBytes);

// "InstallDir", or an empty string. Read afresh on every call.
std::string GetInstallDir();
