#pragma once
// The store: operations on the shared section. Holds no data of its own.
#include <windows.h>

#include <string>

#include "store/hook_info.h"
#include "support/api.h"

// Result codes of AddOstrumInfo.
constexpr int kOstrumStored = 0;
constexpr int kOstrumLockFailed = 30024;
constexpr int kOstrumNameTaken = 60027;
constexpr int kOstrumTableFull = 60028;

class GATREL_API CZELGatrel {
public:
    CZELGatrel();
    virtual ~CZELGatrel();

    // Hook-info table ("HookMutex").
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

    // Settings ("HookMutex").
    void SetWaterInfo(const WaterInfo* info);
    void GetWaterInfo(WaterInfo* out);
    void SetKORBInfo(DWORD value);
    DWORD GetKORBInfo();
    void SetKORBClassName(const char* cls);
    std::string GetKORBClassName();
    void SetAltTabFlag(DWORD value);
    DWORD GetAltTabFlag();

    // Clipboard state ("HookMutex"). Byte flags and the owner pair are read
    // without the mutex: each is one aligned store.
    void SetZelEmptying(bool on);
    bool GetZelEmptying();
    void SetAfterEmpty(bool on);
    bool GetAfterEmpty();
    void SetProtectedContent(bool on);
    bool GetProtectedContent();
    void SetClipOwner(HWND wnd, DWORD pid);
    void GetClipOwner(HWND& wnd, DWORD& pid);
    bool IsClipOwner(HWND wnd, DWORD pid);          // both fields equal
    bool IsClipOwnerPid(DWORD pid);
    bool IsClipOwnerDifferent(HWND wnd, DWORD pid); // false while no owner is stored
    // Keeps the handle for the format, releasing an earlier handle of the same
    // format; false when all 100 entries are taken.
    bool SetProtectedData(UINT format, HANDLE mem);
    HANDLE GetProtectedData(UINT format);
    // Frees every entry; handles are released only in the process that set them.
    void ClearProtectedData();

    // Ostrum operations ("DllShareMem").
    int AddOstrumInfo(const _ZEL_HOOK_INFO_* rec);
    void DelGuardInfo(const _ZEL_HOOK_INFO_* rec);
    void DelGuardInfo1(const _ZEL_HOOK_INFO_* rec);
    void GetAllOstrumInfo(void* table12180);
    int GetOstrumCount();
};

// The flag part of a document path: the file name up to and including its
// first ")"; empty when the name has none.
std::string FlagPartOf(const char* path, size_t width);
