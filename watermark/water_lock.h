#pragma once
// Holds a critical section for one scope.
#include <windows.h>

class WaterLock {
public:
    explicit WaterLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~WaterLock() { LeaveCriticalSection(&cs_); }
    WaterLock(const WaterLock&) = delete;
    WaterLock& operator=(const WaterLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};
