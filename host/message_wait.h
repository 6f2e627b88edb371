#pragma once
// Waits of a thread that installed desktop-wide window hooks. The system may
// deliver hook calls to the installing thread as messages (on 64-bit Windows,
// those for 64-bit processes), so while it waits the thread retrieves and
// dispatches its messages; programs whose hooks wait on it would stall
// otherwise.
#include <windows.h>

// Waits up to ms (INFINITE: without limit) for object, or only for the time
// when object is null, handling messages meanwhile. WAIT_OBJECT_0,
// WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED (an invalid handle).
DWORD WaitHandlingMessages(HANDLE object, DWORD ms);
