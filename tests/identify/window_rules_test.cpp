// Title and class rules of dialogs, and windows inside registered documents.
#include "identify/window_rules.h"
#include "store_fixture.h"

namespace {

using hosts::HostClient;
using hosts::Reply;

TEST(SaveTitles, ChineseAndEnglishSaveAndPrintToFileTitles) {
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("\xC1\xED\xB4\xE6\xCE\xAA"));        // save as
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("\xB1\xA3\xB4\xE6\xCE\xC4\xBC\xFE"));  // save file
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("\xB4\xF2\xD3\xA1\xB5\xBD\xCE\xC4\xBC\xFE"));  // print to file
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("SAVE AS"));
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("PRINT TO FILE"));
    EXPECT_TRUE(testlib::Dll().IsSaveDlgTitle("AUTOSAVE SETTINGS"));
    // Callers upper-case the title first: the search itself is case-sensitive.
    EXPECT_FALSE(testlib::Dll().IsSaveDlgTitle("Save As"));
    EXPECT_FALSE(testlib::Dll().IsSaveDlgTitle("OPEN"));
    EXPECT_FALSE(testlib::Dll().IsSaveDlgTitle("\xB4\xF2\xD3\xA1"));  // "print" alone
    EXPECT_FALSE(testlib::Dll().IsSaveDlgTitle(""));
    EXPECT_FALSE(testlib::Dll().IsSaveDlgTitle(nullptr));
}

TEST(DialogClasses, OfficeDialogClassesTrimmedOfSpaces) {
    EXPECT_TRUE(testlib::Dll().IsDialogClass("#32770"));
    EXPECT_TRUE(testlib::Dll().IsDialogClass("  bosa_sdm_XL9  "));
    EXPECT_TRUE(testlib::Dll().IsDialogClass("bosa_sdm_Microsoft Office Word 11.0"));
    EXPECT_TRUE(testlib::Dll().IsDialogClass("screenClass"));
    EXPECT_TRUE(testlib::Dll().IsDialogClass("x#32770y"));
    EXPECT_FALSE(testlib::Dll().IsDialogClass("bosa_sdm_Microsoft Office Word 12.0"));
    EXPECT_FALSE(testlib::Dll().IsDialogClass("bosa_sdm_xl9"));
    EXPECT_FALSE(testlib::Dll().IsDialogClass("OpusApp"));
    EXPECT_FALSE(testlib::Dll().IsDialogClass("   "));
    EXPECT_FALSE(testlib::Dll().IsDialogClass(nullptr));
}

class WndInDoc : public idtest::StoreTest {};

TEST_F(WndInDoc, WindowsInsideARegisteredDocumentWindow) {
    HostClient word;
    ASSERT_TRUE(word.Start("word11")) << word.LastError();
    Reply full;
    HWND doc = word.OpenDoc("C:\\w\\a.doc", &full);
    HWND view = full.Wnd("view");
    HWND frame = full.Wnd("frame");
    Add(word.Pid(), doc, "CP", 1);

    MSG msg{};
    _ZEL_HOOK_INFO_ rec{};
    msg.hwnd = view;  // the editing window below the document window
    EXPECT_TRUE(testlib::Dll().IsWndInZelDoc(&msg, rec));
    EXPECT_EQ(idtest::H(doc), rec.hDocWnd);
    EXPECT_STREQ("CP", rec.szPermission);

    rec = {};
    msg.hwnd = doc;
    EXPECT_TRUE(testlib::Dll().IsWndInZelDoc(&msg, rec));
    rec = {};
    msg.hwnd = frame;  // above the document window
    EXPECT_FALSE(testlib::Dll().IsWndInZelDoc(&msg, rec));
    EXPECT_EQ(0u, rec.dwProcessId);
    msg.hwnd = nullptr;
    EXPECT_FALSE(testlib::Dll().IsWndInZelDoc(&msg, rec));
    EXPECT_FALSE(testlib::Dll().IsWndInZelDoc(nullptr, rec));
}

}  // namespace
