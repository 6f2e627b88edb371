// The role of a process comes from its executable's name: which document
// object it gets, which hook-table rows it attaches, and that unloading
// removes them again.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "host/guard_detours.h"
#include "host_client.h"
#include "intercept/hook_tables.h"
#include "tests/hooks/host_window.h"

namespace {

// The hosts run on a desktop of the test's own: hooks that a protected
// application of another test left on the default desktop (they outlive its
// process by a second or two) would bring the library into them unasked.
void OnOwnDesktop(hosts::HostClient& host) {
    static const testing_support::Desktop desktop =
        testing_support::Desktop::Private("GatrelRoles" + std::to_string(GetCurrentProcessId()));
    host.SetDesktop(desktop.StartupName());
}

bool HasModule(hosts::HostClient& host, const char* module) {
    return host.Call("kernel32.dll", "GetModuleHandleA", {std::string("s:") + module}).Num("uret") != 0;
}

// The rows a process of the given document type must attach: every row a
// guard gives a replacement and whose condition holds for that type. A
// protected application has the modules of all of them loaded; an ordinary
// program attaches those of the modules it holds (the others wait for their
// module).
std::string ExpectedRows(int docType, bool os110, hosts::HostClient& host) {
    UseGuardDetours();
    HookFacts facts;
    facts.hasDocObject = docType != kDocNone;
    facts.docType = docType;
    facts.osCode = os110 ? 110 : 100;
    std::string list;
    for (size_t i = 0; i < kHookCount; ++i) {
        const HookRow& row = CatalogRow(i);
        if (!row.pDetour || !ConditionHolds(row.condition, facts)) continue;
        if (docType == kDocNone && !HasModule(host, row.strDllName)) continue;
        if (!list.empty()) list += ',';
        list += row.strApiName;
    }
    return list;
}

std::string AttachedRows(hosts::HostClient& host) {
    hosts::Reply r = host.Send("hookreport");
    return r.ok ? r.Str("names") : "<" + r.error + ">";
}

// A copy of the ordinary host under another executable name.
std::string CopyOfPlainHost(const std::string& exeName) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string dir = std::string(tmp) + "gatrel_roles";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string to = dir + "\\" + exeName;
    CopyFileA(hosts::HostClient::HostPath("plain").c_str(), to.c_str(), FALSE);
    return to;
}

// First bytes of an export of user32 in the host, as hex.
std::string EntryBytes(hosts::HostClient& host, const char* api) {
    const long long mod = host.Call("kernel32.dll", "GetModuleHandleA", {"s:user32.dll"}).Num("uret");
    long long fn =
        host.Call("kernel32.dll", "GetProcAddress", {"i:" + std::to_string(mod), std::string("s:") + api})
            .Num("uret");
    // Past a stub that jumps through user32's imports: the hook is where it lands.
    for (int depth = 0; depth < 4; ++depth) {
        const std::string head =
            host.Call("kernel32.dll", "RtlMoveMemory", {"b:12", "i:" + std::to_string(fn), "i:12"}).Str("out0");
        std::string slotHex;
        if (head.rfind("8bff558bec5dff25", 0) == 0) slotHex = head.substr(16, 8);
        else if (head.rfind("ff25", 0) == 0) slotHex = head.substr(4, 8);
        else break;
        const long long slot = std::stoll(slotHex.substr(6, 2) + slotHex.substr(4, 2) + slotHex.substr(2, 2) +
                                              slotHex.substr(0, 2),
                                          nullptr, 16);
        const std::string to =
            host.Call("kernel32.dll", "RtlMoveMemory", {"b:4", "i:" + std::to_string(slot), "i:4"}).Str("out0");
        fn = std::stoll(to.substr(6, 2) + to.substr(4, 2) + to.substr(2, 2) + to.substr(0, 2), nullptr, 16);
    }
    return host.Call("kernel32.dll", "RtlMoveMemory", {"b:8", "i:" + std::to_string(fn), "i:8"})
        .Str("out0");
}

bool OsIs110(hosts::HostClient& host) { return host.Send("osversion").Num("code") == 110; }

struct Role {
    const char* variant;   // a host variant, or "" for a renamed copy of the ordinary host
    const char* exeName;   // for the copies
    int docType;
    bool screenTool;       // runs the screen-tool thread
    bool watch;            // runs the watch thread
};

class Roles : public ::testing::TestWithParam<Role> {};

