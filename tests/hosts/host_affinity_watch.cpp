// Watches Gatrel.dll's calls of SetWindowDisplayAffinity (--affinity-watch):
// armed at start, before the library is loaded, so that the library's look-up
// of the function finds the stand-in. Each call from the library is recorded;
// then the system's function answers, or (--affinity-watch=ok) the stand-in
// answers success itself, as a system that supports the call would.
#include <windows.h>

#include <string>
#include <vector>

#include "host_app.h"

namespace host {
namespace {

using SetAffinityFn = BOOL(WINAPI*)(HWND, DWORD);

SetAffinityFn g_real = nullptr;
bool g_answerOk = false;
SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<std::string> g_calls;

bool FromLibrary(void* returnAddress) {
    HMODULE caller = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(returnAddress), &caller);
    return caller && caller == GetModuleHandleW(L"gatrel.dll");
}

BOOL WINAPI StandIn(HWND wnd, DWORD affinity) {
    const bool fromLibrary = FromLibrary(__builtin_return_address(0));
    const BOOL result = g_answerOk ? TRUE : g_real(wnd, affinity);
    if (fromLibrary) {
        const DWORD error = GetLastError();
        AcquireSRWLockExclusive(&g_lock);
        g_calls.push_back(HexOf(wnd) + ":" + std::to_string(affinity) + ":" + std::to_string(result));
        ReleaseSRWLockExclusive(&g_lock);
        SetLastError(error);
    }
    return result;
}

}  // namespace

bool ArmAffinityWatch(bool answerOk) {
    g_answerOk = answerOk;
    return PutInExportTable(GetModuleHandleW(L"user32.dll"), "SetWindowDisplayAffinity",
                            reinterpret_cast<void*>(&StandIn), reinterpret_cast<void**>(&g_real));
}

std::vector<std::string> AffinityCalls() {
    AcquireSRWLockShared(&g_lock);
    std::vector<std::string> calls = g_calls;
    ReleaseSRWLockShared(&g_lock);
    return calls;
}

}  // namespace host
