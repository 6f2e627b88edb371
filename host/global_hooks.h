#pragma once
// Desktop-wide window hooks that make the system load Gatrel.dll into every
// process with a hooked thread. The CHookInterface members live in
// store/hook_interface.h; these two plain functions are exported undecorated
// for controllers that keep the hook handles themselves.
#include <windows.h>

#include "support/api.h"

// Installs the WH_GETMESSAGE hook for all threads with the given module (the
// module that holds the hook procedure). The handle is not kept: it belongs to
// the caller. Null on failure. Every outcome is logged.
extern "C" GATREL_API HHOOK StartHook(HMODULE hHookDLL);

// Removes a hook installed by the function above. 1 if removed, else 0.
extern "C" GATREL_API int StopHook(HHOOK lhHook);
