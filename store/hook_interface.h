#pragma once
// The exported control surface used by the controller. Every data member is a
// thin wrapper over a store operation; the exported names are an interface.
#include <windows.h>

#include <string>

#include "store/hook_info.h"
#include "support/api.h"

class CZELGatrel;

class GATREL_API CHookInterface {
public:
    CHookInterface();
    ~CHookInterface();

    static CHookInterface& instance();

    // Global window hooks.
    int StartHook();
    HHOOK StartCBTHook();
    int StopHook();
    int StopHookEx(HHOOK hook);
    DWORD RestartHook();

    void AddHookInfo(void* rec);
    void DelHookInfo(DWORD ownerPid);
    void SetHookInfo(DWORD ownerPid, const char* letters);
    void SetHookInfo(std::string& path, const char* letters);
    int FindZELFileName(const char* name, _ZEL_HOOK_INFO_& rec);
    void SetWaterInfo(void* info);
    void SetKORBInfo(DWORD value);
    void SetKORBClassName(const char* cls);
    void SetOfficeTempPath(const char* path, const char* tempPath);
    std::string GetOfficeTempPath(const char* path);
    int AddOstrumInfo(void* rec);
    void DelGuardInfo(void* rec);
    void DelGuardInfo1(void* rec);
    void GetAllOstrumInfo(void* table);
    int GetOstrumCount();

    CZELGatrel* m_pStore;
};
