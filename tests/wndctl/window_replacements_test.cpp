// The three replaced window functions as the applications call them:
// TranslateAccelerator in the presentation program, EnableMenuItem in the PDF
// application, GetCursorPos in the spreadsheet; elsewhere the system's own.
#include "tests/wndctl/window_host.h"

namespace {

using wndtest::HasEvent;
using wndtest::Hex;
using wndtest::WindowHost;

// The host's accelerator commands (tests/hosts/README.md).
constexpr int kF12 = 0x9002, kCtrlO = 0x9003, kCtrlN = 0x9004, kCtrlF1 = 0x9005, kAltF11 = 0x9006,
              kCtrlShiftF12 = 0x9007, kCtrlAltF2 = 0x9009, kCtrlC = 0x900B, kF1 = 0x900E;

// Whether the key's accelerator command reached the application.
bool Translated(WindowHost& app, int vk, const std::string& mods, int command) {
    return HasEvent(app.Key(vk, mods), "command:" + Hex(GetAncestor(app.doc, GA_ROOT)) + ":" + std::to_string(command));
}

struct Shortcut {
    int vk;
    const char* mods;
    int command;
};

TEST(WindowReplacements, PresentationShortcutsPerVersionAndLetters) {
    const Shortcut kAlwaysConsumed[] = {
        {'O', "ctrl", kCtrlO}, {'N', "ctrl", kCtrlN}, {VK_F1, "ctrl", kCtrlF1},
        {VK_F11, "alt", kAltF11}, {VK_F2, "ctrl,alt", kCtrlAltF2},
    };
    struct Run {
        const char* variant;
        std::vector<std::string> args;
    };
    // Version 12 and 11, and 11 with an application that translates with the ANSI form.
    for (const Run& run : {Run{"ppt12", {}}, Run{"ppt11", {}}, Run{"ppt11", {"--ansi-loop"}}}) {
        SCOPED_TRACE(std::string(run.variant) + (run.args.empty() ? "" : " ansi"));
        const bool v12 = std::string(run.variant) == "ppt12";
        WindowHost ppt;
        ASSERT_TRUE(ppt.Start(run.variant, "C:\\ZELFILETEMP\\(ZEL-0004)deck.ppt", run.args));
        // Not protected: every shortcut is the application's.
        EXPECT_TRUE(Translated(ppt, VK_F12, "", kF12));
        EXPECT_TRUE(Translated(ppt, 'O', "ctrl", kCtrlO));
        for (const char* letters : {"R", "P", "A"}) {
            SCOPED_TRACE(letters);
            ppt.Protect(letters, 0x6301);
            const bool all = std::string(letters) == "A", print = all || std::string(letters) == "P";
            for (const Shortcut& s : kAlwaysConsumed) EXPECT_FALSE(Translated(ppt, s.vk, s.mods, s.command)) << s.vk;
            // Read-only: the application's own message hooks (its watch
            // thread's) take every key but the reading ones first.
            const bool readOnly = std::string(letters) == "R";
            EXPECT_EQ(v12 && !readOnly, Translated(ppt, VK_F12, "", kF12));
            EXPECT_EQ(v12, Translated(ppt, VK_F1, "", kF1));
            EXPECT_EQ(print, Translated(ppt, VK_F12, "ctrl,shift", kCtrlShiftF12));
            EXPECT_EQ(!readOnly, Translated(ppt, 'C', "ctrl", kCtrlC));
        }
    }
}

// The PDF application's menus: the listed commands of the detected version
// stay greyed while a limited document is in front, by command or position.
TEST(WindowReplacements, PdfMenuCommandsFollowTheDetectedVersionsList) {
    struct Version {
        const char* variant;
        UINT print;   // a print command of its list
        UINT listed;  // another command of its list
    };
    for (const Version& v : {Version{"acrobat9", 6027, 6012}, Version{"acrobat7", 6018, 6423}}) {
        SCOPED_TRACE(v.variant);
        WindowHost pdf;
        ASSERT_TRUE(pdf.Start(v.variant, "C:\\ZELFILETEMP\\(ZEL-0003)terms.pdf"));
        // Positions: 0 print, 1 listed, 2 unlisted, 3 the command whose id is 1.
        const std::string ids = std::to_string(v.print) + "," + std::to_string(v.listed) + ",7000,1";
        const hosts::Reply menu = pdf.host.Send("menu", {{"wnd", Hex(pdf.frame)}, {"ids", ids}, {"grayed", std::to_string(v.listed)}});
        const std::string popup = menu.Str("popup");
        auto enable = [&](UINT item, UINT flags) {
            pdf.host.Call("user32.dll", "EnableMenuItem", {popup, std::to_string(item), std::to_string(flags)});
        };
        auto greyed = [&](UINT id) {
            return (pdf.host.Call("user32.dll", "GetMenuState", {popup, std::to_string(id), "0"}).Num("uret") &
                    MF_GRAYED) != 0;
        };
        // Nothing protected: every call enables; by command, the command it names.
        enable(1, MF_BYCOMMAND | MF_GRAYED);
        EXPECT_FALSE(greyed(1));
        EXPECT_TRUE(greyed(v.listed)) << "the item at position 1 was changed";
        enable(2, MF_BYPOSITION | MF_GRAYED);
        EXPECT_FALSE(greyed(7000));

        pdf.Protect("C", 0x6302);
        ASSERT_TRUE(pdf.host.IsLimitedZelDoc().answer);
        enable(v.print, MF_BYCOMMAND | MF_ENABLED);
        EXPECT_TRUE(greyed(v.print));
        enable(1, MF_BYPOSITION | MF_ENABLED);
        EXPECT_TRUE(greyed(v.listed));
        enable(7000, MF_BYCOMMAND | MF_GRAYED);
        EXPECT_TRUE(greyed(7000)) << "an unlisted command is as the caller asked";
        enable(7000, MF_BYCOMMAND | MF_ENABLED);
        EXPECT_FALSE(greyed(7000));

        // With the print right the print commands are the application's.
        pdf.Letters("P");
        pdf.host.IsLimitedZelDoc();
        enable(v.print, MF_BYCOMMAND | MF_ENABLED);
        EXPECT_FALSE(greyed(v.print));
        enable(v.listed, MF_BYCOMMAND | MF_ENABLED);
        EXPECT_TRUE(greyed(v.listed));
        // All rights: enabled by position again.
        pdf.Letters("A");
        enable(1, MF_BYPOSITION | MF_GRAYED);
        EXPECT_FALSE(greyed(v.listed));
    }
}

// GetCursorPos as the host's thread sees it.
POINT CursorSeenBy(WindowHost& app) {
    const std::string hex = app.host.Call("user32.dll", "GetCursorPos", {"b:8"}).Str("out0");
    BYTE b[8] = {};
    for (int i = 0; i < 8 && 2 * i + 1 < static_cast<int>(hex.size()); ++i)
        b[i] = static_cast<BYTE>(strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    POINT p;
    memcpy(&p, b, sizeof p);
    return p;
}

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// The spreadsheet: a drag out of a protected document without the copy right
// sees the pointer at the press point until the button is released and the
// pointer moves more than a second later.
TEST(WindowReplacements, SpreadsheetPointerIsPinnedWhileADragLeavesTheDocument) {
    WindowHost excel;
    ASSERT_TRUE(excel.Start("excel11", "C:\\ZELFILETEMP\\(ZEL-0002)budget.xls"));
    ASSERT_TRUE(excel.HookMessages());
    RECT frame{}, doc{};
    GetWindowRect(excel.frame, &frame);
    GetWindowRect(excel.doc, &doc);
    const POINT outside{frame.right + 20, frame.top + 20};
    ASSERT_LT(outside.x, GetSystemMetrics(SM_CXSCREEN));
    const POINT inside{doc.left + 30, doc.top + 30};
    // As the application drags: the pointer captured from the press to the release.
    auto mouse = [&](const char* action, POINT at) {
        excel.host.Send("mouse", {{"action", action}, {"wnd", Hex(excel.doc)}, {"capture", "1"},
                                  {"x", std::to_string(at.x)}, {"y", std::to_string(at.y)}});
    };
    for (const char* letters : {"P", "CP"}) {
        SCOPED_TRACE(letters);
        excel.host.Activate(excel.doc);
        excel.Protect(letters, 0x6303);
        const bool pinned = std::string(letters) == "P";
        mouse("down", inside);
        mouse("move", outside);
        EXPECT_TRUE(Same(pinned ? inside : outside, CursorSeenBy(excel)));
        mouse("up", outside);
        EXPECT_TRUE(Same(pinned ? inside : outside, CursorSeenBy(excel)));
        // The pointer comes back and moves a second after the release: free.
        Sleep(1100);
        const POINT back{inside.x + 10, inside.y + 10};
        mouse("move", back);
        EXPECT_TRUE(Same(back, CursorSeenBy(excel)));
    }
}

// Everywhere else the three functions answer as the system's.
TEST(WindowReplacements, OtherApplicationsMeetTheSystemsOwnFunctions) {
    for (const char* variant : {"word11", "plain"}) {
        SCOPED_TRACE(variant);
        WindowHost app;
        ASSERT_TRUE(app.Start(variant));
        app.Protect("R", 0x6304);
        // The word processor's own message hooks (its watch thread's) take
        // the keys of its read-only document before any translation.
        const bool readOnlyKeys = std::string(variant) == "word11";
        EXPECT_EQ(!readOnlyKeys, Translated(app, VK_F12, "", kF12));
        EXPECT_EQ(!readOnlyKeys, Translated(app, 'O', "ctrl", kCtrlO));
        const std::string popup = app.host.Send("menu", {{"wnd", Hex(app.frame)}, {"ids", "6027,6012"}}).Str("popup");
        app.host.Call("user32.dll", "EnableMenuItem", {popup, "6027", std::to_string(MF_BYCOMMAND | MF_GRAYED)});
        EXPECT_EQ(static_cast<long long>(MF_GRAYED),
                  app.host.Call("user32.dll", "GetMenuState", {popup, "6027", "0"}).Num("uret") & MF_GRAYED);
        EXPECT_EQ(static_cast<long long>(MF_ENABLED),
                  app.host.Call("user32.dll", "EnableMenuItem", {popup, "1", std::to_string(MF_BYPOSITION | MF_GRAYED)})
                      .Num("uret"));
        EXPECT_NE(0, app.host.Call("user32.dll", "GetMenuState", {popup, "6012", "0"}).Num("uret") & MF_GRAYED);
        RECT doc{};
        GetWindowRect(app.doc, &doc);
        app.host.Send("mouse", {{"action", "down"}, {"wnd", Hex(app.doc)}});
        const POINT away{doc.right + 15, doc.top + 15};
        app.host.Send("mouse", {{"action", "move"}, {"x", std::to_string(away.x)}, {"y", std::to_string(away.y)}});
        EXPECT_TRUE(Same(away, CursorSeenBy(app)));
        app.host.Send("mouse", {{"action", "up"}, {"x", std::to_string(away.x)}, {"y", std::to_string(away.y)}});
    }
}

}  // namespace
