// Saving a protected document under another name, moving files into the
// client's document folder, loading the mail library and opening protected
// processes, each through the test hosts' real calls.
#include <memory>

#include "tests/file/file_fixture.h"

namespace filetest {
namespace {

constexpr const char* kSaveAsPdfUtf8 = "\xE5\x8F\xA6\xE5\xAD\x98 Adobe PDF";  // 另存 Adobe PDF
constexpr const char* kSaveAsPdfGbk = "\xC1\xED\xB4\xE6 Adobe PDF";

std::string Installed(const char* key) {
    char buf[260] = {};
    GetPrivateProfileStringA("String", key, "", buf, sizeof buf,
                             (Root() + "\\Language\\Multi_eng.ini").c_str());
    return buf;
}

hosts::Params ChineseLocale() {
    char bin[1024] = {};
    GetEnvironmentVariableA("GATREL_BIN", bin, sizeof bin);
    std::string tree = bin;
    tree.resize(tree.find_last_of('/'));
    return {{"LOCPATH", tree + "/locale"}, {"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "zh_CN.UTF-8"}};
}

// Leaves nothing for the prefix's next start.
void ForgetMovesAtNextStart() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<DialogSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (owner != s->pid || !IsWindowVisible(w) || strcmp(cls, "#32770") != 0) return TRUE;
    s->found = w;
    return FALSE;
}

// The visible common dialog of a process, 0 while there is none.
HWND DialogOf(DWORD pid) {
    DialogSearch s{pid, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

class SaveControl : public FileGuardTest {
protected:
    // A host whose message boxes the ZELShowMsgBox stand-in records instead of showing.
    HWND StartRecorded(HostClient& host, const std::string& variant, const std::string& path,
                       hosts::Params env = {}) {
        env.push_back({"ZELMSGBOX_RECORD", boxes_});
        env.push_back({"ZELMSGBOX_MODE", "none"});
        return StartDoc(host, variant, path, env);
    }

    std::vector<std::string> Boxes() const {
        std::vector<std::string> lines;
        const std::string all = testchild::ReadFileBytes(boxes_);
        for (size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(all.substr(at, end - at));
        return lines;
    }

    // Waits for the message thread that a refusal started.
    size_t WaitForBoxes(size_t atLeast) const {
        for (int i = 0; i < 100 && Boxes().size() < atLeast; ++i) Sleep(50);
        return Boxes().size();
    }

    // A save dialog that is expected to open: answered with its OK button.
    static Reply SaveThroughTheDialog(HostClient& host, const hosts::Params& params) {
        std::unique_ptr<hosts::PendingReply> pending = host.SendAsync("savedlg", params);
        HWND dlg = nullptr;
        for (int i = 0; i < 200 && !(dlg = DialogOf(host.Pid())) && !pending->Ready(); ++i) Sleep(50);
        if (dlg) PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        return pending->Get(30000);
    }

    // A save dialog that is expected to be refused; one that opens is cancelled.
    static Reply RefusedSaveDialog(HostClient& host, const hosts::Params& params, bool* opened) {
        std::unique_ptr<hosts::PendingReply> pending = host.SendAsync("savedlg", params);
        *opened = false;
        for (int i = 0; i < 100 && !pending->Ready(); ++i) {
            if (HWND dlg = DialogOf(host.Pid())) {
                *opened = true;
                PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(50);
        }
        return pending->Get(30000);
    }

    testchild::TempFolder user_{"files_save"};
    std::string boxes_ = user_.path() + "\\boxes.txt";
};

TEST_F(SaveControl, SaveAsWithoutTheAllRightShowsOneMessageAndNoDialog) {
    HostClient word;
    HWND doc = StartRecorded(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "R", 1);
    bool opened = false;
    // Twice within one command, the second through the ANSI dialog: two
    // requests of the same moment, however busy the machine.
    Reply twice = RefusedSaveDialog(
        word, {{"title", "Save As"}, {"file", user_.path() + "\\a.doc"}, {"again", "1"}}, &opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(0, twice.Num("ret"));
    EXPECT_EQ(0, twice.Num("err")) << "a refusal looks like a cancelled dialog";
    EXPECT_EQ(0, twice.Num("againret"));
    ASSERT_EQ(1u, WaitForBoxes(1));
    const std::string box = Boxes()[0];
    EXPECT_NE(std::string::npos, box.find("text=" + Installed("D_DCTRL_SAVEAS_ERROR"))) << box;
    char owner[16];
    snprintf(owner, sizeof owner, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(doc)));
    EXPECT_NE(std::string::npos, box.find(std::string("owner=") + owner)) << box;
    // A second message would have come with its thread by now.
    Sleep(1500);
    EXPECT_EQ(1u, Boxes().size());
    EXPECT_EQ("[boxes.txt]", Joined(List(user_.path())));
}

// The document loses its all right while a save dialog is open, and the
// dialog's hook opens a second save dialog: that one is refused like any
// other, with the message.
TEST_F(SaveControl, ASaveDialogOpenedFromInsideAnotherMeetsTheRules) {
    HostClient word;
    HWND doc = StartRecorded(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "A", 1);
    const std::string eventName = "GatrelNestedSave" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    std::unique_ptr<hosts::PendingReply> pending =
        word.SendAsync("savedlg", {{"title", "Save As"},
                                   {"file", user_.path() + "\\outer.doc"},
                                   {"nested", eventName},
                                   {"nestedtitle", "Inner Save"}});
    HWND outer = nullptr;
    for (int i = 0; i < 200 && !(outer = DialogOf(word.Pid())); ++i) Sleep(50);
    ASSERT_TRUE(outer) << "the dialog opens while the document has the all right";
    store.SetHookInfo(word.Pid(), "P");
    SetEvent(go);
    // A second dialog that opens anyway is cancelled, so the host goes on.
    bool innerOpened = false;
    for (int i = 0; i < 200 && !pending->Ready(); ++i) {
        if (HWND inner = FindWindowA("#32770", "Inner Save")) {
            innerOpened = true;
            PostMessageA(inner, WM_COMMAND, IDCANCEL, 0);
        }
        Sleep(50);
    }
    Reply r = pending->Get(30000);
    CloseHandle(go);
    EXPECT_EQ(1, r.Num("nested"));
    EXPECT_EQ(0, r.Num("nestedret"));
    EXPECT_FALSE(innerOpened);
    const size_t boxes = WaitForBoxes(1);
    ASSERT_EQ(1u, boxes);
    EXPECT_NE(std::string::npos, Boxes()[0].find("text=" + Installed("D_DCTRL_SAVEAS_ERROR")));
}

TEST_F(SaveControl, WithTheAllRightTheDialogsAnswerPasses) {
    HostClient word, ppt;
    HWND wordDoc = StartRecorded(word, "word12", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    HWND pptDoc = StartRecorded(ppt, "ppt11", "C:\\ZELFILETEMP\\(ZEL-0002)deck.ppt");
    ASSERT_TRUE(wordDoc && pptDoc);
    Register(word, wordDoc, "A", 1);
    Register(ppt, pptDoc, "A", 3);
    const std::string out = user_.path() + "\\saved.doc";
    // The user saves from the document in front: brought there in the same
    // turn as the dialog, as the host started last may still take the focus.
    const std::string wordFront = Hex(wordDoc), pptFront = Hex(pptDoc);
    Reply w = SaveThroughTheDialog(word, {{"front", wordFront}, {"title", "Save As"}, {"file", out}});
    EXPECT_EQ(1, w.Num("ret")) << w.error;
    EXPECT_EQ(Upper(out), Upper(w.Str("path")));
    // The presentation program reads the title; a dialog without one is an
    // ordinary save dialog.
    for (const char* ansi : {"0", "1"}) {
        Reply untitled = SaveThroughTheDialog(ppt, {{"front", pptFront}, {"file", out}, {"ansi", ansi}});
        EXPECT_EQ(1, untitled.Num("ret")) << "ansi " << ansi << untitled.error;
    }
    Reply ansi =
        SaveThroughTheDialog(ppt, {{"front", pptFront}, {"title", "Save As"}, {"ansi", "1"}, {"file", out}});
    EXPECT_EQ(1, ansi.Num("ret")) << ansi.error;
    EXPECT_TRUE(ppt.Running());
    EXPECT_EQ(0u, Boxes().size());
}

TEST_F(SaveControl, PresentationProgramNeverExportsToPdf) {
    HostClient ppt, chinese;
    HWND doc = StartRecorded(ppt, "ppt12", "C:\\ZELFILETEMP\\(ZEL-0002)deck.ppt");
    HWND cnDoc = StartRecorded(chinese, "ppt11", "C:\\ZELFILETEMP\\(ZEL-0003)deck.ppt", ChineseLocale());
    ASSERT_TRUE(doc && cnDoc);
    Register(ppt, doc, "A", 3);
    Register(chinese, cnDoc, "A", 3);
    ASSERT_EQ(936, chinese.Send("acp").Num("acp"));
    const std::string file = user_.path() + "\\deck.pdf";
    struct Title {
        HostClient* host;
        HWND doc;
        hosts::Params params;
    } titles[] = {
        {&ppt, doc, {{"title", "SaveAs Adobe PDF"}}},
        {&ppt, doc, {{"title", "saveas adobe pdf - deck"}, {"ansi", "1"}}},
        // Longer than any fixed buffer: the whole title is compared.
        {&ppt, doc, {{"title", std::string(300, '.') + " SaveAs Adobe PDF"}}},
        {&chinese, cnDoc, {{"title", kSaveAsPdfUtf8}}},
        {&chinese, cnDoc, {{"title", kSaveAsPdfGbk}, {"ansi", "1"}}},
        // The wide Chinese title where the code page has no form for it.
        {&ppt, doc, {{"title", kSaveAsPdfUtf8}}},
    };
    for (Title& t : titles) {
        SCOPED_TRACE(t.params[0].second.substr(0, 40));
        t.params.push_back({"file", file});
        t.host->Activate(t.doc);
        bool opened = false;
        Reply r = RefusedSaveDialog(*t.host, t.params, &opened);
        EXPECT_FALSE(opened);
        EXPECT_EQ(0, r.Num("ret"));
    }
    Sleep(1100);
    EXPECT_EQ(0u, Boxes().size()) << "no message for the export";
}

// A move into the client's folder is a copy: the application's file stays.
// A file already there is replaced only where the caller's move would
// replace it; a move at the next start stays one. A folder whose name only
// looks like the client's (a full-width letter) is another folder.
TEST_F(SaveControl, MovesIntoTheClientFolderCopyInstead) {
    HostClient plain;
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    const std::string there = ClientDoc() + "\\files_test_there.doc";
    RemoveLater(there);
    struct Move {
        const char* op;
        DWORD flags;
        bool replaces;
    } moves[] = {{"move", 0, false},
                 {"movea", 0, false},
                 {"movex", 0, false},
                 {"moveexa", 0, false},
                 {"movex", MOVEFILE_REPLACE_EXISTING, true},
                 {"moveexa", MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED, true}};
    for (const Move& m : moves) {
        SCOPED_TRACE(std::string(m.op) + " " + std::to_string(m.flags));
        const std::string from = user_.path() + "\\" + m.op + ".doc";
        const std::string to = ClientDoc() + "\\files_test_" + m.op + ".doc";
        RemoveLater(to);
        DeleteFileA(to.c_str());
        ASSERT_TRUE(testchild::WriteFileBytes(from, m.op));
        Reply r = File(plain, m.op, from, {{"to", to}, {"flags", std::to_string(m.flags)}});
        EXPECT_EQ(1, r.Num("ret")) << r.Num("err");
        EXPECT_EQ(m.op, testchild::ReadFileBytes(from)) << "the application's file stays";
        EXPECT_EQ(m.op, testchild::ReadFileBytes(to));
        ASSERT_TRUE(testchild::WriteFileBytes(there, "the client's"));
        Reply onto = File(plain, m.op, from, {{"to", there}, {"flags", std::to_string(m.flags)}});
        EXPECT_EQ(m.replaces ? 1 : 0, onto.Num("ret"));
        if (!m.replaces) {
            EXPECT_EQ(ERROR_ALREADY_EXISTS, onto.Num("err"));
        }
        EXPECT_EQ(m.replaces ? m.op : "the client's", testchild::ReadFileBytes(there));
        EXPECT_EQ(m.op, testchild::ReadFileBytes(from));
    }
    // At the next start: recorded as the caller asked, nothing copied now.
    const std::string later = user_.path() + "\\later.doc";
    ASSERT_TRUE(testchild::WriteFileBytes(later, "later"));
    ASSERT_TRUE(testchild::WriteFileBytes(there, "the client's"));
    Reply delayed = File(
        plain, "movex", later,
        {{"to", there}, {"flags", std::to_string(MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)}});
    EXPECT_EQ(1, delayed.Num("ret")) << delayed.Num("err");
    EXPECT_EQ("the client's", testchild::ReadFileBytes(there));
    EXPECT_EQ("later", testchild::ReadFileBytes(later));
    ForgetMovesAtNextStart();
    // Elsewhere a move is a move.
    const std::string lookalike = Root() +
                                  "\\\xEF\xBC\xBA"
                                  "ELCLIENTDOC";  // U+FF3A
    CreateDirectoryW(Widen(lookalike).c_str(), nullptr);
    for (const std::string& folder : {user_.path(), lookalike}) {
        const std::string from = user_.path() + "\\elsewhere.doc", to = folder + "\\moved.doc";
        ASSERT_TRUE(testchild::WriteFileBytes(from, "x"));
        EXPECT_EQ(1, File(plain, "movex", from, {{"to", to}}).Num("ret")) << folder;
        EXPECT_FALSE(Exists(from)) << folder;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Widen(to).c_str())) << folder;
        DeleteFileW(Widen(to).c_str());
    }
    RemoveDirectoryW(Widen(lookalike).c_str());
}

// Null names are the real functions' business, wherever a replacement looks
// at names: installers and updaters, for one, delete files at the next start
// with a null new name.
TEST_F(SaveControl, NullNamesReachTheRealFunctions) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    const std::string victim = user_.path() + "\\~WRL0009.tmp";
    ASSERT_TRUE(testchild::WriteFileBytes(victim, "x"));
    Reply atReboot = File(word, "movex", victim, {{"flags", std::to_string(MOVEFILE_DELAY_UNTIL_REBOOT)}});
    ASSERT_TRUE(atReboot.ok) << atReboot.error;
    EXPECT_EQ(1, atReboot.Num("ret")) << atReboot.Num("err");
    ForgetMovesAtNextStart();
    for (const char* op : {"create", "attr", "delete", "find", "copy", "move", "movea", "movex", "replace"}) {
        Reply r = word.Send("file", {{"op", op}, {"to", ClientDoc() + "\\x.doc"}});
        ASSERT_TRUE(r.ok) << op << ": " << r.error;
        EXPECT_NE(0, r.Num("err")) << op;
    }
    EXPECT_TRUE(word.Running());
    EXPECT_FALSE(Exists(ClientDoc() + "\\x.doc"));
}

// Every move of a working file stays in the protected area, the save's last
// step above all: MoveFileExW(temporary, document, MOVEFILE_REPLACE_EXISTING)
// between two working files, in each form of the move.
TEST_F(SaveControl, MovesOfWorkingFilesStayInTheProtectedArea) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    const std::string first = user_.path() + "\\~WRL0001.tmp", second = user_.path() + "\\~WRL0002.tmp";
    ASSERT_EQ(1, File(word, "create", first, {{"text", "draft"}}).Num("opened"));
    EXPECT_EQ(1, File(word, "move", first, {{"to", second}}).Num("ret"));
    EXPECT_EQ("", MovedName("~WRL0001", word.Pid(), ".WTM"));
    EXPECT_NE("", MovedName("~WRL0002", word.Pid(), ".WTM"));
    EXPECT_EQ("draft", File(word, "read", second).Str("text"));
    const std::string replace = std::to_string(MOVEFILE_REPLACE_EXISTING);
    for (const char* op : {"movex", "moveexa"}) {
        ASSERT_EQ(1, File(word, "create", first, {{"text", op}}).Num("opened"));
        Reply saved = File(word, op, first, {{"to", second}, {"flags", replace}});
        EXPECT_EQ(1, saved.Num("ret")) << op << " " << saved.Num("err");
        EXPECT_EQ(op, File(word, "read", second).Str("text"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, File(word, "attr", first).Num("ret"));
    }
    EXPECT_EQ("[]", Joined(List(user_.path())));
    // Moved into the client's folder under a working file's name: copied
    // there once, not sent on into PROTECTPATH by the copy's own opens.
    const std::string client = ClientDoc() + "\\~WRL0003.tmp";
    RemoveLater(client);
    EXPECT_EQ(1, File(word, "move", second, {{"to", client}}).Num("ret"));
    EXPECT_EQ("moveexa", testchild::ReadFileBytes(client));
    EXPECT_EQ("moveexa", File(word, "read", second).Str("text"));
}

TEST_F(SaveControl, ProtectedOwnersAreClosedToEveryoneButTheDaemonAndThemselves) {
    HostClient word, plain, daemon;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1);
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    // The daemon's role comes from its executable's name.
    const std::string daemonExe = user_.path() + "\\ZELDaemon.exe";
    ASSERT_TRUE(CopyFileA(HostClient::HostPath("plain").c_str(), daemonExe.c_str(), FALSE));
    ASSERT_TRUE(daemon.StartExe(daemonExe) && daemon.LoadGatrel()) << daemon.LastError();
    const std::vector<std::string> openWord = {"i:0x400", "i:0", "i:" + std::to_string(word.Pid())};

    Reply refused = plain.Call("kernel32.dll", "OpenProcess", openWord);
    EXPECT_EQ(0, refused.Num("uret"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, refused.Num("err"));
    for (HostClient* allowed : {&daemon, &word}) {
        Reply r = allowed->Call("kernel32.dll", "OpenProcess", openWord);
        EXPECT_NE(0, r.Num("uret"));
        allowed->Call("kernel32.dll", "CloseHandle", {"i:" + std::to_string(r.Num("uret"))});
    }
    // A KORB record does not close its owner.
    storetest::ClearTable(store);
    Register(word, doc, "P", 6);
    Reply korb = plain.Call("kernel32.dll", "OpenProcess", openWord);
    EXPECT_NE(0, korb.Num("uret"));
    plain.Call("kernel32.dll", "CloseHandle", {"i:" + std::to_string(korb.Num("uret"))});
    daemon.Quit();
    DeleteFileA(daemonExe.c_str());
}

TEST_F(SaveControl, PdfProgramLoadsTheMailLibraryOnlyWithTheAllRight) {
    HostClient pdf;
    HWND doc = StartDoc(pdf, "acrobat9", "C:\\ZELFILETEMP\\(ZEL-0005)scan.pdf");
    ASSERT_TRUE(doc);
    Register(pdf, doc, "P", 4);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    struct Load {
        const char* fn;
        std::vector<std::string> args;
    } loads[] = {{"LoadLibraryA", {"s:MAPI32.DLL"}},
                 {"LoadLibraryA", {"s:mapi32.dll"}},
                 {"LoadLibraryA", {"s:mapi32"}},
                 {"LoadLibraryA", {"s:MAPI32.DLL."}},
                 {"LoadLibraryW", {"w:Mapi32"}},
                 {"LoadLibraryExA", {"s:mapi32.dll", "i:0", "i:0"}},
                 {"LoadLibraryExW", {"w:MAPI32.dll", "i:0", "i:0"}}};
    for (const Load& l : loads) {
        SCOPED_TRACE(std::string(l.fn) + " " + l.args[0]);
        Reply r = pdf.Call("kernel32.dll", l.fn, l.args);
        EXPECT_EQ(0, r.Num("uret"));
        EXPECT_EQ(ERROR_ACCESS_DENIED, r.Num("err"));
    }
    EXPECT_NE(
        0,
        pdf.Call("kernel32.dll", "LoadLibraryA", {std::string("s:") + system + "\\mapi32.dll"}).Num("uret"));
    Reply none = pdf.Call("kernel32.dll", "LoadLibraryA", {"i:0"});
    ASSERT_TRUE(none.ok) << none.error;
    EXPECT_EQ(0, none.Num("uret"));
    store.SetHookInfo(pdf.Pid(), "A");
    EXPECT_NE(0, pdf.Call("kernel32.dll", "LoadLibraryA", {"s:MAPI32.DLL"}).Num("uret"));
}

TEST_F(SaveControl, RegisteringADropTargetRefreshesTheKorbDocumentWindow) {
    HostClient korb;
    store.SetKORBClassName("KORBClientFrame");
    HWND doc = StartDoc(korb, "korb", "C:\\KORB\\(ZEL-0008)memo.doc");
    ASSERT_TRUE(doc);
    EXPECT_EQ("0x0", korb.Context().Str("mdiclient"));
    korb.Call("ole32.dll", "RegisterDragDrop", {"i:" + Hex(doc), "i:0"});
    EXPECT_EQ(Hex(doc), korb.Context().Str("mdiclient"));
}

}  // namespace
}  // namespace filetest
