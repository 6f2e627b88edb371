#pragma once
// The store object the control interface owns. It holds no data: its
// operations are the store's plain operations (store/hook_records.h,
// store/shared_settings.h, store/ostrum_records.h). Building one creates the
// "DllShareMem" mutex of this process, which the Ostrum operations take, so
// only the control interface builds one; the rest of the library calls the
// plain operations.
#include <windows.h>

#include <string>

#include "store/hook_info.h"
#include "store/ostrum_records.h"

class CZELGatrel {
public:
    CZELGatrel();
    virtual ~CZELGatrel();

    void AddHookInfo(const _ZEL_HOOK_INFO_* rec);
    void DelHookInfo(DWORD ownerPid);
    void SetHookInfo(DWORD ownerPid, const char* letters);
    void SetHookInfo(const char* path, const char* letters);
    int FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out);
    void SetOfficeTempPath(const char* path, const char* tempPath);
    std::string GetOfficeTempPath(const char* path);
    int GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out);
    bool GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out);
    int GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out);
    int GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out);
    int GetHookInfoByOwner(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out);
    int GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out);
    bool IsOwnerProcessProtected(DWORD ownerPid);
    int GetWindowedHookInfoCount();
    int GetHookInfoCount();

    void SetWaterInfo(const WaterInfo* info);
    void GetWaterInfo(WaterInfo* out);
    void SetKORBInfo(DWORD value);
    DWORD GetKORBInfo();
    void SetKORBClassName(const char* cls);
    std::string GetKORBClassName();
    void SetAltTabFlag(DWORD value);
    DWORD GetAltTabFlag();

    void SetZelEmptying(bool on);
    bool GetZelEmptying();
    bool GetProtectedContent();
    void GetClipOwner(HWND& wnd, DWORD& pid);
    bool IsClipOwner(HWND wnd, DWORD pid);

    int AddOstrumInfo(const _ZEL_HOOK_INFO_* rec);
    void DelGuardInfo(const _ZEL_HOOK_INFO_* rec);
    void DelGuardInfo1(const _ZEL_HOOK_INFO_* rec);
    void GetAllOstrumInfo(void* table12180);
    int GetOstrumCount();
};
