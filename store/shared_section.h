#pragma once
// The data section that every process which has loaded Gatrel.dll sees as one
// copy. It is a shared section of the library's own image, so it needs no name
// and no set-up, and it lives as long as any process has the library loaded.
#include <cstdint>

#include "store/hook_info.h"

struct ProtectedDataSlot {
    uint32_t uFormat;   // 0 marks a free slot
    uint32_t hMem;
};

// A process as the clipboard's records name it: its id and its creation time.
// An id alone comes round again once its process has ended.
struct ClipboardOwner {
    uint32_t pid;         // 0: nobody
    uint32_t startLow;    // creation time (FILETIME), low and high words
    uint32_t startHigh;
};

inline bool operator==(const ClipboardOwner& a, const ClipboardOwner& b) {
    return a.pid == b.pid && a.startLow == b.startLow && a.startHigh == b.startHigh;
}

// Tells an owner that another process freed the entry of one of its withheld
// handles. Only a notice: the owner releases the handle if it is on its own
// list of handles it withheld, and ignores it otherwise.
struct ClipboardOrphan {
    ClipboardOwner owner;  // owner.pid 0 marks a free entry
    uint32_t uFormat;
    uint32_t hMem;
};
constexpr int kClipboardOrphanSlots = 200;

struct SharedSection {
    uint8_t  bZelEmptying;
    uint8_t  bAfterEmpty;           // 1 in the initial image
    uint8_t  bProtectedContent;
    uint32_t hClipOwnerWnd;
    uint32_t dwClipOwnerPid;
    uint32_t hGetMsgHook;
    ProtectedDataSlot ProtectedData[kProtectedDataSlots];
    uint32_t hCBTHook;
    uint32_t dwKORBInfo;
    WaterInfo waterInfo;
    char     szKORBClassName[260];
    uint32_t nOstrumCount;
    _ZEL_HOOK_INFO_ hookInfo[kHookInfoSlots];
    uint32_t bAltTabPressed;

    // --- Reader/writer protocol (see store/seq_lock.h) ---
    // version: bumped by every writer before and after it changes anything.
    // writing: 1 while a holder of "HookMutex" is in the middle of a write
    // (every writer holds it, the Ostrum writers too).
    volatile uint32_t version;
    volatile uint32_t writing;
    // Process that set each withheld clipboard handle: a handle is valid only
    // there, so only that process may release it.
    ClipboardOwner ProtectedDataOwner[kProtectedDataSlots];
    // Notices of withheld handles whose entries another process freed; each
    // waits here until its owner reads it or is found to have ended.
    ClipboardOrphan orphans[kClipboardOrphanSlots];
    // Bumped whenever a notice is left, so an owner tests one word, not the list.
    volatile uint32_t orphanGeneration;
};

// The one copy of the section, mapped into every process that loads us.
extern SharedSection g_shared;
