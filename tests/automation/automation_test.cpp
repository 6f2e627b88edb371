// Automation and DDE in the hosts, through real COM and DDE: the test COM
// server answers the office applications' program ids and the chart server's
// class id, the hosts create, run, register and look up its objects, and a
// host of its own serves DDE.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include "tests/automation/automation_world.h"
#include "tests/hooks/log_tail.h"
#include "tests/wndctl/window_host.h"

namespace {

using namespace autotest;
using hosts::Reply;

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(RegisterServer()); }
    void TearDown() override { UnregisterServer(); }
};

::testing::Environment* const g_server = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

Reply Com(hosts::HostClient& h, const std::string& op, hosts::Params p = {}) {
    p.push_back({"op", op});
    Reply r = h.Send("com", p);
    EXPECT_TRUE(r.ok) << op << ": " << r.error;
    return r;
}

Reply Active(hosts::HostClient& h, const char* progId) { return Com(h, "active", {{"progid", progId}}); }

long long GraphErrors(hosts::HostClient& h, const char* set = nullptr) {
    hosts::Params p;
    if (set) p.push_back({"set", set});
    return h.Send("grapherrors", p).Num("count");
}

const char* const kOfficeProgIds[] = {"Word.Application", "Excel.Application", "Powerpoint.application"};
constexpr const char* kOtherClass = "{6A3C0D52-7B1E-4F0A-9C2D-3E5F60718293}";

TEST(AutomationGuard, OrdinaryProgramsCannotAttachToOfficeApplicationsProductToolsCan) {
    // Without the library an attach finds the running object.
    hosts::HostClient bare;
    ASSERT_TRUE(bare.StartBare("plain")) << bare.LastError();
    EXPECT_EQ(kOk, Com(bare, "register", {{"progid", "Word.Application"}}).Str("hr"));
    EXPECT_EQ(1, Active(bare, "Word.Application").Num("same"));
    // The table is the machine's: each test takes its objects out again.
    EXPECT_EQ(kOk, Com(bare, "revoke").Str("hr"));

    hosts::HostClient plain;
    ASSERT_TRUE(plain.Start("plain"));
    ASSERT_TRUE(plain.LoadGatrel());
    testing_support::LogTail log("PLAINAPP");
    EXPECT_EQ(kOk, Com(plain, "register", {{"clsid", kOtherClass}}).Str("hr"));
    // Any other class is looked up as usual.
    EXPECT_EQ(1, Com(plain, "active", {{"clsid", kOtherClass}}).Num("same"));
    EXPECT_EQ(kOk, Com(plain, "register", {{"progid", "Word.Application"}}).Str("hr"));
    for (const char* progId : kOfficeProgIds) {
        const Reply r = Active(plain, progId);
        EXPECT_EQ(kClassNotReg, r.Str("hr")) << progId;
        EXPECT_EQ(kNull, r.Str("out")) << progId << ": the caller's pointer is left as the real failure leaves it";
    }
    EXPECT_EQ(3, log.CountEndingWith("Not Allow Call GetActiveObject()"));
    // Creating the chart server or the spreadsheet is no concern of a program
    // without documents.
    EXPECT_EQ(kOk, Com(plain, "create", {{"clsid", kChartServer}}).Str("hr"));
    EXPECT_EQ(kOk, Com(plain, "create", {{"clsid", kSpreadsheetApp}, {"ex", "1"}}).Str("hr"));

    EXPECT_EQ(kOk, Com(plain, "revoke").Str("hr"));

    // The product's own tools attach.
    hosts::HostClient tool;
    ASSERT_TRUE(tool.Start("ostrum"));
    ASSERT_TRUE(tool.LoadGatrel());
    EXPECT_EQ(kOk, Com(tool, "register", {{"progid", "Word.Application"}}).Str("hr"));
    EXPECT_EQ(1, Active(tool, "Word.Application").Num("same"));
    EXPECT_EQ(kOk, Com(tool, "revoke").Str("hr"));
}

