#pragma once
// The library's store and process state through its diagnostic table: inside
// the loaded Gatrel.dll (the section every process with the library shares)
// for programs that link its import library, the program's own copy for
// programs linked with the folder libraries.
#include <string>

#include "host/diagnostics.h"

namespace testlib {

inline const GatrelDiagnostics& Dll() {
    static const GatrelDiagnostics* table = GatrelDiagnosticTable();
    return *table;
}

// The store operations, by their own names.
class Store {
public:
    void AddHookInfo(const _ZEL_HOOK_INFO_* rec) { Dll().AddHookInfo(rec); }
    void DelHookInfo(DWORD owner) { Dll().DelHookInfo(owner); }
    void SetHookInfo(DWORD owner, const char* letters) { Dll().SetHookInfoOfOwner(owner, letters); }
    void SetHookInfo(const char* path, const char* letters) { Dll().SetHookInfoOfPath(path, letters); }
    int FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out) { return Dll().FindZELFileName(name, out); }
    void SetOfficeTempPath(const char* path, const char* temp) { Dll().SetOfficeTempPath(path, temp); }
    std::string GetOfficeTempPath(const char* path) { return Dll().GetOfficeTempPath(path); }
    int GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) { return Dll().GetHookInfoByPid(pid, out); }
    bool GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out) {
        return Dll().GetHookInfoByFlag(flag, out);
    }
    int GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out) { return Dll().GetHookInfoByWnd(wnd, out); }
    int GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out) {
        return Dll().GetHookInfoByWndOrChild(wnd, out);
    }
    int GetHookInfoByOwner(DWORD owner, int type, _ZEL_HOOK_INFO_* out) {
        return Dll().GetHookInfoByOwner(owner, type, out);
    }
    int GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
        return Dll().GetKORBHookInfoByPid(pid, out);
    }
    bool IsOwnerProcessProtected(DWORD owner) { return Dll().IsOwnerProcessProtected(owner); }
    int GetWindowedHookInfoCount() { return Dll().GetWindowedHookInfoCount(); }
    int GetHookInfoCount() { return Dll().GetHookInfoCount(); }
    void SetWaterInfo(const WaterInfo* info) { Dll().SetWaterInfo(info); }
    void GetWaterInfo(WaterInfo* out) { Dll().GetWaterInfo(out); }
    void SetKORBInfo(DWORD v) { Dll().SetKORBInfo(v); }
    DWORD GetKORBInfo() { return Dll().GetKORBInfo(); }
    void SetKORBClassName(const char* cls) { Dll().SetKORBClassName(cls); }
    std::string GetKORBClassName() { return Dll().GetKORBClassName(); }
    int AddOstrumInfo(const _ZEL_HOOK_INFO_* rec) { return Dll().AddOstrumInfo(rec); }
    void DelGuardInfo(const _ZEL_HOOK_INFO_* rec) { Dll().DelGuardInfo(rec); }
    void DelGuardInfo1(const _ZEL_HOOK_INFO_* rec) { Dll().DelGuardInfo1(rec); }
    void GetAllOstrumInfo(void* table) { Dll().GetAllOstrumInfo(table); }
    void SetZelEmptying(bool on) { Dll().SetZelEmptying(on); }
    bool GetZelEmptying() { return Dll().GetZelEmptying(); }
    bool GetProtectedContent() { return Dll().GetProtectedContent(); }
    void GetClipOwner(HWND& wnd, DWORD& pid) { Dll().GetClipOwner(wnd, pid); }
    bool IsClipOwner(HWND wnd, DWORD pid) { return Dll().IsClipOwner(wnd, pid); }
};

}  // namespace testlib
