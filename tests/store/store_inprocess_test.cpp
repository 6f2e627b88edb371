// The reader protocol of the store, in-process: readers must neither hang nor
// hand out torn records when a writer died in the middle of a write.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "store/named_lock.h"
#include "store/shared_section.h"
#include "store/zel_gatrel.h"
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
    CZELGatrel s;
    storetest::ClearTable(s);
    auto r = Rec(4711, 0x900);
    s.AddHookInfo(&r);

    // A thread takes HookMutex, marks a write in progress and ends without
    // releasing: the mutex is abandoned and the flag stays set.
    std::thread([] {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "HookMutex");
        WaitForSingleObject(m, INFINITE);
        __atomic_store_n(&g_shared.writing[0], 1u, __ATOMIC_SEQ_CST);
        CloseHandle(m);
    }).join();

    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(0, s.GetHookInfoByWnd(reinterpret_cast<HWND>(0x900), &out));  // falls back, no hang
    EXPECT_EQ(4711u, out.dwProcessId);
    EXPECT_EQ(0u, g_shared.writing[0]) << "the abandoned wait clears the dead writer's flag";
    auto r2 = Rec(4712, 0x901);
    s.AddHookInfo(&r2);
    EXPECT_EQ(1, s.GetHookInfoByPid(4712, &out));
    storetest::ClearTable(s);
}

TEST(StoreReaders, ConcurrentWriterNeverShowsHalfARecord) {
    store::CreateLoadMutexes();
    CZELGatrel s;
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
        if (c != 'a' + out.dwExtra % 26 || out.szFilePath[258] != c || out.szOfficeTempPath[258] != c)
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
    CZELGatrel s;
    s.ClearProtectedData();
    HANDLE first = Block(), second = Block();
    ASSERT_TRUE(s.SetProtectedData(CF_TEXT, first));
    ASSERT_TRUE(s.SetProtectedData(CF_TEXT, second));
    EXPECT_EQ(second, s.GetProtectedData(CF_TEXT));
    EXPECT_FALSE(IsLive(first));
    EXPECT_TRUE(IsLive(second));
    s.ClearProtectedData();
    EXPECT_FALSE(IsLive(second));
    EXPECT_EQ(nullptr, s.GetProtectedData(CF_TEXT));
}

TEST(ClipboardState, HundredFormatsFitAndTheNextIsRefused) {
    CZELGatrel s;
    s.ClearProtectedData();
    for (UINT f = 1; f <= 100; ++f) ASSERT_TRUE(s.SetProtectedData(0xC000 + f, nullptr)) << f;
    EXPECT_FALSE(s.SetProtectedData(0xC000 + 101, Block()));
    EXPECT_EQ(nullptr, s.GetProtectedData(0xC000 + 101));
    s.ClearProtectedData();
}

TEST(ClipboardState, HandlesOfAnotherProcessAreNotReleasedHere) {
    CZELGatrel s;
    s.ClearProtectedData();
    HANDLE mine = Block();
    ASSERT_TRUE(s.SetProtectedData(CF_UNICODETEXT, mine));
    // Pretend another process set it: the handle number means nothing here.
    g_shared.ProtectedDataPid[0] = GetCurrentProcessId() + 4;
    s.ClearProtectedData();
    EXPECT_TRUE(IsLive(mine));
    EXPECT_EQ(nullptr, s.GetProtectedData(CF_UNICODETEXT));
    GlobalFree(mine);
}

TEST(ClipboardState, OwnerPairQueries) {
    CZELGatrel s;
    s.SetClipOwner(nullptr, 0);
    EXPECT_FALSE(s.IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 6));
    s.SetClipOwner(reinterpret_cast<HWND>(5), 6);
    EXPECT_TRUE(s.IsClipOwner(reinterpret_cast<HWND>(5), 6));
    EXPECT_TRUE(s.IsClipOwnerPid(6));
    EXPECT_TRUE(s.IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 7));
    EXPECT_FALSE(s.IsClipOwnerDifferent(reinterpret_cast<HWND>(5), 6));
    s.SetClipOwner(nullptr, 0);
}

}  // namespace

namespace {

TEST(ClipboardState, MetafilesAreReleasedWithTheirOwnCalls) {
    CZELGatrel s;
    s.ClearProtectedData();
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

    ASSERT_TRUE(s.SetProtectedData(CF_ENHMETAFILE, emf));
    ASSERT_TRUE(s.SetProtectedData(CF_METAFILEPICT, pict));
    s.ClearProtectedData();
    EXPECT_EQ(0u, GetEnhMetaFileBits(emf, 0, nullptr)) << "the enhanced metafile is gone";
    EXPECT_EQ(0u, GetMetaFileBitsEx(wmf, 0, nullptr)) << "the picture's metafile is gone";
    EXPECT_EQ(static_cast<UINT>(GMEM_INVALID_HANDLE), GlobalFlags(pict)) << "and its block";
}

}  // namespace
