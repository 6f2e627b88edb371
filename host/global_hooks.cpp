#include "host/global_hooks.h"

#include "store/hook_interface.h"
#include "store/shared_section.h"
#include "store/zel_gatrel.h"
#include "support/log.h"
#include "wndctl/hook_procs.h"

// hGetMsgHook is written without "HookMutex": the members that write it are
// serialised by their caller, and hook procedures in other processes read it at
// any time. It is a single aligned 32-bit word, so a reader sees either the old
// or the new handle, never a mixture.
static_assert(offsetof(SharedSection, hGetMsgHook) % 4 == 0);

namespace {

void PublishGetMsgHook(HHOOK hook) {
    __atomic_store_n(&g_shared.hGetMsgHook,
                     static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook)), __ATOMIC_RELEASE);
}

uint32_t PublishedGetMsgHook() {
    return __atomic_load_n(&g_shared.hGetMsgHook, __ATOMIC_ACQUIRE);
}

}  // namespace

HMODULE GatrelModule() { return GetModuleHandleA("gatrel"); }

int CHookInterface::StartHook() {
    try {
        HMODULE module = GatrelModule();
        if (!module) return 0;
        HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CallWndProc, module, 0);
        PublishGetMsgHook(hook);
        return hook ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

HHOOK CHookInterface::StartCBTHook() {
    try {
        HMODULE module = GatrelModule();
        if (!module) return nullptr;
        return SetWindowsHookExA(WH_CBT, CallControlWndProc, module, 0);
    } catch (...) {
        return nullptr;
    }
}

int CHookInterface::StopHook() {
    // Only forgets the handle: the hook itself stays installed, and the hook
    // procedures then hand a null handle to CallNextHookEx.
    if (PublishedGetMsgHook() != 0) PublishGetMsgHook(nullptr);
    return 0;
}

int CHookInterface::StopHookEx(HHOOK hook) {
    try {
        return UnhookWindowsHookEx(hook) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

DWORD CHookInterface::RestartHook() {
    // The handles of these hooks are not kept anywhere: they live until the
    // calling process ends.
    try {
        if (!m_pStore || m_pStore->GetHookInfoCount() == 0) return 0;
        HMODULE module = GatrelModule();
        SetWindowsHookExA(WH_GETMESSAGE, CallWndProc, module, 0);
        SetWindowsHookExA(WH_CBT, CallControlWndProc, module, 0);
    } catch (...) {
    }
    return 0;
}

// Both plain functions leave the system's error code of a failure in place for
// their caller: writing the log may overwrite it.
extern "C" HHOOK StartHook(HMODULE hHookDLL) {
    try {
        HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CallWndProc, hHookDLL, 0);
        if (!hook) {
            const DWORD code = GetLastError();
            LogError("SetWindowsHookEx failed, hHookDLL: %x, code: %d",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(hHookDLL)),
                     static_cast<int>(code));
            SetLastError(code);
            return nullptr;
        }
        LogError("SetWindowsHookEx ok, hHookDLL: %x",
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(hHookDLL)));
        return hook;
    } catch (...) {
        return nullptr;
    }
}

extern "C" int StopHook(HHOOK lhHook) {
    try {
        if (!UnhookWindowsHookEx(lhHook)) {
            const DWORD code = GetLastError();
            LogError("UnhookWindowsHookEx failed, lhHook: %x, code: %d",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(lhHook)),
                     static_cast<int>(code));
            SetLastError(code);
            return 0;
        }
        LogError("UnhookWindowsHookEx ok, lhHook: %x",
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(lhHook)));
        return 1;
    } catch (...) {
        return 0;
    }
}
