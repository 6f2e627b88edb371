// The document object's answer in each application stand-in: which document
// is in front, through dialogs, in the background, and without any window.
#include "store_fixture.h"

namespace {

using hosts::DocAnswer;
using hosts::HostClient;
using hosts::Reply;
using idtest::H;
using idtest::StartWithLibrary;

struct AppCase {
    const char* variant;
    std::vector<std::string> args;
    int docType;
};

std::string Name(const AppCase& c) {
    std::string n = c.variant;
    for (const auto& a : c.args) n += a.find("sdi") != std::string::npos ? "_sdi" : "_mdi";
    return n;
}

void PrintTo(const AppCase& c, std::ostream* os) { *os << Name(c); }

class DocQuery : public idtest::StoreTest, public ::testing::WithParamInterface<AppCase> {};

TEST_P(DocQuery, AnswersForTheDocumentInFront) {
    const AppCase& c = GetParam();
    HostClient host;
    ASSERT_TRUE(StartWithLibrary(host, c.variant, c.args));
    EXPECT_EQ(c.docType, host.Send("doc").Num("type"));

    Reply a;
    HWND docA = host.OpenDoc("C:\\ZELFILETEMP\\(ZEL-11)first.doc", &a);
    HWND frameA = a.Wnd("frame");
    HWND docB = host.OpenDoc("C:\\docs\\plain.doc");
    ASSERT_TRUE(docA && docB);
    Add(host.Pid(), docA, "CP", static_cast<uint8_t>(c.docType), "C:\\ZELFILETEMP\\(ZEL-11)first.doc");

    // The unprotected document is in front.
    EXPECT_EQ(docB, host.FindDoc(docB));
    DocAnswer q = host.IsZelDoc(docB);
    ASSERT_TRUE(q.ok) << q.error;
    EXPECT_FALSE(q.answer);
    EXPECT_EQ(0u, q.rec.dwProcessId);  // the record stays as the caller zeroed it

    // The protected one is in front: true, with its record.
    q = host.IsZelDoc(docA);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("CP", q.perm);
    EXPECT_EQ(H(docA), q.rec.hDocWnd);
    EXPECT_EQ(host.Pid(), q.rec.dwProcessId);
    EXPECT_STREQ("C:\\ZELFILETEMP\\(ZEL-11)first.doc", q.rec.szFilePath);
    EXPECT_TRUE(host.IsLimitedZelDoc(docA).answer);

    // Its Save As dialog in front, owned by the frame: still that document.
    HWND save = host.Dialog("Save As", frameA);
    ASSERT_NE(nullptr, save);
    EXPECT_EQ(frameA, GetWindow(save, GW_OWNER));
    EXPECT_EQ(docA, host.FindDoc(save));
    q = host.IsZelDoc(save);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ(H(docA), q.rec.hDocWnd);
    host.Close(save);

    // A dialog without owner: the frame found last stands in for it.
    EXPECT_EQ(docA, host.FindDoc(docA));
    HWND loose = host.Dialog("Save As", nullptr, /*unowned=*/true);
    ASSERT_EQ(nullptr, GetWindow(loose, GW_OWNER));
    EXPECT_EQ(docA, host.FindDoc(loose));
    EXPECT_TRUE(host.IsZelDoc(loose).answer);
    host.Close(loose);

    // The application in the background, nothing active: the last frame again.
    EXPECT_EQ(docA, host.FindDoc(docA));
    ASSERT_TRUE(host.Background());
    EXPECT_EQ(docA, host.FindDoc());
    q = host.IsZelDoc();
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("CP", q.perm);

    // All rights: protected, but not limited.
    store.SetHookInfo(q.rec.dwOwnerPid, "AP");
    EXPECT_TRUE(host.IsZelDoc(docA).answer);
    EXPECT_FALSE(host.IsLimitedZelDoc(docA).answer);
    store.SetHookInfo(q.rec.dwOwnerPid, "CP");

    // No document window left, but the process has its record: "W", window 0.
    ASSERT_TRUE(host.Close(docB));
    ASSERT_TRUE(host.Close(docA));
    EXPECT_EQ(nullptr, host.FindDoc());
    q = host.IsZelDoc();
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("W", q.perm);
    EXPECT_EQ(0u, q.rec.hDocWnd);
    EXPECT_TRUE(host.IsLimitedZelDoc().answer);
    EXPECT_EQ(1, host.Context().Num("hashookinfo"));

    // Without that record the answer is false.
    store.DelHookInfo(q.rec.dwOwnerPid);
    EXPECT_FALSE(host.IsZelDoc().answer);
    EXPECT_EQ(0, host.Context().Num("hashookinfo"));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, DocQuery,
    ::testing::Values(AppCase{"word11", {}, 1}, AppCase{"word12", {}, 1}, AppCase{"excel11", {}, 2},
                      AppCase{"excel12", {}, 2}, AppCase{"ppt11", {}, 3}, AppCase{"ppt12", {}, 3},
                      AppCase{"acrobat6", {}, 4}, AppCase{"acrord7", {}, 4},
                      AppCase{"acrobat8", {"--layout=mdi"}, 4}, AppCase{"acrord8", {"--layout=sdi"}, 4},
                      AppCase{"acrobat9", {}, 4}, AppCase{"acrord_nodot", {}, 4}),
    [](const auto& info) { return Name(info.param); });

// Two applications of one kind, one of them in front: the other answers for
// its own documents, never by the letters of the document in front of it.
class TwoInstances : public idtest::StoreTest, public ::testing::WithParamInterface<const char*> {};
class TwoInstancesOfPdf : public idtest::StoreTest {};

TEST_P(TwoInstances, TheApplicationBehindNeverTakesTheOthersDocument) {
    HostClient behind, front;
    ASSERT_TRUE(StartWithLibrary(behind, GetParam()));
    ASSERT_TRUE(StartWithLibrary(front, GetParam()));
    HWND mine = behind.OpenDoc("C:\\ZELFILETEMP\\(ZEL-12)mine.doc");
    HWND theirs = front.OpenDoc("C:\\docs\\theirs.doc");
    ASSERT_TRUE(mine && theirs);
    const uint8_t type = static_cast<uint8_t>(behind.Send("doc").Num("type"));
    Add(front.Pid(), theirs, "AP", type, "C:\\ZELFILETEMP\\(ZEL-13)theirs.doc");

    // Never in front since the library came: nothing of its own to answer for,
    // and a process with a protected document then fails closed.
    Add(behind.Pid(), mine, "CP", type, "C:\\ZELFILETEMP\\(ZEL-12)mine.doc");
    ASSERT_EQ(theirs, front.FindDoc(theirs));
    EXPECT_EQ(nullptr, behind.FindDoc());
    DocAnswer q = behind.IsZelDoc();
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("W", q.perm);

    // Once its own document was in front, that one stays its answer.
    ASSERT_EQ(mine, behind.FindDoc(mine));
    ASSERT_EQ(theirs, front.FindDoc(theirs));
    EXPECT_EQ(mine, behind.FindDoc());
    q = behind.IsZelDoc();
    EXPECT_EQ("CP", q.perm);
    EXPECT_EQ(H(mine), q.rec.hDocWnd);
    // The application in front still finds its own.
    EXPECT_EQ("AP", front.IsZelDoc(theirs).perm);
}

INSTANTIATE_TEST_SUITE_P(Hosts, TwoInstances, ::testing::Values("word11", "acrord7"));

// Which layout the PDF application searches is its own: a reader of the other
// layout on the same desktop does not change it.
TEST_F(TwoInstancesOfPdf, TheOtherLayoutOfAnotherReaderDoesNotMislead) {
    HostClient mdi, sdi;
    ASSERT_TRUE(StartWithLibrary(sdi, "acrord8", {"--layout=sdi"}));
    ASSERT_NE(nullptr, sdi.OpenDoc("C:\\docs\\other.pdf"));
    ASSERT_TRUE(StartWithLibrary(mdi, "acrobat8", {"--layout=mdi"}));
    HWND doc = mdi.OpenDoc("C:\\ZELFILETEMP\\(ZEL-14)plan.pdf");
    ASSERT_NE(nullptr, doc);
    Add(mdi.Pid(), doc, "CP", 4, "C:\\ZELFILETEMP\\(ZEL-14)plan.pdf");
    EXPECT_EQ(doc, mdi.FindDoc(doc));
    EXPECT_EQ("CP", mdi.IsZelDoc(doc).perm);
}

class SpreadsheetSearch : public idtest::StoreTest {};

TEST_F(SpreadsheetSearch, HiddenDeskOrSheetGivesNoWindow) {
    HostClient xl;
    ASSERT_TRUE(StartWithLibrary(xl, "excel11"));
    Reply full;
    HWND sheet = xl.OpenDoc("C:\\x\\book.xls", &full);
    HWND frame = full.Wnd("frame");
    ASSERT_EQ(sheet, xl.FindDoc(sheet));
    HWND desk = GetParent(sheet);

    ASSERT_TRUE(xl.Show(desk, SW_HIDE));
    EXPECT_EQ(nullptr, xl.FindDoc(frame));
    ASSERT_TRUE(xl.Show(desk, SW_SHOWNA));
    EXPECT_EQ(sheet, xl.FindDoc(sheet));

    ASSERT_TRUE(xl.Show(sheet, SW_HIDE));
    EXPECT_EQ(nullptr, xl.FindDoc(frame));
    // Without a document window the process record answers.
    Add(xl.Pid(), sheet, "CP", 2);
    DocAnswer q = xl.IsZelDoc(frame);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("W", q.perm);
    EXPECT_EQ(0u, q.rec.hDocWnd);
}

TEST_F(SpreadsheetSearch, DescendantOnlyMatchReturnsTheActiveWindow) {
    HostClient xl;
    ASSERT_TRUE(StartWithLibrary(xl, "excel11"));
    HWND sheet = xl.OpenDoc("C:\\x\\book.xls");
    ASSERT_NE(nullptr, sheet);
    // A window of another class, not owned by the frame, holds a sheet window
    // somewhere below it (an embedded workbook, say).
    HWND popup = xl.CreateWindowOf("HostEmbedFrame", nullptr, false, true);
    HWND pane = xl.CreateWindowOf("HostEmbedPane", popup, true);
    HWND inner = xl.CreateWindowOf("EXCEL7", pane, true);
    ASSERT_TRUE(popup && pane && inner);
    EXPECT_EQ(popup, xl.FindDoc(popup));

    // Without such a descendant nothing is found.
    HWND other = xl.CreateWindowOf("HostEmbedFrame", nullptr, false, true);
    EXPECT_EQ(nullptr, xl.FindDoc(other));
}

class PresentationVersion : public idtest::StoreTest {};

TEST_F(PresentationVersion, ProductVersionChoosesTheFrameClass) {
    {
        HostClient ppt;
        ASSERT_TRUE(StartWithLibrary(ppt, "ppt12"));
        EXPECT_EQ("12.0.6425.1000", ppt.Send("doc").Str("version"));
        HWND doc = ppt.OpenDoc("C:\\p\\a.ppt");
        EXPECT_EQ(doc, ppt.FindDoc(doc));
    }
    {
        HostClient ppt;
        ASSERT_TRUE(StartWithLibrary(ppt, "ppt11"));
        EXPECT_EQ("11.0.5529.0", ppt.Send("doc").Str("version"));
        HWND doc = ppt.OpenDoc("C:\\p\\a.ppt");
        EXPECT_EQ(doc, ppt.FindDoc(doc));
    }
    // The class follows the version, not the window: a 12.0 program with an
    // 11-style frame, and an 11.0 program with a 12-style frame, do not reach
    // their document window. Only the descendant rule answers, with the active
    // frame itself, which no record names.
    for (const auto& [variant, frameClass] :
         {std::pair<const char*, const char*>{"ppt12", "--frame-class=PP11FrameClass"},
          std::pair<const char*, const char*>{"ppt11", "--frame-class=PP12FrameClass"}}) {
        HostClient ppt;
        ASSERT_TRUE(StartWithLibrary(ppt, variant, {frameClass}));
        Reply full;
        HWND doc = ppt.OpenDoc("C:\\p\\a.ppt", &full);
        EXPECT_EQ(full.Wnd("frame"), ppt.FindDoc(doc)) << variant;
        Add(ppt.Pid(), doc, "CP", 3);
        EXPECT_FALSE(ppt.IsZelDoc(doc).answer) << variant;
    }
}

TEST_F(PresentationVersion, WordVersionIsReadButWindowsAreTheSame) {
    HostClient w12;
    ASSERT_TRUE(StartWithLibrary(w12, "word12"));
    EXPECT_EQ("12.0.6425.1000", w12.Send("doc").Str("version"));
    HostClient w11;
    ASSERT_TRUE(StartWithLibrary(w11, "word11"));
    EXPECT_EQ("11.0.8173.0", w11.Send("doc").Str("version"));
    // Programs of other names get no document object.
    HostClient plain;
    ASSERT_TRUE(plain.Start("plain"));
    ASSERT_TRUE(plain.LoadGatrel()) << plain.LastError();
    EXPECT_FALSE(plain.CreateDoc());
    EXPECT_FALSE(plain.Send("iszeldoc").ok);
}

}  // namespace
