#pragma once
// Helpers shared by the store's tests.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>


namespace storetest {

// Empties every slot, including slots that DelGuardInfo left with a window
// and no owner: fill each free slot with a placeholder owner, then delete.
// Store: CZELGatrel linked statically, or the loaded library's testlib::Store.
template <class Store>
void ClearTable(Store& store) {
    unsigned char table[12180];
    store.GetAllOstrumInfo(table);
    for (int i = 0; i < 15; ++i) {
        _ZEL_HOOK_INFO_ r;
        memcpy(&r, table + i * 812, 812);
        if (r.dwOwnerPid) store.DelHookInfo(r.dwOwnerPid);
    }
    for (DWORD i = 0; i < 15; ++i) {
        _ZEL_HOOK_INFO_ r{};
        r.dwProcessId = r.dwOwnerPid = 0xF000 + i;
        store.AddHookInfo(&r);
    }
    for (DWORD i = 0; i < 15; ++i) store.DelHookInfo(0xF000 + i);
}

// Starts this test program again with the given arguments (and creation
// flags); returns the process handle (caller closes) or null.
inline HANDLE SpawnSelf(const std::string& args, DWORD flags = 0) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string cmd = std::string("\"") + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

inline DWORD WaitExit(HANDLE h, DWORD ms = 120000) {
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(h, ms) == WAIT_OBJECT_0) GetExitCodeProcess(h, &code);
    return code;
}

}  // namespace storetest
