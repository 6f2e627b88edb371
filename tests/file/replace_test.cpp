// The application's last save step, ReplaceFileW, in the protected area: the
// guarded replace with its retries and its handshake with the Ostrum process,
// the redirected replacement, and the copy that completes a replace in the
// client's folders.
#include "tests/file/file_fixture.h"
#include "tests/file/ostrum_standin.h"

namespace filetest {
namespace {

class GuardedReplace : public FileGuardTest {
protected:
    void SetUp() override {
        FileGuardTest::SetUp();
        folder_ = FileTemp() + "\\FILESXLS";
        CreateDirectoryA(folder_.c_str(), nullptr);
        doc_ = folder_ + "\\(ZEL-0003)q3.xls";
        replacement_ = folder_ + "\\A1B2C3D4";
        for (const std::string& f : {doc_, replacement_, folder_ + "\\q3.bak"}) RemoveLater(f);
        ASSERT_TRUE(testchild::WriteFileBytes(doc_, "old"));
    }
    void TearDown() override {
        FileGuardTest::TearDown();
        RemoveDirectoryA(folder_.c_str());
    }

    HWND StartSpreadsheet(HostClient& excel, const char* letters = "P") {
        HWND doc = StartDoc(excel, "excel12", doc_);
        if (doc) Register(excel, doc, letters, 2, doc_);
        logStart_ = ReadLog("EXCEL").size();
        return doc;
    }
    std::string NewLog() const { return ReadLog("EXCEL").substr(logStart_); }

    Reply Replace(HostClient& host, const std::string& replaced, const std::string& replacement,
                  hosts::Params more = {}) {
        more.insert(more.begin(), {{"op", "replace"}, {"path", replaced}, {"to", replacement}});
        return host.Send("file", more, 60000);
    }

