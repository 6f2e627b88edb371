#include "support/log.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "support/settings.h"

namespace {

// Set once by InitLog and never changed afterwards; readers see either the
// empty state or the finished one.
SRWLOCK g_initLock = SRWLOCK_INIT;
std::string g_logPath;
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

std::string ExeBaseName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

HANDLE OpenForAppend(const std::string& path) {
    // FILE_APPEND_DATA alone makes every WriteFile land at the current end of
    // the file, so whole entries from several processes never interleave.
    return CreateFileA(path.c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int InitLog() {
    if (g_ready) return 1;
    AcquireSRWLockExclusive(&g_initLock);
    int result = 1;
    if (!g_ready) {
        const std::string base = ExeBaseName();
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
            g_logPath = dir + base + ".log";
            g_threshold = kLogError;
            if (lstrcmpiA(level.c_str(), "DEBUG") == 0) g_threshold = kLogDebug;
            else if (lstrcmpiA(level.c_str(), "INFO") == 0) g_threshold = kLogInfo;
            else if (lstrcmpiA(level.c_str(), "WARN") == 0) g_threshold = kLogWarn;
            InterlockedExchange(&g_ready, 1);
        }
    }
    ReleaseSRWLockExclusive(&g_initLock);
    return result;
}

void WriteLog(int level, const char* fmt, va_list args) {
    if (!InitLog()) return;
    if (g_threshold > level || g_logPath.empty() || !fmt) return;
    const DWORD savedError = GetLastError();
    try {
        // The whole entry is built first and appended with one write.
        SYSTEMTIME t;
        GetLocalTime(&t);
        char prefix[160];
        snprintf(prefix, sizeof prefix,
                 "%s[%04d-%02d-%02d %02d:%02d:%02d] [TK:%d] [PID: %d] [TID:%d] ", TagOf(level),
                 t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                 static_cast<int>(GetTickCount()), static_cast<int>(GetCurrentProcessId()),
                 static_cast<int>(GetCurrentThreadId()));
        std::string entry = prefix;
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
        entry += "\r\n";

        HANDLE h = OpenForAppend(g_logPath);
        if (h != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER size{};
            if (GetFileSizeEx(h, &size) && size.QuadPart > static_cast<LONGLONG>(kLogRotateBytes)) {
                CloseHandle(h);
                MoveFileExA(g_logPath.c_str(), (g_logPath + "bak").c_str(),
                            MOVEFILE_REPLACE_EXISTING);
                h = OpenForAppend(g_logPath);
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
