// Save-dialog titles under the Chinese ANSI code page: the application shows a
// title in Unicode and the library reads it back as code page 936 bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include "host_client.h"
#include "host_protocol.h"

namespace {

using hosts::HostClient;
using hosts::Reply;

using hosts::ChineseLocale;

// UTF-8 texts of the titles (the host shows them through the wide API).
const char* const kSaveAs = "\xE5\x8F\xA6\xE5\xAD\x98\xE4\xB8\xBA";  // "save as"
const char* const kPrintToFile =
    "\xE6\x89\x93\xE5\x8D\xB0\xE5\x88\xB0\xE6\x96\x87\xE4\xBB\xB6";  // "print to file"
const char* const kSaveDoc = "\xE4\xBF\x9D\xE5\xAD\x98\xE6\x96\x87\xE6\xA1\xA3";  // "save document"
const char* const kOpen = "\xE6\x89\x93\xE5\xBC\x80";  // "open"

Reply TitleCheck(HostClient& host, const char* title) {
    HWND dlg = host.Dialog(title);
    EXPECT_NE(nullptr, dlg) << host.LastError();
    Reply r = host.Send("savetitle", {{"wnd", hostproto::Hex(reinterpret_cast<uintptr_t>(dlg))}});
    host.Close(dlg);
    return r;
}

TEST(CodePage936, ChineseSaveTitlesAreRecognisedFromTheirGbkBytes) {
    HostClient host;
    ASSERT_TRUE(host.Start("word11", {}, ChineseLocale())) << host.LastError();
    ASSERT_EQ(936, host.Send("acp").Num("acp"));
    ASSERT_TRUE(host.LoadGatrel()) << host.LastError();
    host.OpenDoc("C:\\w\\a.doc");

    Reply r = TitleCheck(host, kSaveAs);
    EXPECT_EQ("c1edb4e6ceaa", r.Str("text"));
    EXPECT_EQ(1, r.Num("answer"));
    r = TitleCheck(host, kPrintToFile);
    EXPECT_EQ("b4f2d3a1b5bdcec4bcfe", r.Str("text"));
    EXPECT_EQ(1, r.Num("answer"));
    EXPECT_EQ(1, TitleCheck(host, kSaveDoc).Num("answer"));
    EXPECT_EQ(0, TitleCheck(host, kOpen).Num("answer"));
    // English titles pass after upper-casing, also under this code page.
    r = TitleCheck(host, "Save As");
    EXPECT_EQ("53415645204153", r.Str("upper"));  // "SAVE AS"
    EXPECT_EQ(1, r.Num("answer"));
}

TEST(CodePage936, WesternCodePageCannotCarryTheChineseTitle) {
    HostClient host;
    ASSERT_TRUE(host.Start("word11")) << host.LastError();
    if (host.Send("acp").Num("acp") == 936) GTEST_SKIP() << "default locale is already Chinese";
    ASSERT_TRUE(host.LoadGatrel()) << host.LastError();
    host.OpenDoc("C:\\w\\a.doc");
    Reply r = TitleCheck(host, kSaveAs);
    EXPECT_NE("c1edb4e6ceaa", r.Str("text"));
    EXPECT_EQ(0, r.Num("answer"));
}

}  // namespace
