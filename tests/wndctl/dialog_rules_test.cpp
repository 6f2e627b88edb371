// The CBT hook as a user meets it: with a protected document in front, the
// dialogs that would let its content out close as they come up, by the
// document's letters; the PDF application prints as an image.
#include <algorithm>

#include "tests/hooks/log_tail.h"
#include "tests/wndctl/window_host.h"

namespace {

using wndtest::HasEvent;
using wndtest::Hex;
using wndtest::WindowHost;

// How long a dialog that must stay is watched.
constexpr DWORD kStaysMs = 600;
constexpr DWORD kClosesMs = 5000;

// Opens the application's dialog and tells whether it closed by itself.
bool Closes(WindowHost& app, const char* name) {
    const HWND dlg = app.host.Send("officedlg", {{"name", name}}).Wnd("wnd");
    EXPECT_TRUE(dlg) << name;
    if (!dlg) return false;
    const bool closed = app.GoneWithin(dlg, kStaysMs);
    if (!closed) app.host.Close(dlg);
    app.host.Activate(app.doc);
    return closed;
}

TEST(DialogRules, WordDialogsCloseByTheDocumentsLetters) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    ASSERT_TRUE(word.HookWindows());
    const char* kAlways[] = {"recordmacro", "assignmacro", "importlists"};
    const char* kWithoutAllRights[] = {"saveas", "autocorrect", "autotext", "templates", "compare",
                                       "autosummarize", "emailoptions"};
    // Nothing protected in front: every dialog stays.
    for (const char* d : kAlways) EXPECT_FALSE(Closes(word, d)) << d;
    EXPECT_FALSE(Closes(word, "saveas"));

    word.Protect("P", 0x6201);
    for (const char* d : kAlways) EXPECT_TRUE(Closes(word, d)) << d;
    for (const char* d : kWithoutAllRights) EXPECT_TRUE(Closes(word, d)) << d;
    EXPECT_FALSE(Closes(word, "find"));
    // The spreadsheet's own dialogs are not the word processor's business.
    EXPECT_FALSE(Closes(word, "moveorcopy"));

    word.Letters("A");
    for (const char* d : kAlways) EXPECT_TRUE(Closes(word, d)) << d;
    for (const char* d : kWithoutAllRights) EXPECT_FALSE(Closes(word, d)) << d;
}

TEST(DialogRules, SpreadsheetDialogsCloseWithoutAllRights) {
    WindowHost excel;
    ASSERT_TRUE(excel.Start("excel11", "C:\\ZELFILETEMP\\(ZEL-0002)budget.xls"));
    ASSERT_TRUE(excel.HookWindows());
    excel.Protect("CP", 0x6202);
    for (const char* d : {"moveorcopy", "addins", "autocorrect", "importlists"}) EXPECT_TRUE(Closes(excel, d)) << d;
    // Word's own dialogs by their titles: left alone here.
    EXPECT_FALSE(Closes(excel, "compare"));
    excel.Letters("A");
    EXPECT_FALSE(Closes(excel, "moveorcopy"));
    EXPECT_TRUE(Closes(excel, "importlists"));
}

// The system's "Location is not available" box is modal: it is dismissed the
// way its close box would, and its owner takes input again.
TEST(DialogRules, LocationBoxIsDismissedAndItsOwnerEnabledAgain) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    ASSERT_TRUE(word.HookWindows());
    word.Protect("A", 0x6203);
    auto box = word.host.SendAsync("msgbox", {{"title", "Location is not available"},
                                               {"text", "C:\\gone is not accessible."},
                                               {"wnd", Hex(word.frame)}});
    ASSERT_TRUE(box->Ready(kClosesMs)) << "the box stayed";
    const hosts::Reply r = box->Get();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(1, r.Num("ownerenabled"));
    EXPECT_TRUE(IsWindowEnabled(word.frame));
    // Another box stays until the user answers it.
    auto other = word.host.SendAsync("msgbox", {{"title", "Microsoft Office Word"}, {"wnd", Hex(word.frame)}});
    EXPECT_FALSE(other->Ready(kStaysMs));
    HWND shown = nullptr;
    for (int i = 0; i < 100 && !shown; ++i, Sleep(20)) shown = FindWindowA("#32770", "Microsoft Office Word");
    ASSERT_TRUE(shown);
    PostMessageA(shown, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(other->Ready(kClosesMs));
}

// A window titled as the folder that holds the protected copy.
TEST(DialogRules, FolderOfTheProtectedCopyIsClosed) {
    const std::string root = testing_support::InstallDirFromRegistry();
    ASSERT_FALSE(root.empty());
    WindowHost word;
    ASSERT_TRUE(word.Start("word11", root + "\\ZELFILETEMP\\Quarterly\\(ZEL-0005)q3.doc"));
    ASSERT_TRUE(word.HookWindows());
    word.Protect("A", 0x6204);
    testing_support::LogTail log("WINWORD");
    const HWND other = word.host.CreateWindowOf("HostFolderView", nullptr, false, true, "Annual");
    EXPECT_FALSE(word.GoneWithin(other, kStaysMs));
    word.host.Close(other);
    word.host.Activate(word.doc);
    const HWND folder = word.host.CreateWindowOf("HostFolderView", nullptr, false, true, "Quarterly");
    EXPECT_TRUE(word.GoneWithin(folder, kClosesMs));
    EXPECT_EQ(1, log.CountEndingWith("Close Windows.strTitle=QUARTERLY"));
}