TEST(AutomationGuard, WordProcessorAttachesAlwaysButCreatesNoSpreadsheetFromACopyDeniedDocument) {
    wndtest::WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    word.Protect("R", 0x7A01);
    for (const char* progId : {"Word.Application", "Powerpoint.application"})
        EXPECT_EQ(kUnavailable, Active(word.host, progId).Str("hr")) << progId << " was not passed on";
    // The spreadsheet application is itself refused while copying is denied.
    Reply r = Active(word.host, "Excel.Application");
    EXPECT_EQ(kClassNotReg, r.Str("hr"));
    EXPECT_EQ(kNull, r.Str("out"));

    GraphErrors(word.host, "0");
    r = Com(word.host, "create", {{"clsid", kSpreadsheetApp}});
    EXPECT_EQ(kNoInterface, r.Str("hr"));
    EXPECT_EQ(kNull, r.Str("out"));
    EXPECT_EQ(2, GraphErrors(word.host));
    r = Com(word.host, "create", {{"clsid", kChartServer}, {"ex", "1"}});
    EXPECT_EQ(kNoInterface, r.Str("hr"));
    EXPECT_EQ(kNoInterface, r.Str("qi0"));
    EXPECT_EQ(kNoInterface, r.Str("qi1"));
    EXPECT_EQ(kNull, r.Str("out"));
    EXPECT_EQ(kNull, r.Str("out1"));

    // The same creations by the class factory, and by the creation for
    // packaged applications (which goes through the extended creation).
    for (const char* clsid : {kSpreadsheetApp, kChartServer}) {
        r = Com(word.host, "create", {{"clsid", clsid}, {"via", "factory"}});
        EXPECT_EQ(kNoInterface, r.Str("hr")) << clsid;
        EXPECT_EQ(kNull, r.Str("factory")) << clsid;
        r = Com(word.host, "create", {{"clsid", clsid}, {"via", "fromapp"}});
        EXPECT_EQ(kNoInterface, r.Str("hr")) << clsid;
        EXPECT_EQ(kNull, r.Str("out")) << clsid;
    }

    word.Letters("C");
    for (const char* via : {"factory", "fromapp"})
        EXPECT_EQ(kOk, Com(word.host, "create", {{"clsid", kChartServer}, {"via", via}}).Str("hr")) << via;
    EXPECT_EQ(kOk, Com(word.host, "create", {{"clsid", kSpreadsheetApp}}).Str("hr"));
    EXPECT_EQ(kOk, Com(word.host, "create", {{"clsid", kChartServer}, {"ex", "1"}}).Str("hr"));
    EXPECT_EQ(kUnavailable, Active(word.host, "Excel.Application").Str("hr"));
}

TEST(AutomationGuard, SpreadsheetIsReachableOnlyWithARestrictedDocumentAndKeepsItsObjectUnowned) {
    // The references the running-object table holds, without the library.
    hosts::HostClient bare;
    ASSERT_TRUE(bare.StartBare("excel11")) << bare.LastError();
    const long long plainRefs = Com(bare, "register", {{"clsid", kSpreadsheetApp}}).Num("refs");
    EXPECT_EQ(kOk, Com(bare, "revoke").Str("hr"));

    wndtest::WindowHost excel;
    ASSERT_TRUE(excel.Start("excel11", "C:\\ZELFILETEMP\\(ZEL-0002)book.xls"));
    excel.Protect("A", 0x7A02);
    const Reply reg = Com(excel.host, "register", {{"clsid", kSpreadsheetApp}});
    EXPECT_EQ(kOk, reg.Str("hr"));
    EXPECT_EQ(plainRefs, reg.Num("refs")) << "the library took a reference of the application's object";
    EXPECT_EQ(reg.Str("obj"), Com(excel.host, "appobject").Str("appobject"));

    // An unrestricted document: no attach.
    EXPECT_EQ(kClassNotReg, Active(excel.host, "Excel.Application").Str("hr"));
    excel.Letters("C");
    EXPECT_EQ(1, Active(excel.host, "Excel.Application").Num("same"));
    excel.Unprotect();
    EXPECT_EQ(kClassNotReg, Active(excel.host, "Excel.Application").Str("hr"));
    EXPECT_EQ(kOk, Com(excel.host, "revoke").Str("hr"));
}

