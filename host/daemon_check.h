#pragma once
// The watch threads' daemon check: the product's daemon holds the named mutex
// "ZEL_DAEMON_MUTEX" while it runs; when the mutex is gone, a protected
// process starts the daemon again. The watch threads of all protected
// processes take "ProtectMutex" in turn and hold it through their one-second
// pause, so that at most one of them tests at a time and a new daemon has
// time to create its mutex before the next test.
//
// One turn of a watch thread: take "ProtectMutex" (an abandoned mutex counts
// as taken: its owner died in its pause), start the daemon if its mutex is
// missing and hold on until the new daemon's mutex exists (bounded: a daemon
// slow to start must not meet a second start from the next watch thread),
// pause a second, release the mutex once. Every wait handles the thread's
// messages. When "ProtectMutex" cannot be waited for, the turn still pauses
// its second.
#include <windows.h>

void DaemonCheckTurn();

// How long a turn waits at most for a daemon it started to create its mutex.
constexpr DWORD kDaemonStartBoundMs = 10000;
