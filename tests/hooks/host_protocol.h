#pragma once
// Messages understood by the test host's window (tests/hooks/hook_host.cpp).
#include <windows.h>

namespace host_protocol {

constexpr const char* kWindowClass = "GatrelHookHost";
constexpr const char* kExeName = "gatrel_hook_host.exe";

// Sent: 1 if Gatrel.dll is loaded in the host, else 0.
constexpr UINT kAskLibraryLoaded = WM_APP + 1;
// Posted: counted by the host. Posted messages go through WH_GETMESSAGE.
constexpr UINT kPing = WM_APP + 2;
// Sent: number of pings the host has received.
constexpr UINT kAskPings = WM_APP + 3;
// Sent: 1 if the host could create (and destroy) another window.
constexpr UINT kMakeWindow = WM_APP + 4;
// Sent: how many hook-table rows the library's process attach attached in the
// host (from Gatrel.dll's diagnostic table, looked up at run time); -1 when the
// library is not loaded.
constexpr UINT kAskAttachedRows = WM_APP + 5;

}  // namespace host_protocol
