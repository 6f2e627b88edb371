#include "support/held_locks.h"

#include <cstdint>

#include "support/thread_slots.h"

namespace support {
namespace {

// The ledger's head, in the thread's slot: read and written without a call,
// the last error untouched.
HeldLock* Head() { return reinterpret_cast<HeldLock*>(static_cast<uintptr_t>(slots::Read(slots::kLedger))); }
void SetHead(HeldLock* head) { slots::Write(slots::kLedger, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(head))); }

}  // namespace

void HeldLock::List(ReleaseFn release, void* owner) {
    if (listed_) return;
    release_ = release;
    owner_ = owner;
    next_ = Head();
    SetHead(this);
    listed_ = true;
}

void HeldLock::Unlist() {
    if (!listed_) return;
    listed_ = false;
    HeldLock* head = Head();
    if (head == this) {
        SetHead(next_);
        return;
    }
    // Out of order (two guards released in another order than taken).
    for (HeldLock* p = head; p; p = p->next_)
        if (p->next_ == this) {
            p->next_ = next_;
            return;
        }
}

void ReleaseHeldLocksAfter(const void* mark) {
    HeldLock* head = Head();
    while (head && head != mark) {
        HeldLock* next = head->next_;
        head->listed_ = false;
        SetHead(next);
        if (head->release_) head->release_(head->owner_);
        head = next;
    }
}

int HeldLockCount() {
    int n = 0;
    for (HeldLock* p = Head(); p; p = p->next_) ++n;
    return n;
}

CriticalHold::CriticalHold(CRITICAL_SECTION& cs) : cs_(cs) {
    EnterCriticalSection(&cs_);
    held_.List([](void* cs) { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(cs)); }, &cs_);
}

CriticalHold::~CriticalHold() {
    held_.Unlist();
    LeaveCriticalSection(&cs_);
}

ExclusiveHold::ExclusiveHold(SRWLOCK& lock) : lock_(lock) {
    AcquireSRWLockExclusive(&lock_);
    held_.List([](void* lock) { ReleaseSRWLockExclusive(static_cast<SRWLOCK*>(lock)); }, &lock_);
}

ExclusiveHold::~ExclusiveHold() {
    held_.Unlist();
    ReleaseSRWLockExclusive(&lock_);
}

}  // namespace support
