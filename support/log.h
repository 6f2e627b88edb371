#pragma once
// Per-executable text log in <InstallDir>\log\<exe base name>.log.
#include <cstdarg>
#include <string>

constexpr int kLogDebug = 1;
constexpr int kLogInfo = 2;
constexpr int kLogWarn = 3;
constexpr int kLogError = 4;
constexpr unsigned long kLogRotateBytes = 10485760;  // rotate to .logbak above this
// How long a process appends without the log's lock after its waits for it
// timed out three times in a row.
constexpr unsigned long kLogAppendPauseMs = 5000;

void LogError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void LogInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void WriteLog(int level, const char* fmt, va_list args);
// 1 once the log path is known, 0 while logging is not possible.
int InitLog();
// Name of the mutex that serialises appends to the log file at logPath.
std::string LogAppendMutexName(std::string logPath);
