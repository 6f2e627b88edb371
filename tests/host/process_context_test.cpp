// The per-process context of Gatrel.dll: its directory paths, the globals
// beside it, and IsProcessProtected against records in the shared section.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "host/process_context.h"
#include "tests/support/library_view.h"
#include "support/settings.h"
#include "tests/support/test_child.h"

namespace {

using testchild::Child;
using testchild::MachineKeySandbox;
using testchild::RunChild;
using testchild::SelfPath;
using testlib::Dll;

std::string Upper(std::string s) {
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

_ZEL_HOOK_INFO_ Record(DWORD pid, DWORD owner, const char* path, const char* letters) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = pid;
    r.dwOwnerPid = owner;
    strncpy(r.szFilePath, path, sizeof r.szFilePath - 1);
    strncpy(r.szPermission, letters, sizeof r.szPermission - 1);
    strncpy(r.szZelFileName, "(ZEL-7)report.doc", sizeof r.szZelFileName - 1);
    r.byDocType = 1;
    r.hDocWnd = 0x1234;
    return r;
}

bool AllZero(const _ZEL_HOOK_INFO_& r) {
    const auto* p = reinterpret_cast<const unsigned char*>(&r);
    for (size_t i = 0; i < sizeof r; ++i)
        if (p[i]) return false;
    return true;
}

// ---- what the children do -------------------------------------------------

// 0 when both paths are as given in args.
GATREL_CHILD_SCENARIO(context_paths) {
    // The library built this process's context when it was loaded, before
    // HKLM was redirected; a context built now (by this program's own copy
    // of the code) reads the redirected value.
    const ProcessContext ctx;
    if (ctx.strClientDocPath == args.at(0) && ctx.strFileTempPath == args.at(1)) return 0;
    printf("strClientDocPath=%s strFileTempPath=%s\n", ctx.strClientDocPath.c_str(),
           ctx.strFileTempPath.c_str());
    return 1;
}

// Waits for args[0], then asks whether this process is protected.
// 1 protected with the record's path equal to args[1], 0 not protected,
// 2 an inconsistent answer.
GATREL_CHILD_SCENARIO(protected_self) {
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, args.at(0).c_str());
    if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 3;
    CloseHandle(go);
    _ZEL_HOOK_INFO_ rec{};
    const bool found = Dll().IsProcessProtected(GetCurrentProcessId(), rec);
    if (found != (Dll().GetProcessContext().bHasHookInfo == 1)) return 2;
    if (!found) return AllZero(rec) ? 0 : 2;
    return rec.dwProcessId == GetCurrentProcessId() && args.at(1) == rec.szFilePath ? 1 : 2;
}

// ---- tests -----------------------------------------------------------------------

TEST(ContextPaths, AreUpperCaseUnderTheInstallationDirectory) {
    const ProcessContext& ctx = Dll().GetProcessContext();
    const std::string dir = GetInstallDir();
    ASSERT_FALSE(dir.empty());
    ASSERT_NE(Upper(dir), dir) << "the test world's directory has lower-case letters";
    EXPECT_EQ(Upper(dir) + "\\ZELCLIENTDOC", ctx.strClientDocPath);
    EXPECT_EQ(Upper(dir) + "\\ZELFILETEMP", ctx.strFileTempPath);
    EXPECT_EQ(&ctx, &Dll().GetProcessContext()) << "one context per process";
}

TEST(ContextPaths, AnyCaseOfTheRegistryValueGivesUpperCasePaths) {
    MachineKeySandbox hklm("context");
    hklm.SetString("InstallDir", "c:\\Program Files\\Varnek\\zelClient");
    EXPECT_EQ(0, RunChild("context_paths",
                          {"C:\\PROGRAM FILES\\VARNEK\\ZELCLIENT\\ZELCLIENTDOC",
                           "C:\\PROGRAM FILES\\VARNEK\\ZELCLIENT\\ZELFILETEMP"},
                          hklm.name()));
}

