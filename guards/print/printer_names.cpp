#include "guards/print/printer_names.h"

#include <windows.h>

#include "support/held_locks.h"
#include "support/process_lifetime.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ProcessLifetime<std::string> g_strLastDeviceName;

}  // namespace

bool ReplaceLastDeviceName(const std::string& deviceName) {
    std::string copy = deviceName;  // allocated before the lock is taken
    support::ExclusiveHold lock(g_lock);
    if (*g_strLastDeviceName == copy) return false;
    g_strLastDeviceName->swap(copy);
    return true;
}
