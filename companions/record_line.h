#pragma once
// The stand-ins' call records: one line appended to a file that several
// processes write, under a named mutex of the record's own (appends are not
// atomic). A mutex abandoned by a process that died still counts as taken.
#include <windows.h>

#include <string>

namespace standin {

inline void AppendRecordLine(const std::string& file, const std::string& line, const char* mutexName) {
    constexpr DWORD kRecordWaitMs = 5000;
    HANDLE lock = CreateMutexA(nullptr, FALSE, mutexName);
    const DWORD waited = lock ? WaitForSingleObject(lock, kRecordWaitMs) : WAIT_FAILED;
    HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(h);
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(lock);
    if (lock) CloseHandle(lock);
}

}  // namespace standin
