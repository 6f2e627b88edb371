// The role of a process comes from its executable's name: which document
// object it gets, which hook-table rows it attaches, and that unloading
// removes them again.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "host_client.h"
#include "intercept/hook_catalog.h"
#include "intercept/hook_tables.h"

namespace {

// The rows a process of the given document type must attach: every row that
// is switched on and whose condition holds for that type.
struct CatalogEntry {
    const char* api;
    HookCondition condition;
    bool on;
};
#define GATREL_ENTRY_ON true
#define GATREL_ENTRY_OFF false
#define GATREL_ENTRY(table, module, api, slotFunction, condition, state) \
    {#api, HookCondition::condition, GATREL_ENTRY_##state},
const CatalogEntry kCatalog[] = {GATREL_HOOK_CATALOG(GATREL_ENTRY)};
#undef GATREL_ENTRY

bool Holds(HookCondition c, int docType, bool os110) {
    const bool office = docType == 1 || docType == 2 || docType == 3;
    switch (c) {
        case HookCondition::Always: return true;
        case HookCondition::DocWordExcelPpt: return office;
        case HookCondition::DocWordExcelPptOs110: return office && os110;
        case HookCondition::DocPdf: return docType == 4;
        case HookCondition::DocPrintable: return office || docType == 4;
        case HookCondition::DocAny: return docType != 0;
        case HookCondition::DocExcel: return docType == 2;
        case HookCondition::DocPpt: return docType == 3;
    }
    return false;
}

std::string ExpectedRows(int docType, bool os110) {
    std::string list;
    for (const CatalogEntry& e : kCatalog) {
        if (!e.on || !Holds(e.condition, docType, os110)) continue;
        if (!list.empty()) list += ',';
        list += e.api;
    }
    return list;
}

std::string AttachedRows(hosts::HostClient& host) {
    hosts::Reply r = host.Call("Gatrel.dll", "GatrelHookReport", {"b:4096", "i:4096"});
    return r.ok ? r.Str("outs0") : "<" + r.error + ">";
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
    const long long fn =
        host.Call("kernel32.dll", "GetProcAddress", {"i:" + std::to_string(mod), std::string("s:") + api})
            .Num("uret");
    return host.Call("kernel32.dll", "RtlMoveMemory", {"b:8", "i:" + std::to_string(fn), "i:8"})
        .Str("out0");
}

bool OsIs110(hosts::HostClient& host) { return host.Send("osversion").Num("code") == 110; }

struct Role {
    const char* variant;   // a host variant, or "" for a renamed copy of the ordinary host
    const char* exeName;   // for the copies
    int docType;
};

class Roles : public ::testing::TestWithParam<Role> {};

TEST_P(Roles, DocumentObjectAndAttachedRowsFollowTheName) {
    const Role role = GetParam();
    hosts::HostClient host;
    if (*role.variant) {
        ASSERT_TRUE(host.Start(role.variant)) << host.LastError();
    } else {
        ASSERT_TRUE(host.StartExe(CopyOfPlainHost(role.exeName))) << host.LastError();
    }
    ASSERT_TRUE(host.LoadGatrel()) << host.LastError();
    hosts::Reply doc = host.Send("doc");
    ASSERT_TRUE(doc.ok) << doc.error;
    EXPECT_EQ(role.docType != 0 ? 1 : 0, doc.Num("exists"));
    if (role.docType) EXPECT_EQ(role.docType, doc.Num("type"));
    const std::string want = std::string(role.exeName) == "explorer.exe"
                                 ? std::string()
                                 : ExpectedRows(role.docType, OsIs110(host));
    EXPECT_EQ(want, AttachedRows(host));
}

INSTANTIATE_TEST_SUITE_P(
    ByExecutableName, Roles,
    ::testing::Values(Role{"word11", "WINWORD.EXE", 1}, Role{"excel11", "EXCEL.EXE", 2},
                      Role{"ppt12", "POWERPNT.EXE", 3}, Role{"acrobat9", "ACROBAT.EXE", 4},
                      Role{"acrord8", "ACRORD32.EXE", 4}, Role{"korb", "KORBDOC.EXE", 6},
                      Role{"", "mykorbdo2.exe", 6}, Role{"plain", "PLAINAPP.EXE", 0},
                      Role{"", "explorer.exe", 0}, Role{"", "Ostrum.exe", 0}),
    [](const ::testing::TestParamInfo<Role>& info) {
        std::string n = info.param.exeName;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(RoleLifecycle, UnloadingRemovesEveryAttachedRow) {
    hosts::HostClient host;
    ASSERT_TRUE(host.Start("plain"));
    const char* apis[] = {"OpenClipboard", "CountClipboardFormats", "EmptyClipboard",
                          "GetClipboardData", "SetClipboardData"};
    std::vector<std::string> before;
    for (const char* api : apis) before.push_back(EntryBytes(host, api));
    hosts::Reply load = host.Send("load", {{"path", hosts::HostClient::WinPath(getenv("GATREL_BIN")) +
                                                        "\\Gatrel.dll"}});
    ASSERT_TRUE(load.ok) << load.error;
    const long long module = load.Num("module");
    ASSERT_NE(0, module);
    EXPECT_EQ(ExpectedRows(0, false), AttachedRows(host));
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_NE(before[i], EntryBytes(host, apis[i])) << apis[i] << " is patched while loaded";
    ASSERT_EQ(1, host.Call("kernel32.dll", "FreeLibrary", {"i:" + std::to_string(module)}).Num("ret"));
    EXPECT_EQ(0, host.Call("kernel32.dll", "GetModuleHandleA", {"s:Gatrel.dll"}).Num("uret"))
        << "the ordinary process does not pin the library";
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i], EntryBytes(host, apis[i])) << apis[i] << " is restored after unload";
    // The application's own clipboard still works.
    EXPECT_EQ(1, host.Send("copy", {{"text", "after"}}).Num("set"));
    EXPECT_EQ("after", host.Send("paste").Str("text"));
}

TEST(RoleLifecycle, ExplorerIsLeftUntouched) {
    hosts::HostClient host;
    ASSERT_TRUE(host.StartExe(CopyOfPlainHost("explorer.exe")));
    const std::string before = EntryBytes(host, "GetClipboardData");
    ASSERT_TRUE(host.LoadGatrel());
    EXPECT_EQ(before, EntryBytes(host, "GetClipboardData"));
    EXPECT_EQ(0, host.Send("doc").Num("exists"));
}

}  // namespace