TEST(ContextPaths, NoInstallationDirectoryLeavesTheBareFolderNames) {
    MachineKeySandbox hklm("context");
    EXPECT_EQ(0, RunChild("context_paths", {"\\ZELCLIENTDOC", "\\ZELFILETEMP"}, hklm.name()));
}

TEST(ContextGlobals, StartEmptyAndKeepWhatIsStored) {
    const ProcessContext& ctx = Dll().GetProcessContext();
    EXPECT_EQ(0u, ctx.dwAcrobatVersion);
    EXPECT_EQ(0u, ctx.hMDIClient);
    EXPECT_EQ(0u, ctx.bIsDaemon);
    EXPECT_EQ(nullptr, ctx.pActiveMenuIds);
    EXPECT_TRUE(ctx.NoPrintMenuIds.empty());
    EXPECT_TRUE(ctx.PrintMenuIds.empty());

    EXPECT_EQ(nullptr, Dll().DocObject()) << "no document object outside the protected applications";
    EXPECT_TRUE(Dll().ProcessTempDir().empty());
    Dll().ProcessTempDir() = "C:\\TEMP\\";
    EXPECT_EQ("C:\\TEMP\\", Dll().ProcessTempDir());
    Dll().ProcessTempDir().clear();
}

class Protection : public ::testing::Test {
protected:
    void TearDown() override { store.DelHookInfo(owner); }
    testlib::Store store;
    const DWORD owner = GetCurrentProcessId();  // the records' key, as the controller's pid
};

TEST_F(Protection, ProcessWithoutRecordIsNotProtected) {
    Dll().GetProcessContext().bHasHookInfo = 1;
    _ZEL_HOOK_INFO_ rec{};
    EXPECT_FALSE(Dll().IsProcessProtected(GetCurrentProcessId(), rec));
    EXPECT_TRUE(AllZero(rec));
    EXPECT_EQ(0, Dll().GetProcessContext().bHasHookInfo);
}

TEST_F(Protection, RecordForThePidIsReturnedWhole) {
    const _ZEL_HOOK_INFO_ added =
        Record(GetCurrentProcessId(), owner, "Z:\\ZELFILETEMP\\(ZEL-7)report.doc", "CP");
    store.AddHookInfo(&added);
    _ZEL_HOOK_INFO_ rec{};
    ASSERT_TRUE(Dll().IsProcessProtected(GetCurrentProcessId(), rec));
    EXPECT_EQ(0, memcmp(&added, &rec, sizeof rec));
    EXPECT_EQ(1, Dll().GetProcessContext().bHasHookInfo);

    store.DelHookInfo(owner);
    _ZEL_HOOK_INFO_ after{};
    EXPECT_FALSE(Dll().IsProcessProtected(GetCurrentProcessId(), after));
    EXPECT_EQ(0, Dll().GetProcessContext().bHasHookInfo);
}

TEST_F(Protection, ProcessIdZeroNeverMatchesAFreeSlot) {
    ASSERT_LT(store.GetHookInfoCount(), 15) << "the table has free slots";
    Dll().GetProcessContext().bHasHookInfo = 1;
    _ZEL_HOOK_INFO_ rec{};
    EXPECT_FALSE(Dll().IsProcessProtected(0, rec));
    EXPECT_EQ(0, Dll().GetProcessContext().bHasHookInfo);
}

TEST_F(Protection, AnotherProcessSeesTheRecordAddedHere) {
    const std::string path = "Z:\\ZELFILETEMP\\(ZEL-8)budget.xls";
    const std::string eventName = "GatrelProtectGo_" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(nullptr, go);
    Child withRecord(SelfPath(), "protected_self", {eventName, path});
    Child without(SelfPath(), "protected_self", {eventName, path});
    ASSERT_TRUE(withRecord.started() && without.started());
    const _ZEL_HOOK_INFO_ added = Record(withRecord.pid(), owner, path.c_str(), "P");
    store.AddHookInfo(&added);
    SetEvent(go);
    EXPECT_EQ(1, withRecord.Wait());
    EXPECT_EQ(0, without.Wait());
    CloseHandle(go);
}

}  // namespace
