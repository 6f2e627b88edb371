// The plain hook functions of the controller's interface (store/gatrel_interface.h).
#include "store/gatrel_interface.h"

#include "store/hook_info.h"
#include "support/log.h"
#include "wndctl/hook_procs.h"

// Both plain functions leave the system's error code of a failure in place for
// their caller: writing the log may overwrite it.
extern "C" HHOOK StartHook(HMODULE hHookDLL) {
    try {
        HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CallWndProc, hHookDLL, 0);
        if (!hook) {
            const DWORD code = GetLastError();
            LogError("SetWindowsHookEx failed, hHookDLL: %x, code: %d",
                     HandleWord(hHookDLL),
                     static_cast<int>(code));
            SetLastError(code);
            return nullptr;
        }
        LogError("SetWindowsHookEx ok, hHookDLL: %x",
                 HandleWord(hHookDLL));
        return hook;
    } catch (...) {
        return nullptr;
    }
}

extern "C" int StopHook(HHOOK lhHook) {
    try {
        if (!UnhookWindowsHookEx(lhHook)) {
            const DWORD code = GetLastError();
            LogError("UnhookWindowsHookEx failed, lhHook: %x, code: %d",
                     HandleWord(lhHook),
                     static_cast<int>(code));
            SetLastError(code);
            return 0;
        }
        LogError("UnhookWindowsHookEx ok, lhHook: %x",
                 HandleWord(lhHook));
        return 1;
    } catch (...) {
        return 0;
    }
}
