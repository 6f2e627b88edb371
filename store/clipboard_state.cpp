#include "store/clipboard_state.h"

#include <cstring>

#include "store/hook_info.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "store/withheld_handles.h"
#include "support/log.h"
#include "support/process_utils.h"

// Releases and log lines wait until "HookMutex" is given back: a release can
// take a while (a large metafile), and the log waits on a file and a mutex of
// its own, while every reader on the desktop watches the write flag. For the
// same reason, whether an owner named in the section has ended is asked
// before the lock is taken, never under it.
//
// The owner and handle words of the section are claims that any process can
// write: a handle is released or handed out only when it is on this process's
// own list of handles it withheld (store/withheld_handles.h).
namespace store {
namespace {

template <class T>
void LockedStore(T& field, T value) {
    LockedWrite w;
    if (!w.owned()) return;
    __atomic_store_n(&field, value, __ATOMIC_SEQ_CST);
}

template <class T>
T Load(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

HANDLE HandleOf(uint32_t word) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(word)); }

ClipboardOwner Self() {
    const uint64_t start = CurrentProcessStartTime();
    return {GetCurrentProcessId(), static_cast<uint32_t>(start), static_cast<uint32_t>(start >> 32)};
}

uint64_t StartOf(const ClipboardOwner& o) { return (uint64_t{o.startHigh} << 32) | o.startLow; }

// A few owners, each once. kMax bounds the owners one call asks about; the
// rest wait for a later call.
struct OwnerSet {
    static constexpr int kMax = 8;
    ClipboardOwner items[kMax];
    int count = 0;

    bool Contains(const ClipboardOwner& o) const {
        for (int i = 0; i < count; ++i)
            if (items[i] == o) return true;
        return false;
    }
    void Add(const ClipboardOwner& o) {
        if (count < kMax && !Contains(o)) items[count++] = o;
    }
};

// The owners other than this process that the withheld table or the notices
// name and that have ended: their handles went with them.
OwnerSet EndedOwners(const ClipboardOwner& self) {
    OwnerSet named;
    ReadConsistent([&] {
        named.count = 0;
        for (int i = 0; i < kProtectedDataSlots; ++i) {
            const ClipboardOwner& o = g_shared.ProtectedDataOwner[i];
            if (o.pid && !(o == self) && g_shared.ProtectedData[i].hMem) named.Add(o);
        }
        for (const ClipboardOrphan& n : g_shared.orphans)
            if (n.owner.pid && !(n.owner == self)) named.Add(n.owner);
    });
    OwnerSet ended;
    for (int i = 0; i < named.count; ++i)
        if (HasProcessEnded(named.items[i].pid, StartOf(named.items[i]))) ended.Add(named.items[i]);
    return ended;
}

struct Pending {
    UINT format;
    HANDLE mem;
};

// What a writer took out of the section and releases once the lock is gone.
struct PendingReleases {
    Pending items[kProtectedDataSlots + kClipboardOrphanSlots];
    int count = 0;
    bool orphanDropped = false;

