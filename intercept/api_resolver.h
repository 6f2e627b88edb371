#pragma once
// Finds the address of an exported function to hook and checks that it lies
// in the module that exports it; an export redirected out of the module is
// looked up again in the module's file on disk.
#include <windows.h>

#include <string>

PVOID GetApiSrcAddr(const std::string& strDllName, const std::string& strApiName);
