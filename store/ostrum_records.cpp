#include "store/ostrum_records.h"

#include <cstring>
#include <string>

#include "store/hook_records.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/ansi_text.h"

// Lock order, always: "DllShareMem", then "HookMutex" around the write. The
// first is what the Ostrum process's peers expect; the second keeps these
// writes apart from every other writer of the table (both pick free slots, by
// different fields) and puts them under the one write flag readers watch.
namespace store {
namespace {

_ZEL_HOOK_INFO_* Slots() { return g_shared.hookInfo; }

bool NameEqualsNoCase(const _ZEL_HOOK_INFO_& s, const std::string& name) {
    return text::EqualsNoCase(text::FromField(s.szZelFileName).c_str(), name.c_str());
}

}  // namespace

int AddOstrumInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return kOstrumStored;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    const std::string name = text::FromField(local.szZelFileName);
    NamedLock ostrum(LockId::DllShareMem);
    if (!ostrum.owned()) return kOstrumLockFailed;
    LockedWrite w;
    if (!w.owned()) return kOstrumLockFailed;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (NameEqualsNoCase(Slots()[i], name)) {
            if (local.byDocType != kDocKORB || Slots()[i].byDocType != kDocKORB)
                return kOstrumNameTaken;
            memcpy(&Slots()[i], &local, sizeof local);
            return kOstrumStored;
        }
    }
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == 0) {
            memcpy(&Slots()[i], &local, sizeof local);
            return kOstrumStored;
        }
    }
    return kOstrumTableFull;
}

void DelGuardInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    const std::string name = text::FromField(local.szZelFileName);
    NamedLock ostrum(LockId::DllShareMem);
    if (!ostrum.owned()) return;
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        _ZEL_HOOK_INFO_& s = Slots()[i];
        if (s.dwOwnerPid == local.dwOwnerPid && text::FromField(s.szZelFileName) == name) {
            memset(&s, 0, sizeof s);
            s.byExtra = local.byExtra;
            s.hDocWnd = local.hDocWnd;
            s.byDocType = local.byDocType;
            s.dwExtra = local.dwExtra;
            return;
        }
    }
}

void DelGuardInfo1(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return;
    const uint32_t owner = rec->dwOwnerPid;
    NamedLock ostrum(LockId::DllShareMem);
    if (!ostrum.owned()) return;
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == owner) {
            memset(&Slots()[i], 0, sizeof Slots()[i]);
            return;
        }
    }
}

void GetAllOstrumInfo(void* table) {
    if (!table) return;
    // The table is handed out even when the lock cannot be had; either way it
    // is one consistent copy, never a row torn by a writer. It reaches the
    // caller's buffer after the lock is released: a bad buffer faults in the
    // caller's call, not with "DllShareMem" held.
    _ZEL_HOOK_INFO_ copy[kHookInfoSlots];
    bool copied = false;
    {
        NamedLock ostrum(LockId::DllShareMem);
        copied = CopyHookInfoTable(copy);
    }
    if (copied) memcpy(table, copy, sizeof copy);
}

int GetOstrumCount() {
    NamedLock ostrum(LockId::DllShareMem);
    if (!ostrum.owned()) return 0;
    return static_cast<int>(g_shared.nOstrumCount);
}

}  // namespace store
