#include "support/process_utils.h"

#include <tlhelp32.h>

#include <algorithm>
#include <functional>

#include "support/ansi_text.h"
#include "support/filelock_request.h"
#include "support/settings.h"
#include "support/thread_marks.h"

namespace {

// Walks the system's process list; visit returns false to stop. False when
// the list could not be taken.
bool WalkProcesses(const std::function<bool(const PROCESSENTRY32&)>& visit) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry{};
    static_assert(sizeof entry == 296, "the ANSI process entry");
    entry.dwSize = sizeof entry;
    try {
        for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
            if (!visit(entry)) break;
        }
    } catch (...) {
    }
    CloseHandle(snap);
    return true;
}

std::string ExeFileOf(const PROCESSENTRY32& entry) {
    return text::FromField(entry.szExeFile, sizeof entry.szExeFile);
}

std::string NameOf(DWORD pid) {
    std::string name;
    if (pid == 0) return name;
    WalkProcesses([&](const PROCESSENTRY32& e) {
        if (e.th32ProcessID != pid) return true;
        name = ExeFileOf(e);
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
        WalkProcesses([&](const PROCESSENTRY32& e) {
            if (!text::Contains(text::ToUpper(ExeFileOf(e)), want.c_str())) return true;
            found = static_cast<int>(e.th32ProcessID);
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
            WalkProcesses([&](const PROCESSENTRY32& e) {
                if (text::Contains(text::ToUpper(ExeFileOf(e)), want.c_str()) &&
                    std::find(exclude.begin(), exclude.end(), e.th32ProcessID) == exclude.end())
                    out.push_back(e.th32ProcessID);
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

void KillWindowProcess(HWND wnd) {
    try {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        if (pid) Terminate(pid);
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
