#include "store/named_lock.h"

#include "store/shared_section.h"

namespace store {
namespace {
HANDLE g_hHookMutex = nullptr;
HANDLE g_hProtectMutex = nullptr;
HANDLE g_hDllShareMem = nullptr;

HANDLE HandleOf(LockId id) {
    return id == LockId::Hook ? g_hHookMutex : g_hDllShareMem;
}
}  // namespace

void CreateLoadMutexes() {
    if (!g_hHookMutex) g_hHookMutex = CreateMutexA(nullptr, FALSE, "HookMutex");
    if (!g_hProtectMutex) g_hProtectMutex = CreateMutexA(nullptr, FALSE, "ProtectMutex");
}

void CloseLoadMutexes() {
    if (g_hHookMutex) CloseHandle(g_hHookMutex);
    if (g_hProtectMutex) CloseHandle(g_hProtectMutex);
    g_hHookMutex = g_hProtectMutex = nullptr;
}

void EnsureDllShareMemMutex() {
    if (!g_hDllShareMem) g_hDllShareMem = CreateMutexA(nullptr, FALSE, "DllShareMem");
}

HANDLE ProtectMutex() { return g_hProtectMutex; }

NamedLock::NamedLock(LockId id) {
    h_ = HandleOf(id);
    if (!h_ && id == LockId::Hook) {
        // Used before the load step ran (a static initialiser, a unit test):
        // the mutex is system-wide, so creating it late is harmless.
        CreateLoadMutexes();
        h_ = g_hHookMutex;
    }
    if (!h_) return;
    const DWORD r = WaitForSingleObject(h_, INFINITE);
    if (r == WAIT_OBJECT_0) {
        owned_ = true;
    } else if (r == WAIT_ABANDONED) {
        owned_ = abandoned_ = true;
        // The previous owner died; if it was writing, its flag is still set.
        // Every write happens under "HookMutex", so only its abandonment
        // can leave the flag behind.
        if (id == LockId::Hook) __atomic_store_n(&g_shared.writing, 0u, __ATOMIC_SEQ_CST);
    }
    if (owned_) held_.List([](void* h) { ReleaseMutex(static_cast<HANDLE>(h)); }, h_);
}

NamedLock::~NamedLock() {
    if (!owned_) return;
    held_.Unlist();
    ReleaseMutex(h_);
}

}  // namespace store
