// The message hook as a user meets it: keys and clicks typed into the hosts'
// windows reach the application or not, by the letters of the protected
// document in front; PrintScreen empties the clipboard everywhere.
#include "tests/support/section_view.h"
#include "tests/wndctl/window_host.h"

namespace {

using wndtest::HasEvent;
using wndtest::Hex;
using wndtest::WindowHost;


// A read-only document in the word processor, without the print right.
TEST(MessageHook, ReadOnlyWordDocumentLetsOnlyReadingKeysThrough) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word12"));
    word.Protect("R", 0x6101);
    ASSERT_TRUE(word.HookMessages());
    struct Case {
        int vk;
        const char* mods;
        bool arrives;
    };
    const Case cases[] = {
        {VK_LEFT, "", true},       {VK_NEXT, "", true},        {VK_HOME, "", true},
        {VK_ESCAPE, "", true},     {'F', "ctrl", true},        {'A', "ctrl", true},
        {VK_F1, "", true},  // help, in version 12
        {'B', "ctrl,shift", true},  // Ctrl+Shift with any key but O
        {'P', "ctrl,shift", true},  // a formatting key here, not a print key
        {'A', "", false},          {VK_RETURN, "", false},     {'O', "ctrl,shift", false},
        {'P', "ctrl", false},      // no print right
        {VK_F8, "alt", false},     {VK_F11, "alt", false},     // macros
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.arrives, word.KeyArrives(c.vk, c.mods)) << "vk 0x" << std::hex << c.vk << " " << c.mods;

    // Typing in one of the application's dialogs passes.
    const HWND find = word.host.Send("officedlg", {{"name", "find"}}).Wnd("wnd");
    ASSERT_TRUE(find);
    EXPECT_TRUE(word.KeyArrives('A', "", find));
    word.host.Close(find);
    word.host.Activate(word.doc);

    // The controller lifts the protection: everything passes.
    word.Unprotect();
    EXPECT_TRUE(word.KeyArrives('A'));
    EXPECT_TRUE(word.KeyArrives('P', "ctrl"));
}

TEST(MessageHook, PrintKeysFollowThePrintRight) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    word.Protect("PR", 0x6102);
    ASSERT_TRUE(word.HookMessages());
    // The print right lets Ctrl+P and Ctrl+Shift+F12 through, also with "R".
    EXPECT_TRUE(word.KeyArrives('P', "ctrl"));
    EXPECT_TRUE(word.KeyArrives(VK_F12, "ctrl,shift"));
    EXPECT_FALSE(word.KeyArrives('A'));
    EXPECT_FALSE(word.KeyArrives(VK_F1));  // help is a reading key only in version 12
    // Without it (and without "R") they are refused, typing is not.
    word.Letters("C");
    EXPECT_FALSE(word.KeyArrives('P', "ctrl"));
    EXPECT_FALSE(word.KeyArrives(VK_F12, "ctrl,shift"));
    EXPECT_TRUE(word.KeyArrives('P', "ctrl,shift"));
    EXPECT_TRUE(word.KeyArrives('A'));
    // The all-rights letter lifts every key rule.
    word.Letters("A");
    EXPECT_TRUE(word.KeyArrives('P', "ctrl"));
    EXPECT_TRUE(word.KeyArrives(VK_F11, "alt"));
}

// Enter in a save or print-to-file dialog does not confirm it.
TEST(MessageHook, EnterDoesNotConfirmASaveDialog) {
    WindowHost word;
    ASSERT_TRUE(word.Start("word11"));
    word.Protect("P", 0x6103);
    ASSERT_TRUE(word.HookMessages());
    for (const char* title : {"Save As", "Print to File"}) {
        hosts::Reply d;
        word.host.Dialog(title, nullptr, false, "panel:", &d);
        const HWND pane = d.Wnd("c0");
        ASSERT_TRUE(pane) << title;
        EXPECT_FALSE(word.KeyArrives(VK_RETURN, "", pane)) << title;
        EXPECT_TRUE(word.KeyArrives('A', "", pane)) << title;
        word.host.Close(d.Wnd("dlg"));
    }
}

TEST(MessageHook, SpreadsheetWithWLosesF12) {
    WindowHost excel;
    ASSERT_TRUE(excel.Start("excel11", "C:\\ZELFILETEMP\\(ZEL-0002)budget.xls"));
    excel.Protect("PW", 0x6104);
    ASSERT_TRUE(excel.HookMessages());
    EXPECT_FALSE(excel.KeyArrives(VK_F12));
    EXPECT_TRUE(excel.KeyArrives('A'));
    excel.Letters("P");
    EXPECT_TRUE(excel.KeyArrives(VK_F12));
}

