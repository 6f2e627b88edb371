// Slot rules of the store, exercised through the library's own export table.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "store/gatrel_interface.h"
#include "store/ostrum_records.h"
#include "tests/support/library_view.h"
#include "tests/store/store_test_util.h"

namespace {

_ZEL_HOOK_INFO_ Record(DWORD pid, DWORD owner, const char* path, const char* letters,
                       uint32_t wnd = 0, uint8_t type = 1, const char* zelName = "") {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = pid;
    r.dwOwnerPid = owner;
    strncpy(r.szFilePath, path, sizeof r.szFilePath);
    strncpy(r.szPermission, letters, sizeof r.szPermission);
    strncpy(r.szZelFileName, zelName, sizeof r.szZelFileName);
    r.hDocWnd = wnd;
    r.byDocType = type;
    return r;
}

class StoreRules : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    void Clear() { storetest::ClearTable(store); }
    testlib::Store store;
};

TEST_F(StoreRules, FreshLookupsFindNothing) {
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(-1, store.GetHookInfoByPid(1234, &out));
    EXPECT_EQ(-1, store.GetHookInfoByWnd(reinterpret_cast<HWND>(0x1234), &out));
    EXPECT_EQ(-1, store.GetHookInfoByWnd(nullptr, &out));
    EXPECT_FALSE(store.GetHookInfoByFlag("(ZEL-1)", &out));
    EXPECT_EQ(0, store.GetHookInfoCount());
}

TEST_F(StoreRules, IdZeroNeverFindsAFreeSlot) {
    CHookInterface& ctl = CHookInterface::instance();
    auto korb = Record(300, 30, "k", "P", 0x7701, 6, "k.doc");
    ASSERT_EQ(0, ctl.AddOstrumInfo(&korb));
    ctl.DelGuardInfo(&korb);  // leaves pid 0, owner 0, type 6
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(-1, store.GetHookInfoByPid(0, &out));
    EXPECT_EQ(-1, store.GetKORBHookInfoByPid(0, &out));
    EXPECT_EQ(-1, store.GetHookInfoByOwner(0, 0, &out));
    EXPECT_FALSE(store.IsOwnerProcessProtected(0));
}

TEST_F(StoreRules, FullTableDropsNewOwnerAndReplacesKnownOwnerInPlace) {
    for (DWORD i = 0; i < 15; ++i) {
        auto r = Record(100 + i, 500 + i, "C:\\D\\(ZEL-1)a.doc", "P");
        store.AddHookInfo(&r);
    }
    EXPECT_EQ(15, store.GetHookInfoCount());
    auto extra = Record(999, 999, "C:\\x.doc", "A");
    store.AddHookInfo(&extra);
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(-1, store.GetHookInfoByPid(999, &out));
    auto again = Record(777, 507, "C:\\y.doc", "CP");
    store.AddHookInfo(&again);
    EXPECT_EQ(7, store.GetHookInfoByPid(777, &out));
    EXPECT_STREQ("CP", out.szPermission);
}
}  // namespace

