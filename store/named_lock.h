#pragma once
// The named mutexes of the store. Every process creates "HookMutex" and
// "ProtectMutex" when the library is loaded; "DllShareMem" only where the
// control interface is built (the controller).
#include <windows.h>

#include "support/held_locks.h"

namespace store {

enum class LockId { Hook = 0, DllShareMem = 1 };

void CreateLoadMutexes();        // at library load
void CloseLoadMutexes();         // at library unload
void EnsureDllShareMemMutex();   // by CZELGatrel's constructor
HANDLE ProtectMutex();

// Waits without limit. A wait that returns WAIT_ABANDONED (the previous owner
// died holding the mutex) owns the mutex all the same: one crashed process must
// not switch the store off for the whole desktop. The abandoned case also
// repairs the write flag the dead owner may have left set. While owned, the
// lock is on the thread's ledger of held locks.
class NamedLock {
public:
    explicit NamedLock(LockId id);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;
    bool owned() const { return owned_; }
    bool abandoned() const { return abandoned_; }

private:
    HANDLE h_ = nullptr;
    support::HeldLock held_;
    bool owned_ = false;
    bool abandoned_ = false;
};

}  // namespace store
