#include "host/daemon_check.h"

#include "host/message_wait.h"
#include "store/named_lock.h"
#include "support/contained_run.h"
#include "support/held_locks.h"
#include "support/process_utils.h"

namespace {

constexpr DWORD kPauseMs = 1000;
constexpr DWORD kStartPollMs = 50;
constexpr DWORD kMutexAllAccess = 0x1F0001;

bool DaemonRunning() {
    HANDLE m = OpenMutexA(kMutexAllAccess, FALSE, "ZEL_DAEMON_MUTEX");
    if (!m) return false;
    CloseHandle(m);
    return true;
}

void StartDaemonIfGone() {
    if (DaemonRunning()) return;
    const HANDLE daemon = StartDaemonProcess();
    if (!daemon) return;
    const DWORD start = GetTickCount();
    while (!DaemonRunning() && GetTickCount() - start < kDaemonStartBoundMs) {
        if (WaitHandlingMessages(daemon, kStartPollMs) != WAIT_TIMEOUT) break;  // it ended
    }
    CloseHandle(daemon);
}

}  // namespace

void DaemonCheckTurn() {
    const contained::Outcome outcome = contained::Run([] {
        const HANDLE lock = store::ProtectMutex();
        const DWORD waited = lock ? WaitHandlingMessages(lock, INFINITE) : WAIT_FAILED;
        const bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        support::HeldLock ledger;
        if (held) ledger.List([](void* mutex) { ReleaseMutex(mutex); }, lock);
        if (held) StartDaemonIfGone();
        WaitHandlingMessages(nullptr, kPauseMs);
        if (held) {
            ledger.Unlist();
            ReleaseMutex(lock);
        }
    });
    // A turn cut short still takes its time: the thread never spins.
    if (outcome != contained::Outcome::kDone) WaitHandlingMessages(nullptr, kPauseMs);
}
