#pragma once
// A wait on an application's thread that keeps answering: messages that other
// threads and processes send to the thread's windows meanwhile (the Ostrum
// process, a broadcast, a window of the same application on another thread)
// are handled at once, so none of them stalls until the wait's bound. Posted
// messages stay queued for the application's own loop.
#include <windows.h>

// Waits until handle is signalled (null: only for the time), at most ms in
// all. WAIT_OBJECT_0 when it was signalled, WAIT_TIMEOUT when the time ran
// out, WAIT_FAILED when it cannot wait. Run it inside intercept::Unmarked: the
// messages handled are the application's.
DWORD WaitHandlingSentMessages(HANDLE handle, DWORD ms);
