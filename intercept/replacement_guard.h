#pragma once
// The shape every replacement (Detour_X) follows:
//  - until the library is fully attached, the call passes straight through;
//  - a replacement re-entered on its own thread through its own work (the log
//    opening its file inside a file replacement, say) passes the inner call
//    straight through; a call into an API that another replacement guards
//    still goes through that other replacement;
//  - the caller's last error is what the real function sees wherever the
//    call is passed on;
//  - no exception leaves it: onException gives the result instead (and if it
//    throws too, a value-initialised result).
//
//   HANDLE WINAPI Detour_GetClipboardData(UINT uFormat) {
//       return RunReplacement(HookId::kGetClipboardData, Trampoline_GetClipboardData,
//           [&]() -> HANDLE { ...decide, maybe Trampoline_GetClipboardData(uFormat)... },
//           [&]() -> HANDLE { LogError("Detour_GetClipboardData:Exception"); return nullptr; },
//           uFormat);
//   }
#include <windows.h>

#include "intercept/hook_tables.h"

namespace intercept {

// Process attach sets this once every table is installed; tests set it too.
void SetLibraryAttached(bool attached);
bool LibraryAttached();

// Marks the replacement as running on the calling thread for its lifetime.
class ReplacementScope {
public:
    explicit ReplacementScope(HookId id);
    ~ReplacementScope();
    ReplacementScope(const ReplacementScope&) = delete;
    ReplacementScope& operator=(const ReplacementScope&) = delete;
    // False when the replacement was already running on this thread (or the
    // mark could not be kept): the call must pass straight through.
    bool Entered() const { return entered_; }

private:
    int id_;
    bool entered_ = false;
};

// Saves the thread's last error and puts it back when it goes.
class LastErrorKeeper {
public:
    LastErrorKeeper() : error_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(error_); }
    void Restore() const { SetLastError(error_); }

private:
    DWORD error_;
};

}  // namespace intercept

template <class Fn, class Body, class OnException, class... Args>
auto RunReplacement(HookId id, Fn trampoline, Body&& body, OnException&& onException,
                    Args... args) -> decltype(trampoline(args...)) {
    using Result = decltype(trampoline(args...));
    if (!intercept::LibraryAttached()) return trampoline(args...);
    const DWORD callerError = GetLastError();
    intercept::ReplacementScope scope(id);
    SetLastError(callerError);
    if (!scope.Entered()) return trampoline(args...);
    try {
        return body();
    } catch (...) {
    }
    try {
        return onException();
    } catch (...) {
    }
    return Result();
}
