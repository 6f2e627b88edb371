#include "intercept/hook_function.h"

#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/hook_log.h"

void HookFuntion(const std::string& strDllName, const std::string& strApiName, PVOID* ppSlot,
                 PVOID pDetour) {
    const char* dll = strDllName.c_str();
    const char* api = strApiName.c_str();
    try {
        if (!strDllName.empty()) *ppSlot = GetApiSrcAddr(strDllName, strApiName);
        if (!*ppSlot) {
            HookLogError("HookFuntion(): pApiSrcAddr Is NULL, strDllName=%s,strApiName=%s", dll, api);
            return;
        }
        DetourTransactionBegin();
        DetourUpdateThread(GetCurrentThread());
        LONG lRet = DetourAttach(ppSlot, pDetour);
        if (lRet != 0)
            HookLogError("DetourAttach Fail, lRet=%d,strDllName=%s,strApiName=%s",
                         static_cast<int>(lRet), dll, api);
        lRet = DetourTransactionCommit();
        if (lRet != 0)
            HookLogError("DetourTransactionCommit Fail, lRet=%d,strDllName=%s,strApiName=%s",
                         static_cast<int>(lRet), dll, api);
    } catch (...) {
        HookLogError("HookFuntion Exception, strDllName=%s,strApiName=%s", dll, api);
    }
}

void UnHookFuntion(const std::string& strApiName, PVOID* ppSlot, PVOID pDetour) {
    const char* api = strApiName.c_str();
    try {
        if (!*ppSlot) {
            HookLogError("UnHookFuntion():pApiSrcAddr Is NULL, strApiName=%s", api);
            return;
        }
        DetourTransactionBegin();
        DetourUpdateThread(GetCurrentThread());
        LONG lRet = DetourDetach(ppSlot, pDetour);
        if (lRet != 0)
            HookLogError("DetourAttach Fail, lRet=%d,strApiName=%s", static_cast<int>(lRet), api);
        lRet = DetourTransactionCommit();
        if (lRet != 0)
            HookLogError("DetourTransactionCommit Fail, lRet=%d,strApiName=%s",
                         static_cast<int>(lRet), api);
    } catch (...) {
        HookLogError("HookFuntion Exception, strApiName=%s", api);
    }
}