TEST(AutomationGuard, PresentationChartObjectsFollowTheDocumentsCopyRight) {
    wndtest::WindowHost ppt;
    ASSERT_TRUE(ppt.Start("ppt11", "C:\\ZELFILETEMP\\(ZEL-0003)deck.ppt"));
    ppt.Protect("P", 0x7A03);
    GraphErrors(ppt.host, "0");
    Reply r = Com(ppt.host, "create", {{"clsid", kChartServer}, {"keep", "1"}});
    EXPECT_EQ(kNoInterface, r.Str("hr"));
    EXPECT_EQ(kNull, r.Str("out"));
    EXPECT_EQ(2, GraphErrors(ppt.host));

    // Made while copying was allowed, run after the document lost the right.
    ppt.Letters("C");
    r = Com(ppt.host, "create", {{"clsid", kChartServer}, {"keep", "1"}});
    ASSERT_EQ(kOk, r.Str("hr"));
    EXPECT_EQ(1, r.Num("recorded"));
    const long long refs = r.Num("refs");
    ppt.Letters("R");
    EXPECT_EQ(kUnexpected, Com(ppt.host, "run").Str("hr"));
    ppt.Letters("CW");
    EXPECT_EQ(kOk, Com(ppt.host, "run").Str("hr"));
    EXPECT_EQ(refs, Com(ppt.host, "refs").Num("refs")) << "the library changed the chart object's references";
    Com(ppt.host, "release");
}

TEST(AutomationGuard, PresentationApplicationObjectIsCaughtWithoutKeepingAReference) {
    wndtest::WindowHost ppt;
    ASSERT_TRUE(ppt.Start("ppt11", "C:\\ZELFILETEMP\\(ZEL-0004)deck.ppt"));
    // The application holds its own application object.
    const Reply app = Com(ppt.host, "create", {{"progid", "Powerpoint.application"}, {"keep", "1"}});
    ASSERT_EQ(kOk, app.Str("hr"));
    EXPECT_EQ(kNull, Com(ppt.host, "appobject").Str("appobject"));
    // Its first automation call through the dispatch helper catches it.
    const Reply call = Com(ppt.host, "dispcall");
    EXPECT_EQ(kOk, call.Str("hr"));
    EXPECT_EQ(app.Str("out"), Com(ppt.host, "appobject").Str("appobject"));
    EXPECT_EQ(app.Num("refs"), call.Num("refs")) << "a reference left behind keeps the application alive";
    EXPECT_EQ(kOk, Com(ppt.host, "dispcall").Str("hr"));
    EXPECT_EQ(app.Num("refs"), Com(ppt.host, "refs").Num("refs"));
    Com(ppt.host, "release");
}

TEST(AutomationGuard, DdeConversationsAboutProtectedTemporaryFilesAreRefused) {
    hosts::HostClient server;
    ASSERT_TRUE(server.StartBare("plain")) << server.LastError();
    for (const char* service : {"EXCEL", "WINWORDX"})
        ASSERT_EQ(1, server.Send("dde", {{"op", "serve"}, {"service", service}}).Num("registered"));

    hosts::HostClient client;
    ASSERT_TRUE(client.Start("plain"));
    ASSERT_TRUE(client.LoadGatrel());
    server.Events();
    auto connect = [&](const char* service, const char* topic) {
        const Reply r = client.Send("dde", {{"op", "connect"}, {"service", service}, {"topic", topic}});
        EXPECT_EQ(2, r.Num("freed")) << "the string handles are the caller's, and still there";
        return r.Num("conv");
    };
    EXPECT_EQ(0, connect("excel", "c:\\zel\\ZelFileTemp\\(ZEL-0005)book.xls"));
    EXPECT_EQ(1, connect("excel", "C:\\docs\\book.xls"));
    // The service name is compared whole.
    EXPECT_EQ(1, connect("WINWORDX", "C:\\ZELFILETEMP\\(ZEL-0005)a.doc"));
    const std::vector<std::string> seen = server.Events();
    EXPECT_FALSE(wndtest::HasEvent(seen, "dde-connect:c:\\zel\\ZelFileTemp"));
    EXPECT_TRUE(wndtest::HasEvent(seen, "dde-connect:C:\\docs\\book.xls"));
    EXPECT_TRUE(wndtest::HasEvent(seen, "dde-connect:C:\\ZELFILETEMP\\(ZEL-0005)a.doc"));
}

