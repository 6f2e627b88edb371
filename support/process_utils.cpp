#include "support/process_utils.h"

#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string_view>

#include "support/ansi_text.h"
#include "support/filelock_request.h"
#include "support/settings.h"
#include "support/thread_marks.h"
#include "support/wide_text.h"

namespace {

// One process of the system's list: its id and its executable's file name,
// in the ANSI code page.
struct ListedProcess {
    DWORD pid = 0;
    std::string exeFile;
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004L);

// Walks the system's process list; visit returns false to stop. False when
// the list could not be taken. The list comes in one query of the system, a
// third of what a tool-help snapshot of it costs (the screen-tool thread of
// every protected application walks it five times a second).
bool WalkProcesses(const std::function<bool(const ListedProcess&)>& visit) {
    static const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    // Sized as the last list that fitted: on a desktop with many processes a
    // first query that is too small would cost a whole second one every walk.
    static std::atomic<size_t> lastSize{64 * 1024};
    std::vector<char> list(lastSize.load(std::memory_order_relaxed));
    LONG status = kInfoLengthMismatch;
    for (int attempt = 0; attempt < 8 && status == kInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), &needed);
        if (status == kInfoLengthMismatch) list.resize(std::max<size_t>(list.size() * 2, needed + 4096));
    }
    if (status < 0) return false;
    lastSize.store(list.size(), std::memory_order_relaxed);
    try {
        for (size_t at = 0;;) {
            if (at + sizeof(SYSTEM_PROCESS_INFORMATION) > list.size()) break;
            const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(list.data() + at);
            ListedProcess process;
            process.pid = static_cast<DWORD>(reinterpret_cast<uintptr_t>(info->UniqueProcessId));
            const UNICODE_STRING& name = info->ImageName;
            if (name.Buffer)
                process.exeFile = text::WideToAnsi(std::wstring_view(name.Buffer, name.Length / sizeof(WCHAR)));
            if (!visit(process) || info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
    } catch (...) {
    }
    return true;
}

std::string NameOf(DWORD pid) {
    std::string name;
    if (pid == 0) return name;
    WalkProcesses([&](const ListedProcess& e) {
        if (e.pid != pid) return true;
        name = e.exeFile;
        return false;
    });
    return name;
}

void Terminate(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!h) return;
    TerminateProcess(h, 0);
    CloseHandle(h);
}

uint64_t CountOf(const FILETIME& t) {
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

uint64_t StartTimeOf(HANDLE process) {
    FILETIME created{}, exited, kernel, user;
    return GetProcessTimes(process, &created, &exited, &kernel, &user) ? CountOf(created) : 0;
}

}  // namespace

std::string GetProcessExeName(DWORD pid) {
    try {
        return text::ToUpper(NameOf(pid));
    } catch (...) {
        return {};
    }
}

std::string GetProcessName(DWORD pid) {
    try {
        return NameOf(pid);
    } catch (...) {
        return {};
    }
}

int FindProcessIdByName(const char* name) {
    if (!name) return -1;
    int found = -1;
    try {
        const std::string want = text::ToUpper(name);
        WalkProcesses([&](const ListedProcess& e) {
            if (!text::Contains(text::ToUpper(e.exeFile), want.c_str())) return true;
            found = static_cast<int>(e.pid);
            return false;
        });
    } catch (...) {
        found = -1;
    }
    return found;
}

void FindProcessIdsByName(const char* name, std::vector<DWORD>& out,
                          const std::vector<DWORD>& exclude) {
    try {
        if (name) {
            const std::string want = text::ToUpper(name);
            WalkProcesses([&](const ListedProcess& e) {
                if (text::Contains(text::ToUpper(e.exeFile), want.c_str()) &&
                    std::find(exclude.begin(), exclude.end(), e.pid) == exclude.end())
                    out.push_back(e.pid);
                return true;
            });
        }
        if (out.empty() && exclude.size() == 1) out.push_back(exclude.front());
    } catch (...) {
    }
}

void KillProcess(DWORD pid) {
    try {
        Terminate(pid);
    } catch (...) {
    }
}

uint64_t CurrentProcessStartTime() {
    static const uint64_t start = StartTimeOf(GetCurrentProcess());
    return start;
}

bool HasProcessEnded(DWORD pid, uint64_t startTime) {
    // The library's own look: the rule on opening protected processes is for
    // other programs.
    const marks::OwnWork own;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    // The system answers an id that no process has with ERROR_INVALID_PARAMETER;
    // anything else (access denied) may be a running process.
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;
    const uint64_t start = StartTimeOf(h);
    DWORD code = STILL_ACTIVE;
    const bool ended = (startTime && start && start != startTime) ||
                       (GetExitCodeProcess(h, &code) && code != STILL_ACTIVE);
    CloseHandle(h);
    return ended;
}

DWORD ProcessOfWindow(HWND wnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    return pid;
}

void KillWindowProcess(HWND wnd) {
    try {
        if (const DWORD pid = ProcessOfWindow(wnd)) Terminate(pid);
    } catch (...) {
    }
}

HANDLE StartDaemonProcess() {
    try {
        std::string cmd = "\"" + GetInstallDir() + "\\ZELDaemon.exe\" -UNAUTH";
        STARTUPINFOA si{};
        static_assert(sizeof si == 68);
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi)) {
            CloseHandle(pi.hThread);
            return pi.hProcess;
        }
    } catch (...) {
    }
    return nullptr;
}

void StartDaemon() {
    if (HANDLE daemon = StartDaemonProcess()) CloseHandle(daemon);
}

BOOL FilelockAllowProcess(DWORD pid, const char* path) {
    try {
        filelock::Request request = filelock::BuildRequest(
            pid, filelock::PatternFor(path, path ? std::string() : GetInstallDir()));
        HANDLE device = CreateFileA("\\\\.\\Filelock", 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) return 0;
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(device, filelock::kIoctlAllowProcess, request.data(),
                                        static_cast<DWORD>(request.size()), nullptr, 0,
                                        &returned, nullptr);
        CloseHandle(device);
        return ok;
    } catch (...) {
        return 0;
    }
}

namespace {

std::string OwnExeFileName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name;
}

}  // namespace

std::string OwnExeName() {
    try {
        return text::ToUpper(OwnExeFileName());
    } catch (...) {
        return {};
    }
}

std::string ProcessExeBaseName() {
    std::string name = OwnExeFileName();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}
