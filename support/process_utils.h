#pragma once
// Process list look-ups and the two outside components (daemon, file-lock driver).
#include <windows.h>

#include <string>
#include <vector>

// Base name (no folder, no extension) of this process's executable, in the
// case in which the system reports it.
std::string ProcessExeBaseName();

// Upper-case executable file name of the process, with extension; "" if not found or pid 0.
std::string GetProcessExeName(DWORD pid);
// The same name as the process list gives it.
std::string GetProcessName(DWORD pid);
// First process whose upper-case exe name contains the upper-case text; -1 if none.
int FindProcessIdByName(const char* name);
// Appends every match not in exclude; if none was found and exclude holds exactly
// one id, appends that id.
void FindProcessIdsByName(const char* name, std::vector<DWORD>& out,
                                     const std::vector<DWORD>& exclude);
void KillProcess(DWORD pid);
void KillWindowProcess(HWND wnd);
// Starts "<InstallDir>\ZELDaemon.exe" -UNAUTH.
void StartDaemon();
// Tells the file-lock driver that pid may open files matching the pattern of
// path (or of the protected area when path is null). DeviceIoControl's result,
// 0 when the driver is absent.
BOOL FilelockAllowProcess(DWORD pid, const char* path);
