#include "store/clipboard_state.h"

#include <cstring>

#include "store/hook_info.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/log.h"

// Releases and log lines wait until "HookMutex" is given back: a release can
// take a while (a large metafile), and the log waits on a file and a mutex of
// its own, while every reader on the desktop watches the write flag.
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
            if (release) release(items[i].format, items[i].mem);
        if (orphanDropped) LogError("Clipboard orphan list full: a withheld handle stays in its owner");
    }
};

// This process's handle is released here; another process's is left to it.
void FreeEntryLocked(int i, DWORD self, PendingReleases& out) {
    ProtectedDataSlot& e = g_shared.ProtectedData[i];
    const uint32_t owner = g_shared.ProtectedDataPid[i];
    if (e.uFormat && e.hMem) {
        if (owner == self) {
            out.Add(e.uFormat, e.hMem);
        } else if (owner) {
            int free = -1;
            for (int k = 0; k < kClipboardOrphanSlots && free < 0; ++k)
                if (g_shared.orphans[k].pid == 0) free = k;
            if (free < 0) {
                out.orphanDropped = true;
            } else {
                g_shared.orphans[free] = {owner, e.uFormat, e.hMem};
                __atomic_add_fetch(&g_shared.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
            }
        }
    }
    e.uFormat = 0;
    e.hMem = 0;
    g_shared.ProtectedDataPid[i] = 0;
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
    PendingReleases pending;
    bool kept = false;
    {
        LockedWrite w;
        if (!w.owned()) return false;
        const DWORD self = GetCurrentProcessId();
        for (int i = 0; i < kProtectedDataSlots; ++i) {
            if (g_shared.ProtectedData[i].uFormat == format) {
                FreeEntryLocked(i, self, pending);
                break;
            }
        }
        for (int i = 0; i < kProtectedDataSlots && !kept; ++i) {
            if (g_shared.ProtectedData[i].uFormat == 0) {
                g_shared.ProtectedData[i].uFormat = format;
                g_shared.ProtectedData[i].hMem = HandleWord(mem);
                g_shared.ProtectedDataPid[i] = self;
                kept = true;
            }
        }
    }
    pending.Release(release);
    if (!kept) LogError("In SetProtectedData():save clipboard data fail");
    return kept;
}

HANDLE GetProtectedData(UINT format) {
    // A handle set in another process means nothing here, or something else.
    const DWORD self = GetCurrentProcessId();
    uint32_t h = 0;
    ReadConsistent([&] {
        h = 0;
        for (int i = 0; i < kProtectedDataSlots; ++i)
            if (g_shared.ProtectedData[i].uFormat == format) {
                if (g_shared.ProtectedDataPid[i] == self) h = g_shared.ProtectedData[i].hMem;
                break;
            }
    });
    return HandleOf(h);
}

void ClearProtectedData(HandleRelease release) {
    PendingReleases pending;
    {
        LockedWrite w;
        if (!w.owned()) return;
        const DWORD self = GetCurrentProcessId();
        for (int i = 0; i < kProtectedDataSlots; ++i) FreeEntryLocked(i, self, pending);
    }
    pending.Release(release);
    ReleaseClipboardOrphans(release);
}

void ReleaseClipboardOrphans(HandleRelease release) {
    const uint32_t generation = Load(g_shared.orphanGeneration);
    if (static_cast<uint32_t>(g_seenOrphanGeneration) == generation + 1) return;
    PendingReleases pending;
    {
        LockedWrite w;
        if (!w.owned()) return;
        const DWORD self = GetCurrentProcessId();
        for (int k = 0; k < kClipboardOrphanSlots; ++k) {
            ClipboardOrphan& o = g_shared.orphans[k];
            if (o.pid != self) continue;
            pending.Add(o.uFormat, o.hMem);
            o = {};
        }
    }
    InterlockedExchange(&g_seenOrphanGeneration, static_cast<LONG>(generation + 1));
    pending.Release(release);
}

}  // namespace store