TEST(DialogRules, PdfOnlineDialogsAreClosedAndCancelled) {
    WindowHost pdf;
    ASSERT_TRUE(pdf.Start("acrobat8", "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
    ASSERT_TRUE(pdf.HookWindows());
    pdf.Protect("A", 0x6205);
    for (const char* name : {"signin", "meeting"}) {
        pdf.host.Events();
        const hosts::Reply d = pdf.host.Send("officedlg", {{"name", name}});
        ASSERT_TRUE(d.Wnd("wnd")) << name;
        const std::string innerPane = Hex(d.Wnd("c1"));
        std::vector<std::string> ev;
        for (int i = 0; i < 100 && !HasEvent(ev, "command:" + innerPane + ":1102"); ++i) {
            pdf.host.Send("pump", {{"ms", "50"}});
            auto more = pdf.host.Events();
            ev.insert(ev.end(), more.begin(), more.end());
        }
        EXPECT_TRUE(HasEvent(ev, "close:" + Hex(d.Wnd("wnd")))) << name;
        EXPECT_TRUE(HasEvent(ev, "command:" + innerPane + ":1102")) << name << ": Cancel not pressed";
        EXPECT_FALSE(HasEvent(ev, "command:" + innerPane + ":1101")) << name;
        pdf.host.Close(d.Wnd("wnd"));
    }
}

// Chart-server error windows that the OLE guard announced are not created,
// as many as it announced; windows named otherwise, or by number, are.
TEST(DialogRules, AnnouncedChartErrorWindowsAreNotCreated) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    ASSERT_TRUE(word.HookWindows());
    testing_support::LogTail log("WINWORD");
    ASSERT_EQ(2, word.host.Send("grapherrors", {{"set", "2"}}).Num("count"));
    const std::string error = "This object was created in MSGraph, which is not available.";
    EXPECT_FALSE(word.host.CreateWindowOf("HostChartError", nullptr, false, false, error));
    EXPECT_TRUE(word.host.CreateWindowOf("HostChartError", nullptr, false, false, "Chart"));
    EXPECT_FALSE(word.host.CreateWindowOf("HostChartError", nullptr, false, false, error));
    EXPECT_EQ(0, word.host.Send("grapherrors").Num("count"));
    EXPECT_TRUE(word.host.CreateWindowOf("HostChartError", nullptr, false, false, error));
    // While the count is up: a window without a name is made, and a name
    // given by number (which Windows hands to the hook as it is) is no text.
    word.host.Send("grapherrors", {{"set", "2"}});
    EXPECT_TRUE(word.host.CreateWindowOf("HostChartError", nullptr, false, false, ""));
    const hosts::Reply numbered = word.host.Send("cbtcreate", {{"nameid", "1"}});
    ASSERT_TRUE(numbered.ok) << numbered.error;
    EXPECT_EQ(0, numbered.Num("ret"));
    EXPECT_EQ(0, word.host.Send("cbtcreate").Num("ret"));  // no name at all
    EXPECT_EQ(-1, word.host.Send("cbtcreate", {{"name", error}}).Num("ret"));
    EXPECT_EQ(1, word.host.Send("grapherrors").Num("count"));
    EXPECT_EQ(0, log.CountContaining("Exception"));
}

// ---- the PDF application's print dialog ----------------------------------------

struct PrintRun {
    std::vector<std::string> events;
    long long advanced = 0;  // times the advanced setup opened
    // The print dialog's controls, read before it is cancelled.
    bool fileHidden = false;
    long long fileCheck = -1;
};

bool Hidden(WindowHost& pdf, HWND w) {
    RECT rc{};
    sscanf(pdf.host.Info(w).Str("rect").c_str(), "%ld,%ld,%ld,%ld", &rc.left, &rc.top, &rc.right, &rc.bottom);
    return rc.right == rc.left && rc.bottom == rc.top;
}

// Opens the print dialog, waits for the advanced setup to have come and gone
// (or for nothing to happen), optionally brings the dialog to the front
// again, then reads its controls and cancels it.
PrintRun RunPrintDialog(WindowHost& pdf, const hosts::Params& options, bool activateAgain = false) {
    PrintRun run;
    pdf.host.Events();
    auto pending = pdf.host.SendAsync("pdfprint", options);
    hosts::Reply controls;
    for (int i = 0; i < 100 && !controls.Wnd("dialog"); ++i) {
        Sleep(50);
        controls = pdf.host.Send("pdfprintcontrols");
    }
    const HWND dialog = controls.Wnd("dialog");
    // Only the host's event list is read meanwhile: the dialog's own loop
    // must take the keys the rules press (its mnemonics), not a command's.
    auto collect = [&](DWORD ms) {
        for (DWORD waited = 0; waited < ms && !HasEvent(run.events, "advanced-end:"); waited += 100) {
            Sleep(100);
            auto more = pdf.host.Events();
            run.events.insert(run.events.end(), more.begin(), more.end());
        }
    };
    collect(kClosesMs);
    if (activateAgain) {
        const HWND other = pdf.host.CreateWindowOf("HostOtherWindow", nullptr, false, true, "Other");
        // Back to the dialog as the user goes back: while the dialog's own
        // loop runs, not inside a command of the host.
        SetForegroundWindow(dialog);
        run.events.erase(std::remove_if(run.events.begin(), run.events.end(),
                                        [](const std::string& e) { return e.rfind("advanced-end:", 0) == 0; }),
                         run.events.end());
        collect(1500);
        pdf.host.Close(other);
    }
    if (dialog) {
        run.fileHidden = Hidden(pdf, controls.Wnd("file"));
        run.fileCheck = pdf.host.Info(controls.Wnd("file")).Num("check");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    run.advanced = pending->Get(kClosesMs).Num("advanced");
    return run;
}

// Print to file unchecked, and without "A" out of reach; the advanced setup
// opens once and gets print-as-image and OK: the nested pane of versions 8
// and 9, the flat dialog of version 7, a box already checked.
TEST(DialogRules, PdfPrintsAsAnImage) {
    struct Case {
        const char* variant;
        const char* letters;
        const char* imageChecked;
    };
    for (const Case& c : {Case{"acrobat9", "P", "0"}, Case{"acrobat7", "P", "0"}, Case{"acrobat8", "A", "1"}}) {
        SCOPED_TRACE(std::string(c.variant) + " " + c.letters);
        WindowHost pdf;
        ASSERT_TRUE(pdf.Start(c.variant, "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
        ASSERT_TRUE(pdf.HookWindows());
        pdf.Protect(c.letters, 0x6206);
        const PrintRun run = RunPrintDialog(pdf, {{"filechecked", "1"}, {"imagechecked", c.imageChecked}});
        EXPECT_EQ(std::string(c.letters) != "A", run.fileHidden);
        EXPECT_EQ(0, run.fileCheck);
        EXPECT_EQ(1, run.advanced);
        EXPECT_TRUE(HasEvent(run.events, "advanced-end:1:image=1"));
    }
}

// Alt+D once per creation of the print dialog: bringing it to the front again
// (after the dialog made a control named "Print") opens nothing more.
TEST(DialogRules, PdfPrintDialogIsFollowedUpOncePerCreation) {
    WindowHost pdf;
    ASSERT_TRUE(pdf.Start("acrobat9", "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
    ASSERT_TRUE(pdf.HookWindows());
    pdf.Protect("P", 0x6208);
    const PrintRun run = RunPrintDialog(pdf, {{"printbutton", "1"}}, true);
    EXPECT_EQ(1, run.advanced);
    // Without a protected document, nothing happens to the dialog.
    pdf.Unprotect();
    const PrintRun plain = RunPrintDialog(pdf, {{"filechecked", "1"}});
    EXPECT_EQ(0, plain.advanced);
    EXPECT_FALSE(plain.fileHidden);
    EXPECT_EQ(1, plain.fileCheck);
}

// The Chinese forms of the texts, compared as code page 936 bytes: the print
// dialog "\u6253\u5370" with its boxes, and a macro dialog of the word processor.
TEST(DialogRules, ChineseDialogsUnderCodePage936) {
    WindowHost pdf;
    ASSERT_TRUE(pdf.Start("acrobat9", "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf", {}, hosts::ChineseLocale()));
    ASSERT_EQ(936, pdf.host.Send("acp").Num("acp"));
    ASSERT_TRUE(pdf.HookWindows());
    pdf.Protect("P", 0x6209);
    const PrintRun run = RunPrintDialog(pdf, {{"filechecked", "1"}, {"chinese", "1"}});
    EXPECT_TRUE(run.fileHidden);
    EXPECT_EQ(0, run.fileCheck);
    EXPECT_EQ(1, run.advanced);
    EXPECT_TRUE(HasEvent(run.events, "advanced-end:1:image=1"));

    WindowHost word;
    ASSERT_TRUE(word.Start("word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc", {}, hosts::ChineseLocale()));
    ASSERT_TRUE(word.HookWindows());
    word.Protect("A", 0x620A);
    const char* kRecordMacro = "\xE5\xBD\x95\xE5\x88\xB6\xE5\xAE\x8F";  // UTF-8 "record macro"
    const HWND macro = word.host.Send("officedlg", {{"name", "recordmacro"}, {"title", kRecordMacro}}).Wnd("wnd");
    ASSERT_TRUE(macro);
    EXPECT_TRUE(word.GoneWithin(macro, kClosesMs));
}

}  // namespace
