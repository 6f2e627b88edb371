#include "guards/file/message_wait.h"

DWORD WaitHandlingSentMessages(HANDLE handle, DWORD ms) {
    const DWORD count = handle ? 1 : 0;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD used = GetTickCount() - start;
        const DWORD left = used >= ms ? 0 : ms - used;
        const DWORD r =
            MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr, left, QS_SENDMESSAGE, 0);
        if (r != WAIT_OBJECT_0 + count) return r;
        // Sent messages are handled inside the peek; nothing is removed.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (left == 0) return handle ? WaitForSingleObject(handle, 0) : WAIT_TIMEOUT;
    }
}