    void Add(uint32_t format, uint32_t mem) {
        if (mem && count < static_cast<int>(sizeof items / sizeof items[0]))
            items[count++] = {format, HandleOf(mem)};
    }
    void Release(HandleRelease release) {
        for (int i = 0; i < count; ++i)
            if (release && TakeWithheldHandle(items[i].format, items[i].mem))
                release(items[i].format, items[i].mem);
        if (orphanDropped) LogError("Clipboard orphan list full: a withheld handle stays in its owner");
    }
};

void LeaveNoticeLocked(const ClipboardOwner& owner, uint32_t format, uint32_t mem,
                       PendingReleases& out) {
    for (ClipboardOrphan& n : g_shared.orphans) {
        if (n.owner.pid) continue;
        n = {owner, format, mem};
        __atomic_add_fetch(&g_shared.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
        return;
    }
    out.orphanDropped = true;
}

// This process's handle is released after the lock; another process's is
// left to it with a notice, unless that process has ended.
void FreeEntryLocked(int i, const ClipboardOwner& self, const OwnerSet& ended,
                     PendingReleases& out) {
    ProtectedDataSlot& e = g_shared.ProtectedData[i];
    const ClipboardOwner owner = g_shared.ProtectedDataOwner[i];
    if (e.uFormat && e.hMem) {
        if (owner == self)
            out.Add(e.uFormat, e.hMem);
        else if (owner.pid && !ended.Contains(owner))
            LeaveNoticeLocked(owner, e.uFormat, e.hMem, out);
    }
    e.uFormat = 0;
    e.hMem = 0;
    g_shared.ProtectedDataOwner[i] = {};
}

void DropNoticesLocked(const OwnerSet& ended) {
    if (!ended.count) return;
    for (ClipboardOrphan& n : g_shared.orphans)
        if (n.owner.pid && ended.Contains(n.owner)) n = {};
}

// The orphan generation this process last looked at, plus one (0: never).
volatile LONG g_seenOrphanGeneration = 0;

}  // namespace

void SetZelEmptying(bool on) { LockedStore<uint8_t>(g_shared.bZelEmptying, on); }
bool GetZelEmptying() { return Load(g_shared.bZelEmptying) != 0; }
void SetAfterEmpty(bool on) { LockedStore<uint8_t>(g_shared.bAfterEmpty, on); }
bool GetAfterEmpty() { return Load(g_shared.bAfterEmpty) != 0; }
void SetProtectedContent(bool on) { LockedStore<uint8_t>(g_shared.bProtectedContent, on); }
bool GetProtectedContent() { return Load(g_shared.bProtectedContent) != 0; }

void SetClipOwner(HWND wnd, DWORD pid) {
    LockedWrite w;
    if (!w.owned()) return;
    g_shared.hClipOwnerWnd = HandleWord(wnd);
    g_shared.dwClipOwnerPid = pid;
}

void GetClipOwner(HWND& wnd, DWORD& pid) {
    uint32_t w = 0, p = 0;
    ReadConsistent([&] {
        w = g_shared.hClipOwnerWnd;
        p = g_shared.dwClipOwnerPid;
    });
    wnd = WindowOf(w);
    pid = p;
}

bool IsClipOwner(HWND wnd, DWORD pid) {
    HWND w;
    DWORD p;
    GetClipOwner(w, p);
    return w == wnd && p == pid;
}

bool IsClipOwnerPid(DWORD pid) { return Load(g_shared.dwClipOwnerPid) == pid; }

bool IsClipOwnerDifferent(HWND wnd, DWORD pid) {
    HWND w;
    DWORD p;
    GetClipOwner(w, p);
    if (!w && !p) return false;
    return w != wnd || p != pid;
}

bool SetProtectedData(UINT format, HANDLE mem, HandleRelease release) {
    const ClipboardOwner self = Self();
    // On the list before the entry exists: a notice about the entry may come
    // as soon as the lock is given back.
    const bool listed = mem && AddWithheldHandle(format, mem);
    PendingReleases pending;
    bool kept = false, again = false;
    if (!mem || listed) {
        LockedWrite w;
        if (!w.owned()) {
            if (listed) TakeWithheldHandle(format, mem);
            return false;
        }
        for (int i = 0; i < kProtectedDataSlots; ++i) {
            if (g_shared.ProtectedData[i].uFormat == format) {
                // The same handle set again for its format stays where it is.
                again = mem && g_shared.ProtectedData[i].hMem == HandleWord(mem) &&
                        g_shared.ProtectedDataOwner[i] == self;
                if (!again) FreeEntryLocked(i, self, OwnerSet{}, pending);
                break;
            }
        }
        kept = again;
        for (int i = 0; i < kProtectedDataSlots && !kept; ++i) {
            if (g_shared.ProtectedData[i].uFormat == 0) {
                g_shared.ProtectedData[i].uFormat = format;
                g_shared.ProtectedData[i].hMem = HandleWord(mem);
                g_shared.ProtectedDataOwner[i] = self;
                kept = true;
            }
        }
    }
    // The list holds a handle once per entry.
    if (listed && (again || !kept)) TakeWithheldHandle(format, mem);
    pending.Release(release);
    if (!kept) LogError("In SetProtectedData():save clipboard data fail");
    return kept;
}

HANDLE GetProtectedData(UINT format) {
    // A handle set in another process means nothing here, or something else.
    const ClipboardOwner self = Self();
    uint32_t h = 0;
    ReadConsistent([&] {
        h = 0;
        for (int i = 0; i < kProtectedDataSlots; ++i)
            if (g_shared.ProtectedData[i].uFormat == format) {
                if (g_shared.ProtectedDataOwner[i] == self) h = g_shared.ProtectedData[i].hMem;
                break;
            }
    });
    if (h && !IsWithheldHandle(format, HandleOf(h))) return nullptr;
    return HandleOf(h);
}

void ClearProtectedData(HandleRelease release) {
    const ClipboardOwner self = Self();
    const OwnerSet ended = EndedOwners(self);
    PendingReleases pending;
    {
        LockedWrite w;
        if (!w.owned()) return;
        DropNoticesLocked(ended);
        for (int i = 0; i < kProtectedDataSlots; ++i) FreeEntryLocked(i, self, ended, pending);
    }
    pending.Release(release);
    ReleaseClipboardOrphans(release);
}

void ReleaseClipboardOrphans(HandleRelease release) {
    const uint32_t generation = Load(g_shared.orphanGeneration);
    if (static_cast<uint32_t>(g_seenOrphanGeneration) == generation + 1) return;
    // Most notices name other processes: look before taking the lock.
    const ClipboardOwner self = Self();
    bool named = false;
    ReadConsistent([&] {
        named = false;
        for (const ClipboardOrphan& n : g_shared.orphans) named = named || n.owner == self;
    });
    PendingReleases pending;
    if (named) {
        LockedWrite w;
        if (!w.owned()) return;
        for (ClipboardOrphan& n : g_shared.orphans) {
            if (!(n.owner == self)) continue;
            pending.Add(n.uFormat, n.hMem);
            n = {};
        }
    }
    InterlockedExchange(&g_seenOrphanGeneration, static_cast<LONG>(generation + 1));
    pending.Release(release);
}

}  // namespace store