TEST_P(Roles, DocumentObjectAndAttachedRowsFollowTheName) {
    const Role role = GetParam();
    hosts::HostClient host;
    OnOwnDesktop(host);
    if (*role.variant) {
        ASSERT_TRUE(host.Start(role.variant)) << host.LastError();
    } else {
        ASSERT_TRUE(host.StartExe(CopyOfPlainHost(role.exeName))) << host.LastError();
    }
    ASSERT_TRUE(host.LoadGatrel()) << host.LastError();
    hosts::Reply doc = host.Send("doc");
    ASSERT_TRUE(doc.ok) << doc.error;
    EXPECT_EQ(role.docType != 0 ? 1 : 0, doc.Num("exists"));
    if (role.docType) {
        EXPECT_EQ(role.docType, doc.Num("type"));
    }
    const std::string want = std::string(role.exeName) == "explorer.exe"
                                 ? std::string()
                                 : ExpectedRows(role.docType, OsIs110(host), host);
    EXPECT_EQ(want, AttachedRows(host));

    hosts::Reply threads = host.Send("threads");
    ASSERT_TRUE(threads.ok) << threads.error;
    EXPECT_EQ(role.screenTool, threads.Num("screentool") != 0);
    EXPECT_EQ(role.watch, threads.Num("watch") != 0);
    if (role.watch) {
        // The watch thread's own desktop hooks, once it runs.
        for (int i = 0; i < 200 && host.Send("threads").Str("cbthook") == "0x0"; ++i) Sleep(50);
        threads = host.Send("threads");
        EXPECT_NE("0x0", threads.Str("getmsghook"));
        EXPECT_NE("0x0", threads.Str("cbthook"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByExecutableName, Roles,
    ::testing::Values(Role{"word11", "WINWORD.EXE", 1, true, true}, Role{"excel11", "EXCEL.EXE", 2, true, true},
                      Role{"ppt12", "POWERPNT.EXE", 3, true, true}, Role{"acrobat9", "ACROBAT.EXE", 4, true, true},
                      Role{"acrord8", "ACRORD32.EXE", 4, true, true}, Role{"korb", "KORBDOC.EXE", 6, false, true},
                      Role{"", "mykorbdo2.exe", 6, false, true}, Role{"plain", "PLAINAPP.EXE", 0, false, false},
                      Role{"", "explorer.exe", 0, false, false}, Role{"", "Ostrum.exe", 0, false, false},
                      Role{"", "ZELDaemon.exe", 0, false, false}),
    [](const ::testing::TestParamInfo<Role>& info) {
        std::string n = info.param.exeName;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

long long LoadByPath(hosts::HostClient& host) {
    hosts::Reply load = host.Send("load", {{"path", hosts::HostClient::WinPath(getenv("GATREL_BIN")) +
                                                        "\\Gatrel.dll"}});
    return load.ok ? load.Num("module") : 0;
}

bool FreeAndCheckLoaded(hosts::HostClient& host, long long module) {
    host.Call("kernel32.dll", "FreeLibrary", {"i:" + std::to_string(module)});
    return host.Call("kernel32.dll", "GetModuleHandleA", {"s:Gatrel.dll"}).Num("uret") != 0;
}

TEST(RoleLifecycle, AProcessWithAttachedRowsKeepsTheLibraryUntilItEnds) {
    hosts::HostClient host;
    OnOwnDesktop(host);
    ASSERT_TRUE(host.Start("plain"));
    const char* apis[] = {"OpenClipboard", "CountClipboardFormats", "EmptyClipboard",
                          "GetClipboardData", "SetClipboardData"};
    std::vector<std::string> before;
    for (const char* api : apis) before.push_back(EntryBytes(host, api));
    const long long module = LoadByPath(host);
    ASSERT_NE(0, module);
    EXPECT_EQ(ExpectedRows(0, false, host), AttachedRows(host));
    EXPECT_TRUE(FreeAndCheckLoaded(host, module)) << "the library is pinned where rows are attached";
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_NE(before[i], EntryBytes(host, apis[i])) << apis[i] << " stays patched";
    // The application's own clipboard still works.
    EXPECT_EQ(1, host.Send("copy", {{"text", "after"}}).Num("set"));
    EXPECT_EQ("after", host.Send("paste").Str("text"));
}

// The library loads none of the modules only the protected applications
// need into an ordinary program; a row in such a module is attached when the
// program loads the module itself.
TEST(RoleLifecycle, AnOrdinaryProgramGetsTheRowsOfAModuleItLoadsLater) {
    hosts::HostClient host;
    OnOwnDesktop(host);
    ASSERT_TRUE(host.Start("plain"));
    const char* later[] = {"oleaut32.dll", "ole32.dll", "comctl32.dll"};
    std::vector<std::string> missing;
    for (const char* m : later)
        if (!HasModule(host, m)) missing.push_back(m);
    ASSERT_TRUE(host.LoadGatrel());
    for (const std::string& m : missing) EXPECT_FALSE(HasModule(host, m.c_str())) << m << " came with the library";
    ASSERT_FALSE(missing.empty()) << "the ordinary host holds every module already";
    const std::string before = AttachedRows(host);
    EXPECT_EQ(ExpectedRows(0, false, host), before);
    for (const std::string& m : missing) {
        ASSERT_NE(0, host.Send("load", {{"path", m}}).Num("module")) << m;
        EXPECT_EQ(ExpectedRows(0, false, host), AttachedRows(host)) << "after loading " << m;
    }
    EXPECT_GT(AttachedRows(host).size(), before.size()) << "no row waited for those modules";
}

TEST(RoleLifecycle, ExplorerIsLeftUntouchedAndUnloads) {
    hosts::HostClient host;
    OnOwnDesktop(host);
    ASSERT_TRUE(host.StartExe(CopyOfPlainHost("explorer.exe")));
    const std::string before = EntryBytes(host, "GetClipboardData");
    const long long module = LoadByPath(host);
    ASSERT_NE(0, module);
    EXPECT_EQ(before, EntryBytes(host, "GetClipboardData"));
    EXPECT_EQ(0, host.Send("doc").Num("exists"));
    EXPECT_FALSE(FreeAndCheckLoaded(host, module)) << "nothing attached: nothing pins the library";
}

}  // namespace