    std::string folder_, doc_, replacement_;
    size_t logStart_ = 0;
    testchild::TempFolder user_{"files_replace"};
};

TEST_F(GuardedReplace, TellsOstrumAndWaitsForItsAnswer) {
    HostClient excel;
    ASSERT_TRUE(StartSpreadsheet(excel));
    const std::string copy = user_.path() + "\\ostrum-copy.xls";
    OstrumStandIn ostrum;
    // Its work takes a while: the save must wait for it.
    ASSERT_TRUE(ostrum.Start("--folder=filesxls --slow=1500 --copy-from=\"" + doc_ +
                             "\" --copy-to=\"" + copy + "\""));
    // Held open here, so that it outlives the stand-in.
    HANDLE answered = OpenEventA(SYNCHRONIZE, FALSE, "HOOKSaveZELOfficeDocFILESXLS");
    ASSERT_TRUE(answered);
    ASSERT_TRUE(testchild::WriteFileBytes(replacement_, "new"));
    Reply r = Replace(excel, doc_, replacement_);
    EXPECT_EQ(1, r.Num("ret")) << r.Num("err");
    EXPECT_TRUE(ostrum.Saw("saved folder=FILESXLS round=1")) << ostrum.Seen();
    EXPECT_TRUE(ostrum.Saw("answered round=1"))
        << "the save returned before the answer: " << ostrum.Seen();
    EXPECT_EQ("new", testchild::ReadFileBytes(doc_));
    EXPECT_EQ("new", testchild::ReadFileBytes(copy)) << "Ostrum worked on the saved file";
    const std::string log = NewLog();
    EXPECT_NE(std::string::npos, log.find("[Detour_ReplaceFileW]:ReplacedFileName" + Upper(doc_)));
    EXPECT_NE(std::string::npos,
              log.find("[Detour_ReplaceFileW]:ReplacementFileName" + Upper(replacement_)));
    EXPECT_EQ(std::string::npos, log.find("try again"));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(answered, 0))
        << "the answer was reset";
    CloseHandle(answered);
}

TEST_F(GuardedReplace, FailuresAreRetriedTwoHundredTimesAndReportedAsTheSystemReportsThem) {
    HostClient excel;
    ASSERT_TRUE(StartSpreadsheet(excel));
    OstrumStandIn ostrum;
    ASSERT_TRUE(ostrum.Start("--folder=FILESXLS"));
    // No replacement was written: every attempt fails.
    Reply r = Replace(excel, doc_, replacement_);
    EXPECT_EQ(0, r.Num("ret"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, r.Num("err"));
    const std::string log = NewLog();
    EXPECT_EQ(200u, Count(log, "[Detour_ReplaceFileW]: Trampoline_ReplaceFileW Failed,try again "));
    EXPECT_NE(std::string::npos, log.find("try again 200!"));
    EXPECT_FALSE(ostrum.Saw("saved")) << "no event is touched after a failed save";
    EXPECT_EQ("old", testchild::ReadFileBytes(doc_));
}

// When the replaced file is already gone or renamed, only the caller can
// recover the replacement: it gets the code that says so, at once.
TEST_F(GuardedReplace, ReplacementThatCannotBeMovedEndsTheRetriesAtOnce) {
    HostClient excel;
    ASSERT_TRUE(StartSpreadsheet(excel));
    // A replacement on another file system (tmpfs), named through the
    // protected area: the last step of the replace, a rename, cannot work.
    std::string up;
    for (char c : FileTemp().substr(2)) up += c == '\\' ? "..\\" : "";
    const std::string other =
        FileTemp() + "\\" + up + "dev\\shm\\gatrel_files_" + std::to_string(GetCurrentProcessId());
    if (!CreateDirectoryA(other.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        GTEST_SKIP() << "no /dev/shm";
    const std::string replacement = other + "\\new.xls";
    RemoveLater(replacement);
    const std::string backup = folder_ + "\\q3.bak";
    struct Case {
        const char* backup;
        long long error;
    } cases[] = {{nullptr, ERROR_UNABLE_TO_MOVE_REPLACEMENT},
                 {backup.c_str(), ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ASSERT_TRUE(testchild::WriteFileBytes(doc_, "old"));
        ASSERT_TRUE(testchild::WriteFileBytes(replacement, "new"));
        hosts::Params more;
        if (c.backup) more.push_back({"backup", c.backup});
        const size_t before = ReadLog("EXCEL").size();
        Reply r = Replace(excel, doc_, replacement, more);
        if (r.Num("ret") == 1) GTEST_SKIP() << "/dev/shm is on the same file system";
        EXPECT_EQ(c.error, r.Num("err"));
        EXPECT_EQ(std::string::npos, ReadLog("EXCEL").substr(before).find("try again"));
        EXPECT_EQ("new", testchild::ReadFileBytes(replacement))
            << "the replacement is there to recover";
    }
    EXPECT_EQ("old", testchild::ReadFileBytes(backup));
    DeleteFileA(replacement.c_str());
    RemoveDirectoryA(other.c_str());
}

// The word processor wrote its replacement under the redirected name; a file
// left under the name it knows must not be saved in its place.
TEST_F(GuardedReplace, RedirectedReplacementIsPutBackOverALeftover) {
    const std::string folder = FileTemp() + "\\FILESDOC";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string doc = folder + "\\(ZEL-0004)plan.doc";
    RemoveLater(doc);
    ASSERT_TRUE(testchild::WriteFileBytes(doc, "old"));
    HostClient word;
    HWND wnd = StartDoc(word, "word11", doc);
    ASSERT_TRUE(wnd);
    Register(word, wnd, "P", 1, doc);
    const std::string own = user_.path() + "\\~WRL0003.tmp";
    ASSERT_TRUE(testchild::WriteFileBytes(own, "left over"));
    ASSERT_EQ(1, File(word, "create", own, {{"text", "fresh"}}).Num("opened"));
    Reply r = Replace(word, doc, own);
    EXPECT_EQ(1, r.Num("ret")) << r.Num("err");
    EXPECT_EQ("fresh", testchild::ReadFileBytes(doc));
    EXPECT_EQ("[]", Joined(List(user_.path())));
    EXPECT_EQ("[]", Joined(NewInProtectPath()));
    RemoveDirectoryA(folder.c_str());
}

TEST_F(GuardedReplace, ClientFoldersAreCompletedByCopyingElsewhereTheSystemReplaces) {
    const std::string clientDoc = ClientDoc() + "\\files_test_deck.ppt";
    RemoveLater(clientDoc);
    HostClient ppt, word;
    HWND pptDoc = StartDoc(ppt, "ppt11", clientDoc);
    HWND wordDoc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(pptDoc && wordDoc);
    Register(ppt, pptDoc, "P", 3, clientDoc);
    Register(word, wordDoc, "P", 1);
    // The presentation program in the client's folder: the replacement is
    // copied over the document and stays.
    ASSERT_TRUE(testchild::WriteFileBytes(clientDoc, "old"));
    const std::string pptNew = user_.path() + "\\new.ppt";
    ASSERT_TRUE(testchild::WriteFileBytes(pptNew, "new"));
    EXPECT_EQ(1, Replace(ppt, clientDoc, pptNew).Num("ret"));
    EXPECT_EQ("new", testchild::ReadFileBytes(clientDoc));
    EXPECT_EQ("new", testchild::ReadFileBytes(pptNew));
    // The word processor outside the protected area: the system's replace.
    const std::string letter = user_.path() + "\\letter.doc",
                      letterNew = user_.path() + "\\letter.new";
    ASSERT_TRUE(testchild::WriteFileBytes(letter, "old"));
    ASSERT_TRUE(testchild::WriteFileBytes(letterNew, "new"));
    EXPECT_EQ(1, Replace(word, letter, letterNew).Num("ret"));
    EXPECT_EQ("new", testchild::ReadFileBytes(letter));
    EXPECT_FALSE(Exists(letterNew));
}

}  // namespace
}  // namespace filetest
