#pragma once
// The locks a thread holds, listed while held so that code which leaves a
// frame without running its destructors can give them back.
//
// A fault contained inside a replacement, or an application's structured
// handler unwinding through one, leaves that frame without running the C++
// destructors below it (the toolchain unwinds C++ and structured exceptions
// separately). A mutex such as "HookMutex" would then stay owned by a live
// thread and stall every process of the desktop. Each lock object that may be
// held there lists itself on its thread's ledger while it holds the lock;
// a frame notes the ledger's head when it begins, and whoever abandons the
// frame releases every lock listed since, newest first.
//
// The ledger's head is a thread slot (support/thread_slots.h): until the
// slots are allocated at attach, nothing is listed.
#include <windows.h>

#include <cstdint>

#include "support/thread_slots.h"

namespace support {

class HeldLock {
public:
    using ReleaseFn = void (*)(void* owner);

    HeldLock() = default;
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    // After the lock was taken: from here on an abandoned frame releases it
    // through release(owner), which must give the lock back without the
    // owner's destructor (that never runs then).
    void List(ReleaseFn release, void* owner);
    // Before the owner gives the lock back in the ordinary way.
    void Unlist();

private:
    friend void ReleaseHeldLocksAfter(const void* mark);
    friend int HeldLockCount();
    HeldLock* next_ = nullptr;
    ReleaseFn release_ = nullptr;
    void* owner_ = nullptr;
    bool listed_ = false;
};

// The ledger's head now: what a frame notes when it begins.
inline const void* HeldLockMark() {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(slots::Read(slots::kLedger)));
}
// Releases every lock the calling thread listed after mark was taken, newest
// first, and takes them off the ledger. The thread's last error is kept.
void ReleaseHeldLocksAfter(const void* mark);

// How many locks the calling thread has listed (for tests).
int HeldLockCount();

// A critical section held for one scope, on the ledger.
class CriticalHold {
public:
    explicit CriticalHold(CRITICAL_SECTION& cs);
    ~CriticalHold();
    CriticalHold(const CriticalHold&) = delete;
    CriticalHold& operator=(const CriticalHold&) = delete;

private:
    HeldLock held_;
    CRITICAL_SECTION& cs_;
};

// An SRW lock held exclusively for one scope, on the ledger.
class ExclusiveHold {
public:
    explicit ExclusiveHold(SRWLOCK& lock);
    ~ExclusiveHold();
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    HeldLock held_;
    SRWLOCK& lock_;
};

}  // namespace support
