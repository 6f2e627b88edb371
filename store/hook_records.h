#pragma once
// The hook-info table: one record per open protected document. Plain
// operations on the shared section, callable from any thread of any process;
// writers hold "HookMutex", readers copy without a kernel round trip.
#include <windows.h>

#include <string>

#include "store/hook_info.h"

namespace store {

// Stores the record in the slot of its owner, else in the first free slot.
// False when the table is full (the record is dropped) or the lock failed.
bool AddHookInfo(const _ZEL_HOOK_INFO_* rec);
void DelHookInfo(DWORD ownerPid);
void SetHookInfo(DWORD ownerPid, const char* letters);
void SetHookInfo(const char* path, const char* letters);
int FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out);
void SetOfficeTempPath(const char* path, const char* tempPath);
std::string GetOfficeTempPath(const char* path);

// Look-ups: slot index with the record copied into out (when out is set), or -1.
int GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out);
bool GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out);
int GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out);
int GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out);
int GetHookInfoByOwner(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out);
int GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out);
bool IsOwnerProcessProtected(DWORD ownerPid);
int GetWindowedHookInfoCount();
int GetHookInfoCount();

// The whole table, all 15 slots, as one consistent copy; false (and the
// buffer untouched) when no consistent copy could be had.
bool CopyHookInfoTable(void* table12180);

// The flag part of a document path: the file name up to and including its
// first ")"; empty when the name has none.
std::string FlagPartOf(const char* path, size_t width);

}  // namespace store
