#pragma once
// Records in bin/Gatrel.dll's shared section for the identification tests.
// Every test that uses this holds the gatrel_section lock.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "host_client.h"
#include "tests/support/library_view.h"
#include "tests/store/store_test_util.h"

namespace idtest {

inline uint32_t H(HWND w) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w)); }

inline std::string Hex(HWND w) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return buf;
}

inline _ZEL_HOOK_INFO_ Record(DWORD pid, HWND wnd, const char* letters, uint8_t type, DWORD owner,
                              const char* path) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = pid;
    r.hDocWnd = H(wnd);
    memcpy(r.szPermission, letters, strnlen(letters, sizeof r.szPermission));
    r.byDocType = type;
    r.dwOwnerPid = owner;
    memcpy(r.szFilePath, path, strnlen(path, sizeof r.szFilePath - 1));
    return r;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    // Owner ids of records that no real process carries; each record needs
    // its own owner, since a second record of an owner replaces the first.
    DWORD NextOwner() { return 900000 + 4 * (++owners_); }

    void Add(DWORD pid, HWND wnd, const char* letters, uint8_t type,
             const char* path = "C:\\ZELFILETEMP\\(ZEL-1)doc.doc", DWORD owner = 0) {
        _ZEL_HOOK_INFO_ r = Record(pid, wnd, letters, type, owner ? owner : NextOwner(), path);
        store.AddHookInfo(&r);
    }

    void Reset() {
        storetest::ClearTable(store);
        store.SetKORBInfo(0);
        store.SetKORBClassName("");
    }

    testlib::Store store;
    int owners_ = 0;
};

// A host with the library loaded and its document object made.
inline ::testing::AssertionResult StartWithLibrary(hosts::HostClient& host, const std::string& variant,
                                                   const std::vector<std::string>& args = {}) {
    if (!host.Start(variant, args)) return ::testing::AssertionFailure() << host.LastError();
    if (!host.LoadGatrel()) return ::testing::AssertionFailure() << host.LastError();
    if (!host.CreateDoc()) return ::testing::AssertionFailure() << "no document object";
    return ::testing::AssertionSuccess();
}

}  // namespace idtest
