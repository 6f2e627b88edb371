#include "intercept/hook_function.h"

#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/hook_log.h"

PVOID HookFuntion(const std::string& strDllName, const std::string& strApiName, PVOID* ppSlot,
                  PVOID pDetour) {
    const char* dll = strDllName.c_str();
    const char* api = strApiName.c_str();
    try {
        if (!strDllName.empty()) *ppSlot = GetApiSrcAddr(strDllName, strApiName);
        if (!*ppSlot) {
            HookLogError("HookFuntion(): pApiSrcAddr Is NULL, strDllName=%s,strApiName=%s", dll, api);
            return nullptr;
        }
        const PVOID target = *ppSlot;
        DetourTransactionBegin();
        DetourUpdateThread(GetCurrentThread());
        const LONG attached = DetourAttach(ppSlot, pDetour);
        if (attached != 0)
            HookLogError("DetourAttach Fail, lRet=%d,strDllName=%s,strApiName=%s",
                         static_cast<int>(attached), dll, api);
        const LONG committed = DetourTransactionCommit();
        if (committed != 0)
            HookLogError("DetourTransactionCommit Fail, lRet=%d,strDllName=%s,strApiName=%s",
                         static_cast<int>(committed), dll, api);
        return attached == 0 && committed == 0 ? target : nullptr;
    } catch (...) {
        HookLogError("HookFuntion Exception, strDllName=%s,strApiName=%s", dll, api);
    }
    return nullptr;
}

bool UnHookFuntion(const std::string& strApiName, PVOID* ppSlot, PVOID pDetour) {
    const char* api = strApiName.c_str();
    try {
        if (!*ppSlot) {
            HookLogError("UnHookFuntion():pApiSrcAddr Is NULL, strApiName=%s", api);
            return false;
        }
        DetourTransactionBegin();
        DetourUpdateThread(GetCurrentThread());
        const LONG detached = DetourDetach(ppSlot, pDetour);
        if (detached != 0)
            HookLogError("DetourAttach Fail, lRet=%d,strApiName=%s", static_cast<int>(detached), api);
        const LONG committed = DetourTransactionCommit();
        if (committed != 0)
            HookLogError("DetourTransactionCommit Fail, lRet=%d,strApiName=%s",
                         static_cast<int>(committed), api);
        return detached == 0 && committed == 0;
    } catch (...) {
        HookLogError("HookFuntion Exception, strApiName=%s", api);
    }
    return false;
}
