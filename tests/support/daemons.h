#pragma once
// The daemon stand-in (ZELDaemon.exe in the installation directory) as tests
// see it: which copies run, which started (each records its command line in
// "<InstallDir>\ZELDaemon.<pid>.cmdline" as it starts), and ending them. The
// protected applications start it whenever its mutex is gone, so a daemon
// started by an earlier test's application may still run.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline bool DaemonMutexExists() {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, "ZEL_DAEMON_MUTEX");
    if (m) CloseHandle(m);
    return m != nullptr;
}

inline std::vector<DWORD> RunningDaemons() {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
        if (lstrcmpiA(e.szExeFile, "ZELDaemon.exe") == 0) pids.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return pids;
}

// Ends every running daemon and waits until its mutex is gone; false when
// one would not end.
inline bool EndRunningDaemons() {
    for (DWORD pid : RunningDaemons()) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!h) continue;
        TerminateProcess(h, 9);
        WaitForSingleObject(h, 10000);
        CloseHandle(h);
    }
    for (int i = 0; i < 200 && DaemonMutexExists(); ++i) Sleep(50);
    return !DaemonMutexExists();
}

// The daemons' start records in the installation directory: file name and
// creation time (100 ns units), oldest first.
struct DaemonStart {
    std::string file;
    uint64_t created;
};

inline std::vector<DaemonStart> DaemonStarts(const std::string& installDir) {
    std::vector<DaemonStart> starts;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((installDir + "\\ZELDaemon.*.cmdline").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return starts;
    do {
        starts.push_back({fd.cFileName, (uint64_t{fd.ftCreationTime.dwHighDateTime} << 32) |
                                            fd.ftCreationTime.dwLowDateTime});
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    std::sort(starts.begin(), starts.end(),
              [](const DaemonStart& a, const DaemonStart& b) { return a.created < b.created; });
    return starts;
}

// The records that were not there before.
inline std::vector<DaemonStart> NewDaemonStarts(const std::string& installDir,
                                                const std::vector<DaemonStart>& before) {
    std::vector<DaemonStart> now = DaemonStarts(installDir), fresh;
    for (const DaemonStart& s : now) {
        const bool old = std::any_of(before.begin(), before.end(),
                                     [&](const DaemonStart& b) { return b.file == s.file && b.created == s.created; });
        if (!old) fresh.push_back(s);
    }
    return fresh;
}

}  // namespace testing_support