namespace {

TEST_F(StoreRules, LookupsByEachKey) {
    auto r = Record(4321, 77, "C:\\Work\\(ZEL-0042)budget.xls", "CP", 0x5000, 2, "budget.xls");
    store.AddHookInfo(&r);
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(0, store.GetHookInfoByPid(4321, &out));
    EXPECT_EQ(0, memcmp(&out, &r, sizeof r));
    EXPECT_EQ(0, store.GetHookInfoByWnd(reinterpret_cast<HWND>(0x5000), &out));
    EXPECT_TRUE(store.GetHookInfoByFlag("(zel-0042)", &out));
    EXPECT_FALSE(store.GetHookInfoByFlag("(ZEL-0043)", &out));
    EXPECT_EQ(0, store.FindZELFileName("BUDGET.XLS", &out));
    EXPECT_EQ(0, store.GetHookInfoByOwner(77, 2, &out));
    EXPECT_EQ(-1, store.GetHookInfoByOwner(77, 1, &out));
    EXPECT_TRUE(store.IsOwnerProcessProtected(77));
    EXPECT_EQ(1, store.GetWindowedHookInfoCount());
    EXPECT_EQ(-1, store.GetKORBHookInfoByPid(4321, &out));
}

TEST_F(StoreRules, OwnerWithExistingSlotReplacesItEvenAfterAFreeSlot) {
    auto a = Record(1, 10, "a", "P");
    auto b = Record(2, 20, "b", "P");
    store.AddHookInfo(&a);
    store.AddHookInfo(&b);
    store.DelHookInfo(10);  // slot 0 is free now
    auto b2 = Record(3, 20, "b2", "A");
    store.AddHookInfo(&b2);
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(1, store.GetHookInfoByPid(3, &out));
    EXPECT_EQ(-1, store.GetHookInfoByPid(2, &out));
    EXPECT_EQ(1, store.GetHookInfoCount());
}

TEST_F(StoreRules, DelHookInfoRemovesAllSlotsOfTheOwner) {
    for (DWORD i = 0; i < 3; ++i) {
        auto r = Record(100 + i, 50 + i, "x", "P");
        store.AddHookInfo(&r);
    }
    // Two slots for owner 60 can only come from the Ostrum path.
    CHookInterface& ctl = CHookInterface::instance();
    auto o1 = Record(201, 60, "o1", "P", 0, 1, "one.doc");
    auto o2 = Record(202, 60, "o2", "P", 0, 1, "two.doc");
    EXPECT_EQ(0, ctl.AddOstrumInfo(&o1));
    EXPECT_EQ(0, ctl.AddOstrumInfo(&o2));
    EXPECT_EQ(5, store.GetHookInfoCount());
    store.DelHookInfo(60);
    EXPECT_EQ(3, store.GetHookInfoCount());
    ctl.AddOstrumInfo(&o1);
    ctl.AddOstrumInfo(&o2);
    ctl.DelGuardInfo1(&o1);  // only the first slot of the owner
    EXPECT_EQ(4, store.GetHookInfoCount());
}

TEST_F(StoreRules, DelGuardInfoKeepsWindowTypeAndExtras) {
    CHookInterface& ctl = CHookInterface::instance();
    auto r = Record(300, 30, "C:\\D\\(ZEL-9)r.doc", "CP", 0x7700, 6, "r.doc");
    r.byExtra = 5;
    r.dwExtra = 0xABCD;
    EXPECT_EQ(0, ctl.AddOstrumInfo(&r));
    ctl.DelGuardInfo(&r);
    _ZEL_HOOK_INFO_ out{};
    ASSERT_EQ(0, store.GetHookInfoByWnd(reinterpret_cast<HWND>(0x7700), &out));
    EXPECT_EQ(0u, out.dwProcessId);
    EXPECT_EQ(0u, out.dwOwnerPid);
    EXPECT_EQ('\0', out.szFilePath[0]);
    EXPECT_EQ('\0', out.szPermission[0]);
    EXPECT_EQ(6, out.byDocType);
    EXPECT_EQ(5, out.byExtra);
    EXPECT_EQ(0xABCDu, out.dwExtra);
    EXPECT_EQ(0, store.GetHookInfoCount());
    // The slot is free for both add operations again.
    auto n = Record(301, 31, "n", "P");
    store.AddHookInfo(&n);
    EXPECT_EQ(0, store.GetHookInfoByPid(301, &out));
}

TEST_F(StoreRules, AddOstrumInfoResultCodes) {
    CHookInterface& ctl = CHookInterface::instance();
    auto korb = Record(1, 11, "k", "P", 0, 6, "same.doc");
    EXPECT_EQ(kOstrumStored, ctl.AddOstrumInfo(&korb));
    auto korb2 = Record(2, 12, "k2", "CP", 0, 6, "SAME.DOC");
    EXPECT_EQ(kOstrumStored, ctl.AddOstrumInfo(&korb2));  // both type 6: replaced in place
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(0, store.GetHookInfoByPid(2, &out));
    auto word = Record(3, 13, "w", "P", 0, 1, "same.doc");
    EXPECT_EQ(kOstrumNameTaken, ctl.AddOstrumInfo(&word));
    for (DWORD i = 0; i < 14; ++i) {
        char name[32];
        snprintf(name, sizeof name, "f%lu.doc", static_cast<unsigned long>(i));
        auto r = Record(100 + i, 100 + i, "p", "P", 0, 1, name);
        EXPECT_EQ(kOstrumStored, ctl.AddOstrumInfo(&r));
    }
    auto full = Record(900, 900, "p", "P", 0, 1, "late.doc");
    EXPECT_EQ(kOstrumTableFull, ctl.AddOstrumInfo(&full));
    EXPECT_EQ(0, ctl.GetOstrumCount());
}

TEST_F(StoreRules, LettersAndPathsAreCutToTheirFields) {
    auto r = Record(5, 55, "C:\\Docs\\(ZEL-1)a.doc", "P");
    store.AddHookInfo(&r);
    store.SetHookInfo(55, "ABCDEFGHIJKLMNOP");
    _ZEL_HOOK_INFO_ out{};
    ASSERT_EQ(0, store.GetHookInfoByPid(5, &out));
    EXPECT_EQ(0, memcmp(out.szPermission, "ABCDEFGHIJ", 10));  // no terminator
    EXPECT_TRUE(HasPermission(out, 'J'));
    EXPECT_FALSE(HasPermission(out, 'K'));
    EXPECT_EQ('\0', out.szZelFileName[0]);  // the next field is untouched

    std::string path = "c:\\docs\\(zel-1)A.DOC";
    CHookInterface::instance().SetHookInfo(path, "C");
    ASSERT_EQ(0, store.GetHookInfoByPid(5, &out));
    EXPECT_STREQ("C", out.szPermission);

    // Temp paths compare byte for byte, unlike SetHookInfo by path.
    store.SetOfficeTempPath("C:\\Docs\\(ZEL-1)a.doc", "C:\\TEMP\\x");
    EXPECT_EQ("C:\\TEMP\\x", store.GetOfficeTempPath("C:\\Docs\\(ZEL-1)a.doc"));
    EXPECT_EQ("", store.GetOfficeTempPath("c:\\docs\\(zel-1)a.doc"));

    std::string longName(400, 'K');
    store.SetKORBClassName(longName.c_str());
    EXPECT_EQ(std::string(260, 'K'), store.GetKORBClassName());
    store.SetKORBClassName("");
}

TEST_F(StoreRules, NullRecordsAreIgnored) {
    CHookInterface& ctl = CHookInterface::instance();
    ctl.AddHookInfo(nullptr);
    ctl.SetWaterInfo(nullptr);
    ctl.DelGuardInfo(nullptr);
    ctl.DelGuardInfo1(nullptr);
    ctl.GetAllOstrumInfo(nullptr);
    EXPECT_EQ(0, ctl.AddOstrumInfo(nullptr));
    EXPECT_EQ(-1, store.FindZELFileName(nullptr, nullptr));
    EXPECT_EQ(0, store.GetHookInfoCount());
}

TEST_F(StoreRules, FindZELFileNameLeavesRecordUnchangedWhenMissing) {
    _ZEL_HOOK_INFO_ out;
    memset(&out, 0x5A, sizeof out);
    EXPECT_EQ(-1, CHookInterface::instance().FindZELFileName("nothing.doc", out));
    EXPECT_EQ(0x5A5A5A5Au, out.dwProcessId);
}

TEST_F(StoreRules, WaterInfoRoundTrip) {
    WaterInfo w{};
    w.chLayout = 'T';
    w.fFontSize = 36.5f;
    w.wOpacity = 40;
    w.wLineCount = 3;
    strcpy(w.szContent, "CONFIDENTIAL %date%");
    CHookInterface::instance().SetWaterInfo(&w);
    WaterInfo back{};
    store.GetWaterInfo(&back);
    EXPECT_EQ(0, memcmp(&w, &back, sizeof w));
}

}  // namespace