TEST(MessageHook, ReadOnlyPdfKeepsFindOnly) {
    WindowHost pdf;
    ASSERT_TRUE(pdf.Start("acrobat9", "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
    pdf.Protect("R", 0x6105);
    ASSERT_TRUE(pdf.HookMessages());
    EXPECT_TRUE(pdf.KeyArrives('F', "ctrl"));
    EXPECT_TRUE(pdf.KeyArrives('A'));
    EXPECT_TRUE(pdf.KeyArrives(VK_NEXT));
    EXPECT_FALSE(pdf.KeyArrives('C', "ctrl"));
    EXPECT_FALSE(pdf.KeyArrives('P', "ctrl,shift"));
}

// PrintScreen empties the clipboard in an ordinary program too.
TEST(MessageHook, PrintScreenEmptiesTheClipboardInAnOrdinaryProgram) {
    WindowHost plain;
    ASSERT_TRUE(plain.Start("plain", "C:\\docs\\notes.txt"));
    ASSERT_TRUE(plain.HookMessages());
    ASSERT_EQ(1, plain.host.Send("copy", {{"text", "screen shot"}}).Num("set"));
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    // Another key leaves it.
    EXPECT_TRUE(plain.KeyArrives('A'));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    // PrintScreen reaches the program, and the clipboard is empty after it.
    EXPECT_TRUE(plain.KeyArrives(VK_SNAPSHOT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ(0, CountClipboardFormats());
}

// Alt+Tab typed in any program is noted for the drag rules of the protected
// ones; Tab alone, and Alt with another key, are not.
TEST(MessageHook, AltTabIsNotedInAnOrdinaryProgram) {
    SharedSection* section = testing_support::SharedSectionOf(GetModuleHandleA("gatrel"));
    ASSERT_NE(nullptr, section);
    WindowHost plain;
    ASSERT_TRUE(plain.Start("plain", "C:\\docs\\notes.txt"));
    ASSERT_TRUE(plain.HookMessages());
    section->bAltTabPressed = 0;
    EXPECT_TRUE(plain.KeyArrives(VK_TAB));
    EXPECT_TRUE(plain.KeyArrives('A', "alt"));
    EXPECT_EQ(0u, section->bAltTabPressed);
    plain.KeyArrives(VK_TAB, "alt");
    EXPECT_EQ(1u, section->bAltTabPressed);
    section->bAltTabPressed = 0;
}

// Clicks: the PDF application's right button and the presentation program's
// double click.
TEST(MessageHook, ClicksThatOpenMenusOrObjectsAreRefused) {
    WindowHost pdf;
    ASSERT_TRUE(pdf.Start("acrobat9", "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
    pdf.Protect("P", 0x6106);
    ASSERT_TRUE(pdf.HookMessages());
    auto click = [](WindowHost& h, const char* button, bool dbl) {
        h.host.Events();
        h.host.Send("click", {{"wnd", Hex(h.view)}, {"button", button}, {"double", dbl ? "1" : "0"}});
        return h.host.Events();
    };
    EXPECT_FALSE(HasEvent(click(pdf, "right", false), "mouse:"));
    EXPECT_TRUE(HasEvent(click(pdf, "left", false), "mouse:"));
    pdf.Letters("A");
    EXPECT_TRUE(HasEvent(click(pdf, "right", false), "mouse:"));

    WindowHost ppt;
    ASSERT_TRUE(ppt.Start("ppt11", "C:\\ZELFILETEMP\\(ZEL-0004)deck.ppt"));
    ppt.Protect("R", 0x6107);
    ASSERT_TRUE(ppt.HookMessages());
    // A double click, and the presses and releases within a second of it.
    const std::vector<std::string> ev = click(ppt, "left", true);
    const std::string at = "mouse:" + Hex(ppt.view);
    EXPECT_FALSE(HasEvent(ev, at + ":0x203")) << ev.size();
    EXPECT_FALSE(HasEvent(click(ppt, "left", false), at));
    EXPECT_FALSE(HasEvent(click(ppt, "right", false), at));
    Sleep(1100);
    EXPECT_TRUE(HasEvent(click(ppt, "left", false), at + ":0x201"));
    ppt.Letters("P");
    EXPECT_TRUE(HasEvent(click(ppt, "left", true), at + ":0x203"));
}

}  // namespace