TEST(AutomationGuard, ProtectedClipboardContentGoesWithItsDocumentsWindow) {
    wndtest::WindowHost word;
    ASSERT_TRUE(word.Start("word11", "C:\\ZELFILETEMP\\(ZEL-0007)memo.doc"));
    word.Protect("P", 0x7A07);
    hosts::Reply other;
    const HWND otherDoc = word.host.OpenDoc("C:\\docs\\notes.doc", &other);
    const HWND otherView = other.Wnd("view");
    auto revoke = [&](HWND w) {
        word.host.Send("droptarget", {{"wnd", wndtest::Hex(w)}});
        return word.host.Call("ole32.dll", "RevokeDragDrop", {"i:" + std::to_string(wndtest::Word32(w))});
    };
    auto pasteBack = [&] {
        word.host.Activate(word.doc);
        return word.host.Send("paste").Str("text");
    };
    word.host.Activate(word.doc);
    ASSERT_EQ(1, word.host.Send("copy", {{"text", "minutes of the board"}}).Num("set"));
    // Another document's window going away leaves the content.
    EXPECT_EQ(0, revoke(otherView).Num("ret"));
    EXPECT_EQ("minutes of the board", pasteBack());
    word.host.Activate(word.doc);
    EXPECT_EQ(0, revoke(word.view).Num("ret"));
    EXPECT_EQ("", pasteBack()) << "the protected content outlived its document's window";
    word.host.Close(otherDoc);
}


// Processes of this session whose executable is named so.
int ProcessesNamed(const char* exe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
        n += lstrcmpiA(e.szExeFile, exe) == 0;
    CloseHandle(snap);
    return n;
}

TEST(AutomationGuard, KorbClientHandsTheWordProcessorItRunsToTheFileLockDriverOnce) {
    hosts::HostClient word;  // the word processor the client's automation runs
    ASSERT_TRUE(word.Start("word11"));
    hosts::HostClient korb;
    ASSERT_TRUE(korb.Start("korb"));
    ASSERT_TRUE(korb.LoadGatrel());
    testing_support::LogTail log("KORBDOC");
    const std::string released = "winword.exe id: " + std::to_string(word.Pid());

    // Without a record of its own the creation goes on, and nothing is handed over.
    ASSERT_EQ(kOk, Com(korb, "create", {{"progid", "Word.Application"}, {"keep", "1"}}).Str("hr"));
    EXPECT_EQ(1, log.CountEndingWith("FindDocType  Error"));
    EXPECT_EQ(kOk, Com(korb, "run").Str("hr"));
    EXPECT_EQ(0, log.CountEndingWith(released));

    testlib::Store store;
    _ZEL_HOOK_INFO_ rec{};
    rec.dwProcessId = rec.dwOwnerPid = korb.Pid();
    rec.byDocType = 6;
    strcpy(rec.szPermission, "R");
    strcpy(rec.szFilePath, "C:\\ZELCLIENTDOC\\(ZEL-0008)contract.doc");
    store.AddHookInfo(&rec);
    ASSERT_EQ(kOk, Com(korb, "create", {{"progid", "Word.Application"}, {"keep", "1"}}).Str("hr"));
    EXPECT_EQ(1, log.CountEndingWith("FindDocType  Error"));
    EXPECT_EQ(kOk, Com(korb, "run").Str("hr"));
    // The run started no new word processor here: the one running is taken,
    // when it is the only one (other tests may run theirs meanwhile).
    if (ProcessesNamed("WINWORD.EXE") == 1) EXPECT_EQ(1, log.CountEndingWith(released));
    const int lines = log.CountContaining("winword.exe id: ");
    EXPECT_EQ(kOk, Com(korb, "run").Str("hr"));
    EXPECT_EQ(lines, log.CountContaining("winword.exe id: ")) << "a second run handed it over again";
    Com(korb, "release");
    store.DelHookInfo(korb.Pid());
}

}  // namespace
