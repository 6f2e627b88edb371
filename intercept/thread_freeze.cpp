#include "intercept/thread_freeze.h"

#include <tlhelp32.h>

namespace detour {

ThreadFreeze::~ThreadFreeze() {
    Resume();
    Release();
}

void ThreadFreeze::Collect() {
    const DWORD pid = GetCurrentProcessId();
    const DWORD self = GetCurrentThreadId();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != pid || te.th32ThreadID == self) continue;
        HANDLE h = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT,
                              FALSE, te.th32ThreadID);
        if (!h) continue;
        threads_.emplace_back();
        threads_.back().handle = h;
    }
    CloseHandle(snap);
}

void ThreadFreeze::Suspend() {
    for (Thread& t : threads_) {
        if (t.suspended) continue;
        if (SuspendThread(t.handle) == static_cast<DWORD>(-1)) continue;
        t.suspended = true;
        // Reading the context waits until the thread has really stopped.
        t.context.ContextFlags = CONTEXT_CONTROL;
        t.haveContext = GetThreadContext(t.handle, &t.context) != 0;
    }
}

void ThreadFreeze::Resume() {
    for (Thread& t : threads_) {
        if (!t.suspended) continue;
        ResumeThread(t.handle);
        t.suspended = false;
    }
}

void ThreadFreeze::Release() {
    for (Thread& t : threads_) {
        if (t.handle) CloseHandle(t.handle);
        t.handle = nullptr;
    }
    threads_.clear();
}

}  // namespace detour
