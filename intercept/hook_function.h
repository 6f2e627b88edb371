#pragma once
// Installs and removes one replacement, each in a transaction of its own.
#include <windows.h>

#include <string>

// Resolves (strDllName, strApiName) into *ppSlot, unless strDllName is empty
// (then *ppSlot is the function to hook), and attaches pDetour in front of it.
// The function's address when the attach was committed, else null.
PVOID HookFuntion(const std::string& strDllName, const std::string& strApiName, PVOID* ppSlot,
                  PVOID pDetour);
// Detaches pDetour from the function whose trampoline *ppSlot holds. True when
// the detach was committed.
bool UnHookFuntion(const std::string& strApiName, PVOID* ppSlot, PVOID pDetour);
