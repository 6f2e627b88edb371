// The reader protocol of the store, in-process: readers must neither hang nor
// hand out torn records when a writer died in the middle of a write.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "guards/clipboard/clipboard_memory.h"
#include "store/clipboard_state.h"
#include "store/named_lock.h"
#include "store/shared_section.h"
#include "tests/support/library_view.h"
#include "tests/store/store_test_util.h"

namespace {

_ZEL_HOOK_INFO_ Rec(DWORD pid, uint32_t wnd) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = r.dwOwnerPid = pid;
    r.hDocWnd = wnd;
    strcpy(r.szPermission, "P");
    return r;
}

TEST(StoreReaders, WriterThatDiedMidWriteNeitherHangsReadersNorStaysSet) {
    store::CreateLoadMutexes();
    testlib::Store s;
    storetest::ClearTable(s);
    auto r = Rec(4711, 0x900);
    s.AddHookInfo(&r);

    // A thread takes HookMutex, marks a write in progress and ends without
    // releasing: the mutex is abandoned and the flag stays set.
    std::thread([] {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "HookMutex");
        WaitForSingleObject(m, INFINITE);
        __atomic_store_n(&g_shared.writing, 1u, __ATOMIC_SEQ_CST);
        CloseHandle(m);
    }).join();

    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(0, s.GetHookInfoByWnd(reinterpret_cast<HWND>(0x900), &out));  // falls back, no hang
    EXPECT_EQ(4711u, out.dwProcessId);
    EXPECT_EQ(0u, g_shared.writing) << "the abandoned wait clears the dead writer's flag";
    auto r2 = Rec(4712, 0x901);
    s.AddHookInfo(&r2);
    EXPECT_EQ(1, s.GetHookInfoByPid(4712, &out));
    storetest::ClearTable(s);
}

TEST(StoreReaders, ConcurrentWriterNeverShowsHalfARecord) {
    store::CreateLoadMutexes();
    testlib::Store s;
    storetest::ClearTable(s);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (uint32_t gen = 1; !stop; ++gen) {
            _ZEL_HOOK_INFO_ r = Rec(77, 0x700);
            memset(r.szFilePath, 'a' + gen % 26, 259);
            memset(r.szOfficeTempPath, 'a' + gen % 26, 259);
            r.dwExtra = gen;
            s.AddHookInfo(&r);
        }
    });
    int torn = 0, seen = 0;
    for (int i = 0; i < 2000000 && seen < 20000; ++i) {
        _ZEL_HOOK_INFO_ out{};
        if (s.GetHookInfoByWnd(reinterpret_cast<HWND>(0x700), &out) < 0) continue;
        ++seen;
        const char c = out.szFilePath[0];
        if (static_cast<uint32_t>(c) != 'a' + out.dwExtra % 26 || out.szFilePath[258] != c || out.szOfficeTempPath[258] != c)
            ++torn;
    }
    stop = true;
    writer.join();
    EXPECT_GT(seen, 0);
    EXPECT_EQ(0, torn);
    storetest::ClearTable(s);
}

}  // namespace

