#pragma once
// Process list look-ups and the two outside components (daemon, file-lock driver).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Base name (no folder, no extension) of this process's executable, in the
// case in which the system reports it.
std::string ProcessExeBaseName();
// Upper-case executable file name of this process, with extension: what
// GetProcessExeName gives for it, without walking the process list (which
// costs a query of every process and thread of the system).
std::string OwnExeName();

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
// Creation time of this process (FILETIME as one count), read once; 0 if the
// system did not tell.
uint64_t CurrentProcessStartTime();
// Whether the process of this id and creation time has ended: no process has
// the id, another process has it now, or the process has exited. A process
// this one may not look at counts as running. Never waits.
bool HasProcessEnded(DWORD pid, uint64_t startTime);
// The process that made the window; 0 for a window that is gone.
DWORD ProcessOfWindow(HWND wnd);
void KillWindowProcess(HWND wnd);
// Starts "<InstallDir>\ZELDaemon.exe" -UNAUTH.
void StartDaemon();
// The same, handing the new process's handle to the caller (SYNCHRONIZE at
// least); null when it could not be started.
HANDLE StartDaemonProcess();
// Tells the file-lock driver that pid may open files matching the pattern of
// path (or of the protected area when path is null). DeviceIoControl's result,
// 0 when the driver is absent.
BOOL FilelockAllowProcess(DWORD pid, const char* path);
