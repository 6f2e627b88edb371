#include "store/hook_records.h"

#include <cstring>

#include "store/caller_text.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/ansi_text.h"

namespace store {
namespace {

_ZEL_HOOK_INFO_* Slots() { return g_shared.hookInfo; }

// The caller's strings and records are copied before the store is locked or
// read (store/caller_text.h); fields compared with a caller's text are of
// these widths.
constexpr size_t kPathWidth = sizeof(_ZEL_HOOK_INFO_::szFilePath);
constexpr size_t kNameWidth = sizeof(_ZEL_HOOK_INFO_::szZelFileName);
constexpr size_t kLettersWidth = sizeof(_ZEL_HOOK_INFO_::szPermission);
constexpr size_t kTempPathWidth = sizeof(_ZEL_HOOK_INFO_::szOfficeTempPath);

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

std::string FlagPartOf(const char* path, size_t width) {
    std::string name = text::FromField(path, width);
    const size_t bs = name.rfind('\\');
    if (bs != std::string::npos) name.erase(0, bs + 1);
    const size_t close = name.find(')');
    if (close == std::string::npos) return {};
    name.resize(close + 1);
    return name;
}

bool AddHookInfo(const _ZEL_HOOK_INFO_* rec) {
    if (!rec) return false;
    _ZEL_HOOK_INFO_ local;
    memcpy(&local, rec, sizeof local);
    LockedWrite w;
    if (!w.owned()) return false;
    int chosen = -1;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (Slots()[i].dwOwnerPid == local.dwOwnerPid) {
            chosen = i;
            break;
        }
        if (chosen < 0 && Slots()[i].dwProcessId == 0) chosen = i;
    }
    if (chosen < 0) return false;  // table full: dropped
    memcpy(&Slots()[chosen], &local, sizeof local);
    return true;
}

void DelHookInfo(DWORD ownerPid) {
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i)
        if (Slots()[i].dwOwnerPid == ownerPid) memset(&Slots()[i], 0, sizeof Slots()[i]);
}

void SetHookInfo(DWORD ownerPid, const char* letters) {
    const CallerText copy(letters, kLettersWidth);
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i)
        if (Slots()[i].dwOwnerPid == ownerPid)
            text::CopyToField(Slots()[i].szPermission, kLettersWidth, copy.get());
}

void SetHookInfo(const char* path, const char* letters) {
    if (!path) return;
    const CallerText pathCopy(path, kPathWidth);
    const CallerText lettersCopy(letters, kLettersWidth);
    if (!pathCopy.fits()) return;
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (FieldEqualsNoCase(Slots()[i].szFilePath, kPathWidth, pathCopy.get())) {
            text::CopyToField(Slots()[i].szPermission, kLettersWidth, lettersCopy.get());
            return;
        }
    }
}

int FindZELFileName(const char* name, _ZEL_HOOK_INFO_* out) {
    if (!name) return -1;
    const CallerText copy(name, kNameWidth);
    if (!copy.fits()) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return FieldEqualsNoCase(s.szZelFileName, kNameWidth, copy.get());
    });
}

void SetOfficeTempPath(const char* path, const char* tempPath) {
    if (!path) return;
    const CallerText pathCopy(path, kPathWidth);
    const CallerText tempCopy(tempPath, kTempPathWidth);
    if (!pathCopy.fits()) return;
    LockedWrite w;
    if (!w.owned()) return;
    for (int i = 0; i < kHookInfoSlots; ++i) {
        if (text::FromField(Slots()[i].szFilePath) == pathCopy.get()) {
            text::CopyToField(Slots()[i].szOfficeTempPath, kTempPathWidth, tempCopy.get());
            return;
        }
    }
}

std::string GetOfficeTempPath(const char* path) {
    if (!path) return {};
    const CallerText copy(path, kPathWidth);
    if (!copy.fits()) return {};
    _ZEL_HOOK_INFO_ rec;
    if (FindSlot(&rec, [&](const _ZEL_HOOK_INFO_& s) {
            return text::FromField(s.szFilePath) == copy.get();
        }) < 0)
        return {};
    return text::FromField(rec.szOfficeTempPath);
}

// Process and owner id 0 mark free slots: a look-up by 0 would hand out a free
// (or half-cleared) slot as if it were a protected document.
int GetHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    if (pid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) { return s.dwProcessId == pid; });
}

bool GetHookInfoByFlag(const char* flag, _ZEL_HOOK_INFO_* out) {
    if (!flag) return false;
    const CallerText copy(flag, kPathWidth);
    // An empty flag would match every slot whose name has no ")", free slots
    // included, and report an unprotected job as protected with no rights.
    if (!*copy.get() || !copy.fits()) return false;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
               return text::EqualsNoCase(FlagPartOf(s.szFilePath, kPathWidth).c_str(), copy.get());
           }) >= 0;
}

int GetHookInfoByWnd(HWND wnd, _ZEL_HOOK_INFO_* out) {
    if (!wnd) return -1;
    const uint32_t h = HandleWord(wnd);
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) { return s.hDocWnd == h; });
}

int GetHookInfoByWndOrChild(HWND wnd, _ZEL_HOOK_INFO_* out) {
    if (!wnd) return -1;
    const uint32_t h = HandleWord(wnd);
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
        for (int i = 0; i < kHookInfoSlots && idx < 0; ++i)
            if (wnds[i] == h || (wnds[i] && IsChild(WindowOf(wnds[i]), wnd))) idx = i;
        if (idx < 0) return -1;
        _ZEL_HOOK_INFO_ copy;
        if (!ReadConsistent([&] { memcpy(&copy, &Slots()[idx], sizeof copy); })) return -1;
        if (copy.hDocWnd != wnds[idx]) continue;  // slot changed meanwhile
        if (out) memcpy(out, &copy, sizeof copy);
        return idx;
    }
    return -1;
}

int GetHookInfoByOwner(DWORD ownerPid, int docType, _ZEL_HOOK_INFO_* out) {
    if (ownerPid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return s.dwOwnerPid == ownerPid && s.byDocType == docType;
    });
}

int GetKORBHookInfoByPid(DWORD pid, _ZEL_HOOK_INFO_* out) {
    if (pid == 0) return -1;
    return FindSlot(out, [&](const _ZEL_HOOK_INFO_& s) {
        return s.dwProcessId == pid && s.byDocType == kDocKORB;
    });
}

bool IsOwnerProcessProtected(DWORD ownerPid) {
    if (ownerPid == 0) return false;
    return CountSlots([&](const _ZEL_HOOK_INFO_& s) {
               return s.dwOwnerPid == ownerPid && s.byDocType != kDocKORB;
           }) > 0;
}

int GetWindowedHookInfoCount() {
    return CountSlots([](const _ZEL_HOOK_INFO_& s) { return s.hDocWnd && s.dwOwnerPid; });
}

int GetHookInfoCount() {
    return CountSlots([](const _ZEL_HOOK_INFO_& s) { return s.dwOwnerPid != 0; });
}

bool CopyHookInfoTable(void* table) {
    if (!table) return false;
    _ZEL_HOOK_INFO_ copy[kHookInfoSlots];
    if (!ReadConsistent([&] { memcpy(copy, g_shared.hookInfo, sizeof copy); })) return false;
    memcpy(table, copy, sizeof copy);
    return true;
}

}  // namespace store
