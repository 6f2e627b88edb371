#include "support/log.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/held_locks.h"
#include "support/process_lifetime.h"
#include "support/process_utils.h"
#include "support/settings.h"
#include "support/thread_marks.h"

namespace {

// Set once by InitLog and never changed afterwards; readers see either the
// empty state or the finished one.
SRWLOCK g_initLock = SRWLOCK_INIT;
std::string& LogPath() {
    static ProcessLifetime<std::string> path;
    return *path;
}
int g_threshold = kLogError;
volatile LONG g_ready = 0;

const char* TagOf(int level) {
    switch (level) {
        case 1: return "[DEBUG] ";
        case 2: return "[INFO]  ";
        case 3: return "[WARN]  ";
        case 4: return "[ERROR] ";
        default: return "[OTHER] ";
    }
}

HANDLE OpenForAppend(const std::string& path) {
    // FILE_APPEND_DATA alone makes every WriteFile land at the end of the
    // file; on Windows that append is atomic, under Wine it is not (the end is
    // taken, then written at), hence AppendGuard.
    return CreateFileA(path.c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string LinePrefix(int level) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char prefix[160];
    snprintf(prefix, sizeof prefix, "%s[%04d-%02d-%02d %02d:%02d:%02d] [TK:%d] [PID: %d] [TID:%d] ",
             TagOf(level), t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
             static_cast<int>(GetTickCount()), static_cast<int>(GetCurrentProcessId()),
             static_cast<int>(GetCurrentThreadId()));
    return prefix;
}

// The log is a text-mode file: every line feed, the message's own included,
// is stored as carriage return and line feed.
std::string ToTextMode(const std::string& s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Serialises the open-rotate-append-close of one log file across the
// processes that share it (all processes of one executable), through a named
// mutex derived from the file's path. Without it, two processes appending at
// the same moment under Wine write over each other's entries, and two
// processes can rotate the same file twice.
// Hazard: a holder that stalls must not stall the application that logs. A
// wait is bounded; after a timeout the entry is written without the mutex.
// After three timeouts in a row the process stops waiting for a pause, so a
// stuck holder costs each thread at most the three waits, and then tries the
// mutex again. The first entry written without waiting says so, once per pause.
// A holder that died leaves the mutex abandoned, which the next wait owns.
constexpr DWORD kAppendWaitMs = 500;
constexpr LONG kAppendTimeoutsBeforePause = 3;
HANDLE g_appendMutex = nullptr;  // set once with the log path
volatile LONG g_appendTimeouts = 0;
volatile LONG g_pauseEnd = 0;     // tick count when the pause ends
volatile LONG g_pausing = 0;

class AppendGuard {
public:
    AppendGuard() {
        if (!g_appendMutex) return;
        if (g_pausing) {
            if (static_cast<LONG>(GetTickCount() - static_cast<DWORD>(g_pauseEnd)) < 0) return;
            InterlockedExchange(&g_pausing, 0);
        }
        const DWORD r = WaitForSingleObject(g_appendMutex, kAppendWaitMs);
        owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        if (owned_) {
            held_.List([](void* m) { ReleaseMutex(static_cast<HANDLE>(m)); }, g_appendMutex);
            InterlockedExchange(&g_appendTimeouts, 0);
        } else if (r == WAIT_TIMEOUT &&
                   InterlockedIncrement(&g_appendTimeouts) == kAppendTimeoutsBeforePause) {
            InterlockedExchange(&g_appendTimeouts, 0);
            InterlockedExchange(&g_pauseEnd, static_cast<LONG>(GetTickCount() + kLogAppendPauseMs));
            pauseStarts_ = InterlockedExchange(&g_pausing, 1) == 0;
        }
    }
    ~AppendGuard() {
        if (!owned_) return;
        held_.Unlist();
        ReleaseMutex(g_appendMutex);
    }
    AppendGuard(const AppendGuard&) = delete;
    AppendGuard& operator=(const AppendGuard&) = delete;
    // True for the one entry whose wait started a pause.
    bool PauseStarts() const { return pauseStarts_; }

private:
    support::HeldLock held_;
    bool owned_ = false;
    bool pauseStarts_ = false;
};

}  // namespace

std::string LogAppendMutexName(std::string logPath) {
    // Mutex names cannot hold the path itself (backslashes, length): a hash of
    // its upper-case form names it.
    if (!logPath.empty()) CharUpperBuffA(logPath.data(), static_cast<DWORD>(logPath.size()));
    uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : logPath) {
        hash ^= c;
        hash *= 16777619u;
    }
    char name[48];
    snprintf(name, sizeof name, "ZELGatrelLogAppend_%08lX", static_cast<unsigned long>(hash));
    return name;
}

int InitLog() {
    if (g_ready) return 1;
    support::ExclusiveHold lock(g_initLock);
    int result = 1;
    // Nothing may leave with the lock held: a throw here would stop every
    // later log call of the process at the lock.
    try {
        if (!g_ready) {
            const std::string base = ProcessExeBaseName();
            std::string dir;
            if (ReadRegString(HKEY_LOCAL_MACHINE, kSetupKey, "InstallDir", dir, 260) != 0 ||
                dir.empty()) {
                result = 0;
            } else {
                std::string level;
                ReadRegString(HKEY_LOCAL_MACHINE, kSetupKey, "LogLevel", level, 260);
                dir += "\\log\\";
                if (GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
                    CreateDirectoryA(dir.c_str(), nullptr);
                LogPath() = dir + base + ".log";
                g_appendMutex = CreateMutexA(nullptr, FALSE, LogAppendMutexName(LogPath()).c_str());
                g_threshold = kLogError;
                if (lstrcmpiA(level.c_str(), "DEBUG") == 0) g_threshold = kLogDebug;
                else if (lstrcmpiA(level.c_str(), "INFO") == 0) g_threshold = kLogInfo;
                else if (lstrcmpiA(level.c_str(), "WARN") == 0) g_threshold = kLogWarn;
                InterlockedExchange(&g_ready, 1);
            }
        }
    } catch (...) {
        result = g_ready ? 1 : 0;
    }
    return result;
}

void WriteLog(int level, const char* fmt, va_list args) {
    const DWORD savedError = GetLastError();
    // The log's own files are no application's: no replacement acts on them.
    const marks::OwnWork own;
    try {
        if (!InitLog() || g_threshold > level || LogPath().empty() || !fmt) {
            SetLastError(savedError);
            return;
        }
        // The whole entry is built first and appended with one write.
        std::string entry = LinePrefix(level);
        va_list copy;
        va_copy(copy, args);
        const int n = vsnprintf(nullptr, 0, fmt, copy);
        va_end(copy);
        if (n > 0) {
            const size_t at = entry.size();
            entry.resize(at + static_cast<size_t>(n) + 1);
            vsnprintf(&entry[at], static_cast<size_t>(n) + 1, fmt, args);
            entry.resize(at + static_cast<size_t>(n));
        }
        entry += '\n';

        AppendGuard guard;
        if (guard.PauseStarts()) {
            char note[160];
            snprintf(note, sizeof note,
                     "Log lock not obtained %d times in a row: appending without it for %lu ms\n",
                     static_cast<int>(kAppendTimeoutsBeforePause),
                     static_cast<unsigned long>(kLogAppendPauseMs));
            entry += LinePrefix(kLogWarn) + note;
        }
        entry = ToTextMode(entry);
        HANDLE h = OpenForAppend(LogPath());
        if (h != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER size{};
            if (GetFileSizeEx(h, &size) && size.QuadPart > static_cast<LONGLONG>(kLogRotateBytes)) {
                CloseHandle(h);
                MoveFileExA(LogPath().c_str(), (LogPath() + "bak").c_str(),
                            MOVEFILE_REPLACE_EXISTING);
                h = OpenForAppend(LogPath());
            }
            if (h != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                WriteFile(h, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
                CloseHandle(h);
            }
        }
    } catch (...) {
    }
    SetLastError(savedError);
}

void LogError(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    WriteLog(kLogError, fmt, args);
    va_end(args);
}

void LogInfo(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    WriteLog(kLogInfo, fmt, args);
    va_end(args);
}
