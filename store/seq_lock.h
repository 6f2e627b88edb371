#pragma once
// How readers see the shared section without a kernel round trip.
//
// Every writer holds "HookMutex" around its change (the Ostrum operations take
// "DllShareMem" first, as outside processes of the product expect, and then
// "HookMutex" around the write itself), so writes exclude each other and one
// write flag covers them all. While holding it, a writer brackets its change
// with a WriteScope:
//     writing = 1; ++version;  ...change...  ++version; writing = 0;
// Readers copy what they need optimistically:
//     v = version; if the writing flag is set, try again;
//     copy; if the writing flag is set now or version != v, try again.
// x86 keeps stores in order, so a reader that saw any byte of a write also sees
// the version bump that preceded it. After kOptimisticTries failed tries the
// reader takes "HookMutex" and reads under it, so a writer that died in the
// middle of a write (its flag stays set) cannot hang anybody. Whoever next gets
// "HookMutex" sees WAIT_ABANDONED and clears the dead writer's flag.
//
// Nothing slow runs under "HookMutex" or inside a WriteScope: no log line, no
// handle release, no file or window-manager call. Every reader on the desktop
// spins and then blocks while the flag is set.
//
// Bodies run on data that may be torn: they only copy out of fixed-size fields
// and never follow pointers, so a torn read costs a retry, never a crash.
#include <windows.h>

#include "store/named_lock.h"
#include "store/shared_section.h"

namespace store {

constexpr int kOptimisticTries = 64;

// Only inside a held "HookMutex".
class WriteScope {
public:
    WriteScope() {
        __atomic_store_n(&g_shared.writing, 1u, __ATOMIC_SEQ_CST);
        __atomic_add_fetch(&g_shared.version, 1u, __ATOMIC_SEQ_CST);
    }
    ~WriteScope() {
        __atomic_add_fetch(&g_shared.version, 1u, __ATOMIC_SEQ_CST);
        __atomic_store_n(&g_shared.writing, 0u, __ATOMIC_SEQ_CST);
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;
};

// Holds "HookMutex" and the write flag for one change of the section.
class LockedWrite {
public:
    LockedWrite() : lock_(LockId::Hook) {
        if (lock_.owned()) {
            __atomic_store_n(&g_shared.writing, 1u, __ATOMIC_SEQ_CST);
            __atomic_add_fetch(&g_shared.version, 1u, __ATOMIC_SEQ_CST);
            // Listed after the mutex: an abandoned frame ends the write first.
            held_.List([](void*) { EndWrite(); }, nullptr);
        }
    }
    ~LockedWrite() {
        if (lock_.owned()) {
            held_.Unlist();
            EndWrite();
        }
    }
    LockedWrite(const LockedWrite&) = delete;
    LockedWrite& operator=(const LockedWrite&) = delete;
    bool owned() const { return lock_.owned(); }

private:
    static void EndWrite() {
        __atomic_add_fetch(&g_shared.version, 1u, __ATOMIC_SEQ_CST);
        __atomic_store_n(&g_shared.writing, 0u, __ATOMIC_SEQ_CST);
    }
    NamedLock lock_;
    support::HeldLock held_;
};

inline bool WriterActive() { return __atomic_load_n(&g_shared.writing, __ATOMIC_ACQUIRE) != 0; }

// Runs body() until it has seen a consistent section. Returns false only when
// the fallback lock could not be taken (the caller then answers "not found").
template <class Body>
bool ReadConsistent(Body&& body) {
    for (int i = 0; i < kOptimisticTries; ++i) {
        const uint32_t v = __atomic_load_n(&g_shared.version, __ATOMIC_ACQUIRE);
        if (WriterActive()) {
            YieldProcessor();
            if (i >= 8) Sleep(0);
            continue;
        }
        body();
        __atomic_thread_fence(__ATOMIC_ACQUIRE);
        if (!WriterActive() && __atomic_load_n(&g_shared.version, __ATOMIC_ACQUIRE) == v)
            return true;
    }
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return false;
    body();
    return true;
}

}  // namespace store
