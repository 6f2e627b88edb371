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

// Another process, running but idle: this program again, never resumed.
class IdleProcess {
public:
    IdleProcess() : h_(storetest::SpawnSelf("--gtest_list_tests", CREATE_SUSPENDED)) {}
    ~IdleProcess() { End(); }
    ClipboardOwner Owner() const {
        FILETIME created{}, exited, kernel, user;
        GetProcessTimes(h_, &created, &exited, &kernel, &user);
        return {GetProcessId(h_), created.dwLowDateTime, created.dwHighDateTime};
    }
    void End() {
        if (!h_) return;
        TerminateProcess(h_, 0);
        WaitForSingleObject(h_, 10000);
        CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_;
};

int NoticeOf(const ClipboardOwner& owner) {
    for (int k = 0; k < kClipboardOrphanSlots; ++k)
        if (g_shared.orphans[k].owner == owner) return k;
    return -1;
}

// A handle of another process is neither handed out nor released here: the
// entry is freed and its owner gets a notice, on which it releases the handle
// if it withheld it. Values that merely name this process in the section are
// never acted on.
TEST(ClipboardState, HandlesAreReleasedOnlyByTheProcessThatWithheldThem) {
    store::ClearProtectedData(DelClipbrdMem);
    IdleProcess other;
    HANDLE mine = Block();
    ASSERT_TRUE(store::SetProtectedData(CF_UNICODETEXT, mine, DelClipbrdMem));
    const ClipboardOwner self = g_shared.ProtectedDataOwner[0];
    ASSERT_EQ(GetCurrentProcessId(), self.pid);
    g_shared.ProtectedDataOwner[0] = other.Owner();
    EXPECT_EQ(nullptr, store::GetProtectedData(CF_UNICODETEXT)) << "the number means nothing here";
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_TRUE(IsLive(mine));
    EXPECT_EQ(0u, g_shared.ProtectedData[0].uFormat) << "the entry is free all the same";
    const int notice = NoticeOf(other.Owner());
    ASSERT_GE(notice, 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(mine), g_shared.orphans[notice].hMem);
    // Play the owner, to whom the notice is addressed: its next call releases
    // the handle and drops the notice.
    g_shared.orphans[notice].owner = self;
    __atomic_add_fetch(&g_shared.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
    store::ReleaseClipboardOrphans(DelClipbrdMem);
    EXPECT_FALSE(IsLive(mine));
    EXPECT_EQ(0u, g_shared.orphans[notice].owner.pid);

    // An entry naming this process with a block it never withheld.
    HANDLE foreign = Block();
    g_shared.ProtectedData[0] = {CF_TEXT, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(foreign))};
    g_shared.ProtectedDataOwner[0] = self;
    EXPECT_EQ(nullptr, store::GetProtectedData(CF_TEXT));
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_TRUE(IsLive(foreign));
    GlobalFree(foreign);
}

// Notices wait only for owners that can still read them: whoever next frees
// entries drops those of owners that ended (or whose id another process has
// now), and leaves none for an ended owner's entries.
TEST(ClipboardState, NoticesOfOwnersThatEndedAreDropped) {
    store::ClearProtectedData(DelClipbrdMem);
    IdleProcess running, ended;
    const ClipboardOwner live = running.Owner(), gone = ended.Owner();
    ended.End();
    ClipboardOwner reused = live;  // the running process's id, an earlier start
    reused.startLow ^= 1;
    g_shared.orphans[0] = {live, CF_TEXT, 0x1000};
    g_shared.orphans[1] = {gone, CF_TEXT, 0x1004};
    g_shared.orphans[2] = {reused, CF_TEXT, 0x1008};
    g_shared.ProtectedData[0] = {CF_UNICODETEXT, 0x100C};
    g_shared.ProtectedDataOwner[0] = gone;
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_GE(NoticeOf(live), 0) << "its owner still runs";
    EXPECT_EQ(-1, NoticeOf(gone));
    EXPECT_EQ(-1, NoticeOf(reused));
    EXPECT_EQ(0u, g_shared.ProtectedData[0].uFormat);
    running.End();
    store::ClearProtectedData(DelClipbrdMem);
    EXPECT_EQ(-1, NoticeOf(live));
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
