#include "store/zel_gatrel.h"

#include <cstring>

#include "store/named_lock.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/ansi_text.h"

using store::LockId;
using store::NamedLock;
using store::ReadConsistent;
using store::WriteScope;

namespace {

_ZEL_HOOK_INFO_* Slots() { return g_shared.hookInfo; }

// Lookup shape shared by the by-field searches: scan in place, copy the first
// matching slot, validate, and hand the copy to the caller only when found.
template <class Match>
int FindSlot(_ZEL_HOOK_INFO_* out, Match match) {
    int found = -1;
    _ZEL_HOOK_INFO_ copy;
    const bool ok = ReadConsistent([&] {
        found = -1;
        for (int i = 0; i < kHookInfoSlots; ++i) {
            if (match(Slots()[i])) {
                memcpy(&copy, &Slots()[i], sizeof copy);
                found = i;
                break;
            }
        }
    });
    if (!ok || found < 0) return -1;
    if (out) memcpy(out, &copy, sizeof copy);
    return found;
}

template <class Count>
int CountSlots(Count pred) {
    int n = 0;
    if (!ReadConsistent([&] {
            n = 0;
            for (int i = 0; i < kHookInfoSlots; ++i)
                if (pred(Slots()[i])) ++n;
        }))
        return 0;
    return n;
}

bool FieldEqualsNoCase(const char* field, size_t width, const char* s) {
    return text::EqualsNoCase(text::FromField(field, width).c_str(), s);
}

}  // namespace

bool HasPermission(const _ZEL_HOOK_INFO_& rec, char letter) {
    return memchr(rec.szPermission, letter,
                  strnlen(rec.szPermission, sizeof rec.szPermission)) != nullptr;
}

std::string FlagPartOf(const char* path, size_t width) {
    std::string name = text::FromField(path, width);
    const size_t bs = name.rfind('\\');
    if (bs != std::string::npos) name.erase(0, bs + 1);
    const size_t close = name.find(')');
    if (close == std::string::npos) return {};
    name.resize(close + 1);
    return name;
}

CZELGatrel::CZELGatrel() { store::EnsureDllShareMemMutex(); }
CZELGatrel::~CZELGatrel() = default;

void CZELGatrel::AddHookInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    int chosen = -1;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == local.dwOwnerPid) {
            chosen = i;
            break;
        }
        if (chosen < 0 && Slots()[i].dwProcessId == 0) chosen = i;
    }
    if (chosen < 0) return;  // table full: dropped without notice
    WriteScope w(LockId::Hook);
    memcpy(&Slots()[chosen], &local, sizeof local);
}

void CZELGatrel::DelHookInfo(DWORD ownerPid) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    for (int i = 0; i < kHookInfoSlots; ++i)
        if (Slots()[i].dwOwnerPid == ownerPid) memset(&Slots()[i], 0, sizeof Slots()[i]);
}

void CZELGatrel::SetHookInfo(DWORD ownerPid, const char* letters) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    for (int i = 0; i < kHookInfoSlots; ++i)
        if (Slots()[i].dwOwnerPid == ownerPid)
            text::CopyToField(Slots()[i].szPermission, sizeof Slots()[i].szPermission, letters);
}

void CZELGatrel::SetHookInfo(const char* path, const char* letters) {
    if (!path) return;
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (FieldEqualsNoCase(Slots()[i].szFilePath, sizeof Slots()[i].szFilePath, path)) {
            WriteScope w(LockId::Hook);
            text::CopyToField(Slots()[i].szPermission, sizeof Slots()[i].szPermission, letters);
            return;
        }
    }
}

int CZELGatrel::FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out) {
    if (!name) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return FieldEqualsNoCase(s.szZelFileName, sizeof s.szZelFileName, name);
    });
}

void CZELGatrel::SetOfficeTempPath(const char* path, const char* tempPath) {
    if (!path) return;
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (text::FromField(Slots()[i].szFilePath) == path) {
            WriteScope w(LockId::Hook);
            text::CopyToField(Slots()[i].szOfficeTempPath, sizeof Slots()[i].szOfficeTempPath,
                              tempPath);
            return;
        }
    }
}

std::string CZELGatrel::GetOfficeTempPath(const char* path) {
    if (!path) return {};
    _ZEL_HOOK_INFO_ rec;
    if (FindSlot(&rec, [&](const _ZEL_HOOK_INFO_& s) {
            return text::FromField(s.szFilePath) == path;
        }) < 0)
        return {};
    return text::FromField(rec.szOfficeTempPath);
}

// Process and owner id 0 mark free slots: a look-up by 0 would hand out a free
// (or half-cleared) slot as if it were a protected document.
int CZELGatrel::GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    if (pid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) { return s.dwProcessId == pid; });
}

bool CZELGatrel::GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out) {
    // An empty flag would match every slot whose name has no ")", free slots
    // included, and report an unprotected job as protected with no rights.
    if (!flag || !*flag) return false;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
               return text::EqualsNoCase(FlagPartOf(s.szFilePath, sizeof s.szFilePath).c_str(),
                                         flag);
           }) >= 0;
}

int CZELGatrel::GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out) {
    if (!wnd) return -1;
    const uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd));
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) { return s.hDocWnd == h; });
}

