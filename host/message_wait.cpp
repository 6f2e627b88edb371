#include "host/message_wait.h"

namespace {

void HandleMessages() {
    MSG msg;
    // WM_QUIT posted to the thread is taken like any other: the thread
    // never ends.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

DWORD WaitHandlingMessages(HANDLE object, DWORD ms) {
    const DWORD start = GetTickCount();
    const DWORD count = object ? 1 : 0;
    for (;;) {
        DWORD left = INFINITE;
        if (ms != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            left = spent >= ms ? 0 : ms - spent;
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(count, object ? &object : nullptr, left, QS_ALLINPUT,
                                                    MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0 + count) {
            HandleMessages();
            if (left == 0) return WAIT_TIMEOUT;
            continue;
        }
        if (r == WAIT_OBJECT_0 && object) return WAIT_OBJECT_0;
        if (r == WAIT_ABANDONED_0 && object) return WAIT_ABANDONED;
        if (r == WAIT_TIMEOUT) return WAIT_TIMEOUT;
        return WAIT_FAILED;
    }
}
