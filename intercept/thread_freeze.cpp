#include "intercept/thread_freeze.h"

#include <tlhelp32.h>

namespace detour {

ThreadFreeze::~ThreadFreeze() {
    Resume();
    Release();
}

namespace {

constexpr DWORD kThreadAccess = THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT |
                                THREAD_QUERY_LIMITED_INFORMATION;

// NtGetNextThread walks this process's threads only; the tool-help snapshot
// lists every thread of the system and costs far more, so it is the fallback.
using NextThreadFn = LONG(NTAPI*)(HANDLE process, HANDLE thread, ACCESS_MASK access,
                                  ULONG attributes, ULONG flags, PHANDLE next);

NextThreadFn NextThread() {
    static NextThreadFn fn = reinterpret_cast<NextThreadFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtGetNextThread")));
    return fn;
}

}  // namespace

void ThreadFreeze::Collect() {
    const DWORD self = GetCurrentThreadId();
    if (NextThreadFn next = NextThread()) {
        HANDLE h = nullptr;
        HANDLE n = nullptr;
        while (next(GetCurrentProcess(), h, kThreadAccess, 0, 0, &n) >= 0 && n) {
            if (h && GetThreadId(h) == self) CloseHandle(h);
            else if (h) threads_.emplace_back().handle = h;
            h = n;
            n = nullptr;
        }
        if (h && GetThreadId(h) == self) CloseHandle(h);
        else if (h) threads_.emplace_back().handle = h;
        return;
    }
    const DWORD pid = GetCurrentProcessId();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != pid || te.th32ThreadID == self) continue;
        HANDLE h = OpenThread(kThreadAccess, FALSE, te.th32ThreadID);
        if (!h) continue;
        threads_.emplace_back().handle = h;
    }
    CloseHandle(snap);
}

void ThreadFreeze::Suspend() {
    for (Thread& t : threads_) {
        if (t.suspended) continue;
        if (SuspendThread(t.handle) == static_cast<DWORD>(-1)) continue;
        t.suspended = true;
        t.haveContext = false;
    }
    // Reading a context waits until its thread has really stopped: asked
    // only once every thread has been told to stop, the threads stop side by
    // side rather than one after another.
    for (Thread& t : threads_) {
        if (!t.suspended || t.haveContext) continue;
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
