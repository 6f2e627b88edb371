#include "store/zel_gatrel.h"

#include "store/clipboard_state.h"
#include "store/hook_records.h"
#include "store/named_lock.h"
#include "store/shared_settings.h"

CZELGatrel::CZELGatrel() { store::EnsureDllShareMemMutex(); }
CZELGatrel::~CZELGatrel() = default;

void CZELGatrel::AddHookInfo(const _ZEL_HOOK_INFO_* rec) { store::AddHookInfo(rec); }
void CZELGatrel::DelHookInfo(DWORD ownerPid) { store::DelHookInfo(ownerPid); }
void CZELGatrel::SetHookInfo(DWORD ownerPid, const char* letters) {
    store::SetHookInfo(ownerPid, letters);
}
void CZELGatrel::SetHookInfo(const char* path, const char* letters) {
    store::SetHookInfo(path, letters);
}
int CZELGatrel::FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out) {
    return store::FindZELFileName(name, out);
}
void CZELGatrel::SetOfficeTempPath(const char* path, const char* tempPath) {
    store::SetOfficeTempPath(path, tempPath);
}
std::string CZELGatrel::GetOfficeTempPath(const char* path) {
    return store::GetOfficeTempPath(path);
}
int CZELGatrel::GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    return store::GetHookInfoByPid(pid, out);
}
bool CZELGatrel::GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out) {
    return store::GetHookInfoByFlag(flag, out);
}
int CZELGatrel::GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out) {
    return store::GetHookInfoByWnd(wnd, out);
}
int CZELGatrel::GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out) {
    return store::GetHookInfoByWndOrChild(wnd, out);
}
int CZELGatrel::GetHookInfoByOwner(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out) {
    return store::GetHookInfoByOwner(ownerPid, docType, out);
}
int CZELGatrel::GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    return store::GetKORBHookInfoByPid(pid, out);
}
bool CZELGatrel::IsOwnerProcessProtected(DWORD ownerPid) {
    return store::IsOwnerProcessProtected(ownerPid);
}
int CZELGatrel::GetWindowedHookInfoCount() { return store::GetWindowedHookInfoCount(); }
int CZELGatrel::GetHookInfoCount() { return store::GetHookInfoCount(); }

void CZELGatrel::SetWaterInfo(const WaterInfo* info) { store::SetWaterInfo(info); }
void CZELGatrel::GetWaterInfo(WaterInfo* out) { store::GetWaterInfo(out); }
void CZELGatrel::SetKORBInfo(DWORD value) { store::SetKORBInfo(value); }
DWORD CZELGatrel::GetKORBInfo() { return store::GetKORBInfo(); }
void CZELGatrel::SetKORBClassName(const char* cls) { store::SetKORBClassName(cls); }
std::string CZELGatrel::GetKORBClassName() { return store::GetKORBClassName(); }
void CZELGatrel::SetAltTabFlag(DWORD value) { store::SetAltTabFlag(value); }
DWORD CZELGatrel::GetAltTabFlag() { return store::GetAltTabFlag(); }

void CZELGatrel::SetZelEmptying(bool on) { store::SetZelEmptying(on); }
bool CZELGatrel::GetZelEmptying() { return store::GetZelEmptying(); }
bool CZELGatrel::GetProtectedContent() { return store::GetProtectedContent(); }
void CZELGatrel::GetClipOwner(HWND& wnd, DWORD& pid) { store::GetClipOwner(wnd, pid); }
bool CZELGatrel::IsClipOwner(HWND wnd, DWORD pid) { return store::IsClipOwner(wnd, pid); }

int CZELGatrel::AddOstrumInfo(const _ZEL_HOOK_INFO_* rec) { return store::AddOstrumInfo(rec); }
void CZELGatrel::DelGuardInfo(const _ZEL_HOOK_INFO_* rec) { store::DelGuardInfo(rec); }
void CZELGatrel::DelGuardInfo1(const _ZEL_HOOK_INFO_* rec) { store::DelGuardInfo1(rec); }
void CZELGatrel::GetAllOstrumInfo(void* table) { store::GetAllOstrumInfo(table); }
int CZELGatrel::GetOstrumCount() { return store::GetOstrumCount(); }