int CZELGatrel::GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out) {
    if (!wnd) return -1;
    const uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd));
    // IsChild is a window-manager call: take the window column first, decide
    // outside the optimistic read, then copy the chosen slot if it still holds
    // the same window.
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t wnds[kHookInfoSlots];
        if (!ReadConsistent([&] {
                for (int i = 0; i < kHookInfoSlots; ++i) wnds[i] = Slots()[i].hDocWnd;
            }))
            return -1;
        int idx = -1;
        for (int i = 0; i < kHookInfoSlots && idx < 0; ++i) {
            if (wnds[i] == h ||
                (wnds[i] && IsChild(reinterpret_cast<HWND>(static_cast<uintptr_t>(wnds[i])), wnd)))
                idx = i;
        }
        if (idx < 0) return -1;
        _ZEL_HOOK_INFO_ copy;
        if (!ReadConsistent([&] { memcpy(&copy, &Slots()[idx], sizeof copy); })) return -1;
        if (copy.hDocWnd != wnds[idx]) continue;  // slot changed meanwhile
        if (out) memcpy(out, &copy, sizeof copy);
        return idx;
    }
    return -1;
}

int CZELGatrel::GetHookInfoByOwner(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out) {
    if (ownerPid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return s.dwOwnerPid == ownerPid && s.byDocType == docType;
    });
}

int CZELGatrel::GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    if (pid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return s.dwProcessId == pid && s.byDocType == 6;
    });
}

bool CZELGatrel::IsOwnerProcessProtected(DWORD ownerPid) {
    if (ownerPid == 0) return false;
    return CountSlots([&](const _ZEL_HOOK_INFO_& s) {
               return s.dwOwnerPid == ownerPid && s.byDocType != 6;
           }) > 0;
}

int CZELGatrel::GetWindowedHookInfoCount() {
    return CountSlots([](const _ZEL_HOOK_INFO_& s) { return s.hDocWnd && s.dwOwnerPid; });
}

int CZELGatrel::GetHookInfoCount() {
    return CountSlots([](const _ZEL_HOOK_INFO_& s) { return s.dwOwnerPid != 0; });
}

void CZELGatrel::SetWaterInfo(const WaterInfo* info) {
    if (!info) return;
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    memcpy(&g_shared.waterInfo, info, sizeof(WaterInfo));
}

void CZELGatrel::GetWaterInfo(WaterInfo* out) {
    if (!out) return;
    WaterInfo copy;
    if (ReadConsistent([&] { memcpy(&copy, &g_shared.waterInfo, sizeof copy); }))
        memcpy(out, &copy, sizeof copy);
}

void CZELGatrel::SetKORBInfo(DWORD value) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    __atomic_store_n(&g_shared.dwKORBInfo, value, __ATOMIC_RELEASE);
}

// Single aligned words need no retry loop: one load sees the old or the new value.
DWORD CZELGatrel::GetKORBInfo() { return __atomic_load_n(&g_shared.dwKORBInfo, __ATOMIC_ACQUIRE); }

void CZELGatrel::SetKORBClassName(const char* cls) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    text::CopyToField(g_shared.szKORBClassName, sizeof g_shared.szKORBClassName, cls);
}

std::string CZELGatrel::GetKORBClassName() {
    char copy[sizeof g_shared.szKORBClassName];
    if (!ReadConsistent([&] { memcpy(copy, g_shared.szKORBClassName, sizeof copy); })) return {};
    return text::FromField(copy);
}

void CZELGatrel::SetAltTabFlag(DWORD value) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    __atomic_store_n(&g_shared.bAltTabPressed, value, __ATOMIC_RELEASE);
}

DWORD CZELGatrel::GetAltTabFlag() {
    return __atomic_load_n(&g_shared.bAltTabPressed, __ATOMIC_ACQUIRE);
}

int CZELGatrel::AddOstrumInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return kOstrumStored;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    const std::string name = text::FromField(local.szZelFileName);
    NamedLock lock(LockId::DllShareMem);
    if (!lock.owned()) return kOstrumLockFailed;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (FieldEqualsNoCase(Slots()[i].szZelFileName, sizeof Slots()[i].szZelFileName,
                              name.c_str())) {
            if (local.byDocType == 6 && Slots()[i].byDocType == 6) {
                WriteScope w(LockId::DllShareMem);
                memcpy(&Slots()[i], &local, sizeof local);
                return kOstrumStored;
            }
            return kOstrumNameTaken;
        }
    }
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == 0) {
            WriteScope w(LockId::DllShareMem);
            memcpy(&Slots()[i], &local, sizeof local);
            return kOstrumStored;
        }
    }
    return kOstrumTableFull;
}

void CZELGatrel::DelGuardInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    const std::string name = text::FromField(local.szZelFileName);
    NamedLock lock(LockId::DllShareMem);
    if (!lock.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        _ZEL_HOOK_INFO_& s = Slots()[i];
        if (s.dwOwnerPid == local.dwOwnerPid && text::FromField(s.szZelFileName) == name) {
            WriteScope w(LockId::DllShareMem);
            memset(&s, 0, sizeof s);
            s.byExtra = local.byExtra;
            s.hDocWnd = local.hDocWnd;
            s.byDocType = local.byDocType;
            s.dwExtra = local.dwExtra;
            return;
        }
    }
}

void CZELGatrel::DelGuardInfo1(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return;
    const uint32_t owner = rec->dwOwnerPid;
    NamedLock lock(LockId::DllShareMem);
    if (!lock.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == owner) {
            WriteScope w(LockId::DllShareMem);
            memset(&Slots()[i], 0, sizeof Slots()[i]);
            return;
        }
    }
}

void CZELGatrel::GetAllOstrumInfo(void* table) {
    if (!table) return;
    // The table is handed out even when the lock cannot be had.
    NamedLock lock(LockId::DllShareMem);
    memcpy(table, g_shared.hookInfo, kHookInfoTableBytes);
}

int CZELGatrel::GetOstrumCount() {
    NamedLock lock(LockId::DllShareMem);
    if (!lock.owned()) return 0;
    return static_cast<int>(g_shared.nOstrumCount);
}
