#pragma once
// The clipboard guard's state in the shared section: three flags, the owner
// pair and the withheld handles.
//
// A withheld handle means something only in the process that set it, so only
// that process releases it, and only if it is on the process's own list of
// handles it withheld: the section names each entry's owner (its id and
// creation time), but any process can write those words. When another process
// frees an entry, it leaves the owner a notice, which the owner reads on its
// next clipboard call or hook-procedure call; notices of owners that have
// ended are dropped by the next process that frees entries. The store does
// not know how a handle of a given format is released: the caller passes the
// release.
#include <windows.h>

namespace store {

using HandleRelease = int (*)(UINT format, HANDLE mem);

void SetZelEmptying(bool on);
bool GetZelEmptying();
void SetAfterEmpty(bool on);
bool GetAfterEmpty();
void SetProtectedContent(bool on);
bool GetProtectedContent();
void SetClipOwner(HWND wnd, DWORD pid);
void GetClipOwner(HWND& wnd, DWORD& pid);
bool IsClipOwner(HWND wnd, DWORD pid);           // both fields equal
bool IsClipOwnerPid(DWORD pid);
bool IsClipOwnerDifferent(HWND wnd, DWORD pid);  // false while no owner is stored

// Keeps the handle for the format, releasing an earlier handle of the same
// format (after the lock); false when all 100 entries are taken.
bool SetProtectedData(UINT format, HANDLE mem, HandleRelease release);
// The handle this process withheld for the format; null if none.
HANDLE GetProtectedData(UINT format);
// Frees every entry: this process's handles are released, other processes'
// handles are left to their owners with a notice, unless the owner has ended.
void ClearProtectedData(HandleRelease release);
// Releases the handles that notices left for this process name, those it
// withheld. Costs one load when no notice was left since the last call.
void ReleaseClipboardOrphans(HandleRelease release);

}  // namespace store
