#include "guards/print/printer_names.h"

#include <windows.h>

#include "support/process_lifetime.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ProcessLifetime<std::string> g_strPrinterDriver;
ProcessLifetime<std::string> g_strLastDeviceName;

class Exclusive {
public:
    Exclusive() { AcquireSRWLockExclusive(&g_lock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&g_lock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
};

}  // namespace

void SetPrinterDriverName(const std::string& driver) {
    std::string copy = driver;  // allocated before the lock is taken
    Exclusive lock;
    g_strPrinterDriver->swap(copy);
}

std::string GetPrinterDriverName() {
    Exclusive lock;
    return *g_strPrinterDriver;
}

bool ReplaceLastDeviceName(const std::string& deviceName) {
    std::string copy = deviceName;
    Exclusive lock;
    if (*g_strLastDeviceName == copy) return false;
    g_strLastDeviceName->swap(copy);
    return true;
}
