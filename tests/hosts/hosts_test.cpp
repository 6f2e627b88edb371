// The test hosts themselves: file names, version resources, window trees, and
// the command channel that later guard tests rely on.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "host_client.h"

namespace {

using hosts::HostClient;
using hosts::Reply;

std::string ClassOf(HWND w) {
    char cls[260] = {};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

std::string Hex(HWND w) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return buf;
}

bool HasEvent(const std::vector<std::string>& events, const std::string& prefix) {
    return std::any_of(events.begin(), events.end(),
                       [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}

struct TreeCase {
    const char* variant;
    const char* exe;
    const char* frame;
    const char* container;  // "" when the document window is top-level
    const char* doc;
};

void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.variant; }

class HostTrees : public ::testing::TestWithParam<TreeCase> {};

TEST_P(HostTrees, DocumentWindowSitsInTheApplicationsClassTree) {
    const TreeCase& c = GetParam();
    EXPECT_EQ(c.exe, HostClient::ExeOf(c.variant));
    HostClient host;
    ASSERT_TRUE(host.Start(c.variant)) << host.LastError();
    Reply ping = host.Send("ping");
    EXPECT_EQ(std::string(c.exe).substr(0, std::string(c.exe).size() - 4), ping.Str("exe"));

    HWND doc = host.OpenDoc("C:\\docs\\(ZEL-1)report.doc");
    ASSERT_NE(nullptr, doc);
    EXPECT_EQ(c.doc, ClassOf(doc));
    HWND top = GetAncestor(doc, GA_ROOT);
    EXPECT_EQ(c.frame, ClassOf(top));
    if (*c.container) {
        // Word keeps a command bar before its container; the others nest directly.
        HWND parent = GetParent(doc);
        EXPECT_EQ(c.container, ClassOf(parent));
        EXPECT_EQ(doc, GetWindow(parent, GW_CHILD));
    } else {
        EXPECT_EQ(top, doc);
    }
    EXPECT_TRUE(IsWindowVisible(doc));
    // The document window is the host's active window, and the process is the host's.
    EXPECT_EQ(top, host.Windows().Wnd("active"));
    DWORD pid = 0;
    GetWindowThreadProcessId(doc, &pid);
    EXPECT_EQ(host.Pid(), pid);
    EXPECT_TRUE(host.Quit());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, HostTrees,
    ::testing::Values(TreeCase{"word11", "WINWORD.EXE", "OpusApp", "_WwF", "_WwB"},
                      TreeCase{"excel11", "EXCEL.EXE", "XLMAIN", "XLDESK", "EXCEL7"},
                      TreeCase{"ppt11", "POWERPNT.EXE", "PP11FrameClass", "MDIClient", "mdiClass"},
                      TreeCase{"ppt12", "POWERPNT.EXE", "PP12FrameClass", "MDIClient", "mdiClass"},
                      TreeCase{"acrobat7", "ACROBAT.EXE", "AdobeAcrobat", "MDIClient", "AcrobatMDIChildWnd"},
                      TreeCase{"acrord8", "ACRORD32.EXE", "AdobeAcrobat", "MDIClient", "AcrobatMDIWindow"},
                      TreeCase{"acrobat9", "ACROBAT.EXE", "AcrobatSDIWindow", "", "AcrobatSDIWindow"},
                      TreeCase{"korb", "KORBDOC.EXE", "KORBClientFrame", "MDIClient", "KORBDocWindow"},
                      TreeCase{"plain", "PLAINAPP.EXE", "PlainAppFrame", "", "PlainAppFrame"}),
    [](const auto& info) { return std::string(info.param.variant); });

TEST(HostVersions, VersionResourcesAreTheApplications) {
    struct {
        const char* variant;
        const char* product;
        const char* file;
    } cases[] = {{"word11", "11.0.8173.0", "11.0.8173"},
                 {"ppt12", "12.0.6425.1000", "12.0.6425.1000"},
                 {"acrord6", "6.0.1.2003", "6.0.1.2003"},
                 {"acrobat_nodot", "9.3.0.148", "9, 3, 0, 148"}};
    for (const auto& c : cases) {
        HostClient host;
        ASSERT_TRUE(host.Start(c.variant)) << host.LastError();
        Reply r = host.Send("ping");
        EXPECT_EQ(c.product, r.Str("product")) << c.variant;
        EXPECT_EQ(c.file, r.Str("file")) << c.variant;
    }
}

TEST(HostOptions, KorbFrameClassAndPdfLayoutAreConfigurable) {
    HostClient korb;
    ASSERT_TRUE(korb.Start("korb", {"--frame-class=ZZKorbMain"})) << korb.LastError();
    HWND doc = korb.OpenDoc("C:\\k\\a.doc");
    EXPECT_EQ("ZZKorbMain", ClassOf(GetAncestor(doc, GA_ROOT)));

    HostClient pdf;
    ASSERT_TRUE(pdf.Start("acrobat8", {"--layout=sdi"})) << pdf.LastError();
    HWND pdoc = pdf.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ("AcrobatSDIWindow", ClassOf(pdoc));
    EXPECT_EQ(pdoc, GetAncestor(pdoc, GA_ROOT));
}

TEST(HostChannel, DialogsControlsAndWindowMessagesAreReported) {
    HostClient host;
    ASSERT_TRUE(host.Start("word11")) << host.LastError();
    HWND doc = host.OpenDoc("C:\\d\\a.doc");
    HWND frame = GetAncestor(doc, GA_ROOT);
    Reply full;
    HWND dlg = host.Dialog("Print", nullptr, false, "check:Print to &file|panel:|button:Cancel|end|button:OK",
                           &full);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ("#32770", ClassOf(dlg));
    EXPECT_EQ(frame, GetWindow(dlg, GW_OWNER));
    EXPECT_EQ(dlg, host.Windows().Wnd("active"));
    char title[64] = {};
    GetWindowTextA(dlg, title, sizeof title);
    EXPECT_STREQ("Print", title);
    HWND check = full.Wnd("c0"), panel = full.Wnd("c1"), cancel = full.Wnd("c2");
    EXPECT_EQ(dlg, GetParent(check));
    EXPECT_EQ(panel, GetParent(cancel));
    EXPECT_EQ(check, GetWindow(dlg, GW_CHILD));

    // A posted check and click reach the controls as a user's would.
    PostMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    host.Send("pump", {{"ms", "100"}});
    EXPECT_EQ(1, host.Info(check).Num("check"));
    PostMessageA(full.Wnd("c3"), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageA(full.Wnd("c3"), WM_LBUTTONUP, 0, 0);
    host.Send("pump", {{"ms", "200"}});
    EXPECT_FALSE(IsWindow(dlg));
    auto events = host.Events();
    EXPECT_TRUE(HasEvent(events, "dialog-command:" + Hex(dlg) + ":1")) << events.size();

    // WM_CLOSE posted from outside is seen and closes the window.
    HWND dlg2 = host.Dialog("Other", nullptr, true);
    EXPECT_EQ(nullptr, GetWindow(dlg2, GW_OWNER));
    PostMessageA(dlg2, WM_CLOSE, 0, 0);
    host.Send("pump", {{"ms", "100"}});
    EXPECT_FALSE(IsWindow(dlg2));
    EXPECT_TRUE(HasEvent(host.Events(), "close:" + Hex(dlg2)));
}

TEST(HostChannel, KeysReachTheFocusWindowAndAccelerators) {
    HostClient host;
    ASSERT_TRUE(host.Start("ppt11")) << host.LastError();
    Reply full;
    HWND doc = host.OpenDoc("C:\\d\\a.ppt", &full);
    HWND view = full.Wnd("view");
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(view, host.Windows().Wnd("focus"));
    host.Events();
    // Ctrl+P through the message loop's accelerator table: command 0x9001.
    Reply k = host.Send("key", {{"vk", "0x50"}, {"mods", "ctrl"}, {"mode", "post"}});
    EXPECT_EQ(view, k.Wnd("target"));
    auto ev = host.Events();
    EXPECT_TRUE(HasEvent(ev, "command:" + Hex(GetAncestor(doc, GA_ROOT)) + ":36865"));
    // A plain letter reaches the view as key down, character and key up.
    host.Send("key", {{"vk", "0x41"}, {"mode", "post"}});
    ev = host.Events();
    EXPECT_TRUE(HasEvent(ev, "key:" + Hex(view) + ":0x100:0x41"));
    EXPECT_TRUE(HasEvent(ev, "key:" + Hex(view) + ":0x101:0x41"));
    // Injected input goes the same way.
    host.Send("key", {{"vk", "0x42"}});
    ev = host.Events();
    EXPECT_TRUE(HasEvent(ev, "key:" + Hex(view) + ":0x100:0x42")) << ev.size();
}

TEST(HostChannel, ApiCallsRunOnTheHostsThread) {
    HostClient host;
    ASSERT_TRUE(host.Start("plain")) << host.LastError();
    HWND doc = host.OpenDoc("C:\\d\\x.txt");
    Reply r = host.Call("user32.dll", "GetWindowTextA", {Hex(doc), "b:100", "100"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ("x.txt - Plain", r.Str("outs1"));
    EXPECT_EQ(13, r.Num("ret"));
    r = host.Call("user32.dll", "GetWindowThreadProcessId", {Hex(doc), "0"});
    DWORD tid = GetWindowThreadProcessId(doc, nullptr);
    EXPECT_EQ(static_cast<long long>(tid), r.Num("uret"));
    r = host.Call("kernel32.dll", "lstrlenW", {"w:abc"});
    EXPECT_EQ(3, r.Num("ret"));
    // A cdecl function returns to a balanced stack as well.
    r = host.Call("msvcrt.dll", "strlen", {"s:hello"});
    EXPECT_EQ(5, r.Num("ret"));
    EXPECT_TRUE(host.Send("ping").ok);
}

TEST(HostChannel, ModalDialogRunsWhileTheTestKeepsTalking) {
    HostClient host;
    ASSERT_TRUE(host.Start("word12")) << host.LastError();
    HWND doc = host.OpenDoc("C:\\d\\a.doc");
    auto pending = host.SendAsync("savedlg", {{"title", "Save As"}, {"file", "a.doc"}});
    // The common dialog comes up owned by the document's frame.
    HWND dlg = nullptr;
    for (int i = 0; i < 200 && !dlg; ++i) {
        Sleep(25);
        Reply w = host.Windows();
        HWND active = w.Wnd("active");
        if (active && active != GetAncestor(doc, GA_ROOT) && ClassOf(active) == "#32770") dlg = active;
    }
    ASSERT_NE(nullptr, dlg);
    EXPECT_FALSE(pending->Ready());
    char title[64] = {};
    GetWindowTextA(dlg, title, sizeof title);
    EXPECT_STREQ("Save As", title);
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    Reply r = pending->Get(10000);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(0, r.Num("ret"));
}

TEST(HostChannel, UnknownCommandsAndMissingLibraryAreErrors) {
    HostClient host;
    ASSERT_TRUE(host.Start("plain")) << host.LastError();
    Reply r = host.Send("no-such-command");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(std::string::npos, r.error.find("unknown command"));
    r = host.Send("iszeldoc");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(host.Quit());
    EXPECT_FALSE(host.Running());
}

}  // namespace

namespace {

TEST(HostClipboard, CopyInOneHostPastesInAnother) {
    HostClient a, b;
    ASSERT_TRUE(a.Start("plain")) << a.LastError();
    ASSERT_TRUE(b.Start("word11")) << b.LastError();
    HWND docA = a.OpenDoc("C:\\d\\a.txt");
    HWND docB = b.OpenDoc("C:\\d\\b.doc");
    Reply r = a.Send("copy", {{"text", "hello host"}, {"wnd", Hex(docA)}});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(1, r.Num("open"));
    EXPECT_EQ(1, r.Num("set"));
    EXPECT_EQ(docA, GetClipboardOwner());
    r = b.Send("paste", {{"wnd", Hex(docB)}});
    EXPECT_EQ(1, r.Num("available"));
    EXPECT_EQ("hello host", r.Str("text"));

    // Unicode text survives the trip through the host's wide API.
    const std::string han = "\xE6\xB1\x89\xE5\xAD\x97";
    a.Send("copy", {{"text", han}, {"format", "unicode"}});
    EXPECT_EQ(han, b.Send("paste", {{"format", "unicode"}}).Str("text"));

    // Delayed rendering: the owner renders when another program asks.
    a.Events();
    r = a.Send("copy", {{"text", "later"}, {"wnd", Hex(docA)}, {"delayed", "1"}});
    EXPECT_EQ(1, r.Num("set"));
    EXPECT_EQ("later", b.Send("paste").Str("text"));
    EXPECT_TRUE(HasEvent(a.Events(), "render:1"));
}

}  // namespace