namespace {

HANDLE Block() { return GlobalAlloc(GMEM_MOVEABLE, 16); }
bool IsLive(HANDLE h) { return GlobalFlags(h) != GMEM_INVALID_HANDLE; }

TEST(ClipboardState, SameFormatTwiceKeepsTheLaterHandleAndReleasesTheEarlier) {
    store::CreateLoadMutexes();
    store::ClearProtectedData(DelClipbrdMem);
    HANDLE first = Block(), second = Block();
    ASSERT_TRUE(store::SetProtectedData(CF_TEXT, first, DelClipbrdMem));
    ASSERT_TRUE(store::SetProtectedData(CF_TEXT, second, DelClipbrdMem));
    EXPECT_EQ(second, store::GetProtectedData(CF_TEXT));
    EXPECT_FALSE(IsLive(first));
    EXPECT_TRUE(IsLive(second));
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_FALSE(IsLive(second));
    EXPECT_EQ(nullptr, store::GetProtectedData(CF_TEXT));
}

TEST(ClipboardState, HundredFormatsFitAndTheNextIsRefused) {
    store::ClearProtectedData(DelClipbrdMem);
    for (UINT f = 1; f <= 100; ++f)
        ASSERT_TRUE(store::SetProtectedData(0xC000 + f, nullptr, DelClipbrdMem)) << f;
    HANDLE extra = Block();
    EXPECT_FALSE(store::SetProtectedData(0xC000 + 101, extra, DelClipbrdMem));
    EXPECT_EQ(nullptr, store::GetProtectedData(0xC000 + 101));
    store::ClearProtectedData(DelClipbrdMem);
    GlobalFree(extra);
}

// A handle of another process is neither handed out nor released here: it is
// left to its owner, which releases it on its next clipboard call.
TEST(ClipboardState, HandlesOfAnotherProcessAreLeftToTheirOwner) {
    store::ClearProtectedData(DelClipbrdMem);
    HANDLE mine = Block();
    ASSERT_TRUE(store::SetProtectedData(CF_UNICODETEXT, mine, DelClipbrdMem));
    const DWORD other = GetCurrentProcessId() + 4;
    g_shared.ProtectedDataPid[0] = other;
    EXPECT_EQ(nullptr, store::GetProtectedData(CF_UNICODETEXT)) << "the number means nothing here";
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_TRUE(IsLive(mine));
    EXPECT_EQ(0u, g_shared.ProtectedData[0].uFormat) << "the entry is free all the same";
    int orphan = -1;
    for (int k = 0; k < kClipboardOrphanSlots; ++k)
        if (g_shared.orphans[k].pid == other) orphan = k;
    ASSERT_GE(orphan, 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(mine), g_shared.orphans[orphan].hMem);
    // Play the owner, to whom another process left the handle: its next call
    // releases it and frees the entry.
    g_shared.orphans[orphan].pid = GetCurrentProcessId();
    __atomic_add_fetch(&g_shared.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
    store::ReleaseClipboardOrphans(DelClipbrdMem);
    EXPECT_FALSE(IsLive(mine));
    EXPECT_EQ(0u, g_shared.orphans[orphan].pid);
}

// A release may take long (a large metafile), and every reader on the desktop
// waits while the store's lock and write flag are held: releases run after.
struct ReleaseWitness {
    static DWORD WINAPI TryLock(LPVOID) {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "HookMutex");
        const DWORD r = WaitForSingleObject(m, 0);
        if (r == WAIT_OBJECT_0) ReleaseMutex(m);
        CloseHandle(m);
        return r == WAIT_OBJECT_0;
    }
    static int Release(UINT format, HANDLE mem) {
        ++calls;
        flagClear = flagClear && g_shared.writing == 0;
        // The lock is re-entrant for this thread: another thread must try it.
        HANDLE t = CreateThread(nullptr, 0, TryLock, nullptr, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        DWORD free = 0;
        GetExitCodeThread(t, &free);
        CloseHandle(t);
        lockFree = lockFree && free;
        return DelClipbrdMem(format, mem);
    }
    static inline int calls = 0;
    static inline bool flagClear = true, lockFree = true;
};

TEST(ClipboardState, HandlesAreReleasedAfterTheStoreIsUnlocked) {
    store::ClearProtectedData(DelClipbrdMem);
    ASSERT_TRUE(store::SetProtectedData(CF_TEXT, Block(), ReleaseWitness::Release));
    ASSERT_TRUE(store::SetProtectedData(CF_TEXT, Block(), ReleaseWitness::Release));
    store::ClearProtectedData(ReleaseWitness::Release);
    EXPECT_EQ(2, ReleaseWitness::calls);
    EXPECT_TRUE(ReleaseWitness::flagClear) << "a release ran inside a write";
    EXPECT_TRUE(ReleaseWitness::lockFree) << "a release ran under \"HookMutex\"";
}

TEST(ClipboardState, OwnerPairQueries) {
    store::SetClipOwner(nullptr, 0);
    EXPECT_FALSE(store::IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 6));
    store::SetClipOwner(reinterpret_cast<HWND>(5), 6);
    EXPECT_TRUE(store::IsClipOwner(reinterpret_cast<HWND>(5), 6));
    EXPECT_TRUE(store::IsClipOwnerPid(6));
    EXPECT_TRUE(store::IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 7));
    EXPECT_FALSE(store::IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 6));
    store::SetClipOwner(nullptr, 0);
}

TEST(ClipboardState, MetafilesAreReleasedWithTheirOwnCalls) {
    store::ClearProtectedData(DelClipbrdMem);
    HDC rec = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    Rectangle(rec, 0, 0, 10, 10);
    HENHMETAFILE emf = CloseEnhMetaFile(rec);
    ASSERT_TRUE(emf);
    ASSERT_NE(0u, GetEnhMetaFileBits(emf, 0, nullptr));

    HDC wrec = CreateMetaFileA(nullptr);
    Rectangle(wrec, 0, 0, 10, 10);
    HMETAFILE wmf = CloseMetaFile(wrec);
    ASSERT_TRUE(wmf);
    HGLOBAL pict = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    auto* mp = static_cast<METAFILEPICT*>(GlobalLock(pict));
    mp->mm = MM_ANISOTROPIC;
    mp->hMF = wmf;
    GlobalUnlock(pict);

    ASSERT_TRUE(store::SetProtectedData(CF_ENHMETAFILE, emf, DelClipbrdMem));
    ASSERT_TRUE(store::SetProtectedData(CF_METAFILEPICT, pict, DelClipbrdMem));
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_EQ(0u, GetEnhMetaFileBits(emf, 0, nullptr)) << "the enhanced metafile is gone";
    EXPECT_EQ(0u, GetMetaFileBitsEx(wmf, 0, nullptr)) << "the picture's metafile is gone";
    EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(pict)) << "and its block";
}

}  // namespace
