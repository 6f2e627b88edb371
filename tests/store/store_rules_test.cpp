// Slot rules of the store, exercised through the library's own export table.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "store/hook_interface.h"
#include "store/zel_gatrel.h"

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
    void Clear() {
        unsigned char table[12180];
        store.GetAllOstrumInfo(table);
        for (int i = 0; i < 15; ++i) {
            _ZEL_HOOK_INFO_ r;
            memcpy(&r, table + i * 812, 812);
            if (r.dwOwnerPid) store.DelHookInfo(r.dwOwnerPid);
        }
        // Slots kept by DelGuardInfo have owner 0 but a window: wipe them too.
        for (int i = 0; i < 15; ++i) {
            _ZEL_HOOK_INFO_ r{};
            store.AddHookInfo(&r);
        }
    }
    CZELGatrel store;
};

TEST_F(StoreRules, FreshLookupsFindNothing) {
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(-1, store.GetHookInfoByPid(1234, &out));
    EXPECT_EQ(-1, store.GetHookInfoByWnd(reinterpret_cast<HWND>(0x1234), &out));
    EXPECT_EQ(-1, store.GetHookInfoByWnd(nullptr, &out));
    EXPECT_FALSE(store.GetHookInfoByFlag("(ZEL-1)", &out));
    EXPECT_EQ(0, store.GetHookInfoCount());
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
