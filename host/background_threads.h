#pragma once
// The two endless threads of the protected processes, started by process
// attach as the role table says and never stopped (the library is pinned
// where they run):
//  - the screen-tool thread (word processor, spreadsheet, presentation
//    program, PDF application): closes capture programs every 200 ms;
//  - the watch thread (those and the KORB client): installs the library's own
//    desktop-wide window hooks once (removed as the process ends), loads the
//    sibling libraries, and each second keeps the macro-object interception
//    in step with the policy, keeps protected windows out of screen capture,
//    and restarts the daemon when it is gone.
// Attach only creates them: they do nothing before the loader lock is free,
// and attach never waits for them. They work on the desktop of the thread
// that loaded the library. A thread that cannot be created is not tried
// again.
#include <windows.h>

void StartScreenToolThread();
void StartWatchThread();

// Takes away the watch thread's desktop-wide hooks as the process ends: one
// quick call to the window server each, safe under the loader lock.
void RemoveOwnHooks();

// Ids of the threads started in this process; 0 when not started.
DWORD ScreenToolThreadId();
DWORD WatchThreadId();
