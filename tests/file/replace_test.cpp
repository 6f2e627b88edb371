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
        logStart_ = ReadLog("EXCEL").size();
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

// Ostrum creates its events granting only what the handshake needs, and
// sends to the application's window before it answers: the save waits for
// the answer, handling what is sent meanwhile, and returns with it.
TEST_F(GuardedReplace, TellsOstrumAndWaitsForItsAnswer) {
    HostClient excel;
    HWND doc = StartSpreadsheet(excel);
    ASSERT_TRUE(doc);
    const std::string copy = user_.path() + "\\ostrum-copy.xls";
    OstrumStandIn ostrum;
    // Its work takes a while: the save must wait for it.
    ASSERT_TRUE(ostrum.Start("--folder=filesxls --slow=1500 --tight-events --send-to=" + Hex(doc) +
                             " --copy-from=\"" + doc_ + "\" --copy-to=\"" + copy + "\""));
    // Held open here, so that it outlives the stand-in.
    HANDLE answered = OpenEventA(SYNCHRONIZE, FALSE, "HOOKSaveZELOfficeDocFILESXLS");
    ASSERT_TRUE(answered);
    ASSERT_TRUE(testchild::WriteFileBytes(replacement_, "new"));
    const DWORD start = GetTickCount();
    Reply r = Replace(excel, doc_, replacement_);
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(1, r.Num("ret")) << r.Num("err");
    EXPECT_LT(took, 30000u) << "the save stalled until the bound";
    EXPECT_TRUE(ostrum.Saw("saved folder=FILESXLS round=1")) << ostrum.Seen();
    EXPECT_TRUE(ostrum.Saw("sent round=1 handled=1")) << ostrum.Seen();
    EXPECT_TRUE(ostrum.Saw("answered round=1")) << "the save returned before the answer: " << ostrum.Seen();
    EXPECT_EQ("new", testchild::ReadFileBytes(doc_));
    EXPECT_EQ("new", testchild::ReadFileBytes(copy)) << "Ostrum worked on the saved file";
    const std::string log = NewLog();
    EXPECT_NE(std::string::npos, log.find("[Detour_ReplaceFileW]:ReplacedFileName" + Upper(doc_)));
    EXPECT_NE(std::string::npos, log.find("[Detour_ReplaceFileW]:ReplacementFileName" + Upper(replacement_)));
    EXPECT_EQ(std::string::npos, log.find("try again"));
    EXPECT_EQ(std::string::npos, log.find("Failed!")) << log;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(answered, 0)) << "the answer was reset";
    CloseHandle(answered);
}

// The retries answer what is sent to the application meanwhile; the failure
// is the system's own.
TEST_F(GuardedReplace, FailuresAreRetriedTwoHundredTimesAndReportedAsTheSystemReportsThem) {
    HostClient excel;
    HWND doc = StartSpreadsheet(excel);
    ASSERT_TRUE(doc);
    OstrumStandIn ostrum;
    ASSERT_TRUE(ostrum.Start("--folder=FILESXLS"));
    // No replacement was written: every attempt fails.
    std::unique_ptr<hosts::PendingReply> pending =
        excel.SendAsync("file", {{"op", "replace"}, {"path", doc_}, {"to", replacement_}});
    for (int i = 0; i < 400 && NewLog().find("try again 2!") == std::string::npos; ++i) Sleep(25);
    DWORD_PTR answer = 0;
    const DWORD start = GetTickCount();
    EXPECT_TRUE(SendMessageTimeoutW(doc, WM_NULL, 0, 0, SMTO_NORMAL, 8000, &answer))
        << "nothing sent to the application is handled while it retries";
    EXPECT_LT(GetTickCount() - start, 8000u);
    Reply r = pending->Get(60000);
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
    // A replacement on another file system (tmpfs, linked into the protected
    // area by the test's set-up): the last step of the replace, a rename,
    // cannot work.
    const std::string other =
        FileTemp() + "\\OTHERVOLUME\\gatrel_files_" + std::to_string(GetCurrentProcessId());
    if (!CreateDirectoryA(other.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        GTEST_SKIP() << "no folder on another file system";
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
        if (r.Num("ret") == 1) GTEST_SKIP() << "the linked folder is on the same file system";
        EXPECT_EQ(c.error, r.Num("err"));
        EXPECT_EQ(std::string::npos, ReadLog("EXCEL").substr(before).find("try again"));
        EXPECT_EQ("new", testchild::ReadFileBytes(replacement)) << "the replacement is there to recover";
    }
    EXPECT_EQ("old", testchild::ReadFileBytes(backup));
    DeleteFileA(replacement.c_str());
    RemoveDirectoryA(other.c_str());
}

// The word processor wrote its replacement under the redirected name: the
// replace takes it from the protected area, so it never comes out into the
// user's folder, not even when the replace fails. When a file under the name
// the application knows is newer, that one is saved and the older goes. A
// backup of a working file's name is a working file too.
TEST_F(GuardedReplace, TheWrittenReplacementIsTakenFromTheProtectedArea) {
    HostClient word;
    HWND wnd = StartDoc(word, "word11", user_.path() + "\\plan.doc");
    ASSERT_TRUE(wnd);
    Register(word, wnd, "P", 1, user_.path() + "\\plan.doc");
    const std::string doc = user_.path() + "\\plan.doc", own = user_.path() + "\\~WRL0003.tmp",
                      backup = user_.path() + "\\Backup of plan.wbk";
    const size_t logStart = ReadLog("WINWORD").size();
    ASSERT_EQ(1, File(word, "create", own, {{"text", "fresh"}}).Num("opened"));
    Reply failed = Replace(word, user_.path() + "\\missing.doc", own);
    EXPECT_EQ(0, failed.Num("ret"));
    EXPECT_EQ("[]", Joined(List(user_.path()))) << "the written copy came out";
    EXPECT_EQ("fresh", File(word, "read", own).Str("text"));

    ASSERT_TRUE(testchild::WriteFileBytes(doc, "old"));
    Reply saved = Replace(word, doc, own, {{"backup", backup}});
    EXPECT_EQ(1, saved.Num("ret")) << saved.Num("err");
    EXPECT_EQ("fresh", testchild::ReadFileBytes(doc));
    EXPECT_EQ("old", File(word, "read", backup).Str("text"));
    EXPECT_NE("", MovedName("BACKUP OF PLAN", word.Pid(), ".WBK")) << Joined(NewInProtectPath());
    EXPECT_EQ("[plan.doc]", Joined(List(user_.path())));

    // Both names hold a replacement; the one in the user's folder is newer.
    ASSERT_EQ(1, File(word, "create", own, {{"text", "older"}}).Num("opened"));
    const std::string moved = ProtectPath() + "\\" + MovedName("~WRL0003", word.Pid(), ".WTM");
    HANDLE h = CreateFileA(moved.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << moved;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart -= 36000000000ull;  // an hour
    const FILETIME hourAgo{ticks.LowPart, ticks.HighPart};
    SetFileTime(h, nullptr, nullptr, &hourAgo);
    CloseHandle(h);
    ASSERT_TRUE(testchild::WriteFileBytes(own, "newer"));
    EXPECT_EQ(1, Replace(word, doc, own).Num("ret"));
    EXPECT_EQ("newer", testchild::ReadFileBytes(doc));
    EXPECT_EQ("", MovedName("~WRL0003", word.Pid(), ".WTM")) << "the older one stayed";
    EXPECT_EQ("[plan.doc]", Joined(List(user_.path())));
    EXPECT_NE(std::string::npos, ReadLog("WINWORD").substr(logStart).find("the newer is used"));
}

// In the client's folder the presentation program's replace is completed by
// copying (beside the document, then moved over it whole): the backup asked
// for is made, and the replacement stays. Elsewhere the word processor's
// replace is the system's.
TEST_F(GuardedReplace, ClientFoldersAreCompletedByCopyingElsewhereTheSystemReplaces) {
    const std::string clientDoc = ClientDoc() + "\\files_test_deck.ppt",
                      backup = ClientDoc() + "\\files_test_deck.bak";
    RemoveLater(clientDoc);
    RemoveLater(backup);
    HostClient ppt, word;
    HWND pptDoc = StartDoc(ppt, "ppt11", clientDoc);
    HWND wordDoc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(pptDoc && wordDoc);
    Register(ppt, pptDoc, "P", 3, clientDoc);
    Register(word, wordDoc, "P", 1);
    ASSERT_TRUE(testchild::WriteFileBytes(clientDoc, "old"));
    const std::string pptNew = user_.path() + "\\new.ppt";
    ASSERT_TRUE(testchild::WriteFileBytes(pptNew, "new"));
    Reply r = Replace(ppt, clientDoc, pptNew, {{"backup", backup}});
    EXPECT_EQ(1, r.Num("ret")) << r.Num("err");
    EXPECT_EQ("new", testchild::ReadFileBytes(clientDoc));
    EXPECT_EQ("old", testchild::ReadFileBytes(backup));
    EXPECT_EQ("new", testchild::ReadFileBytes(pptNew));
    EXPECT_EQ("[files_test_deck.bak, files_test_deck.ppt]", Joined(List(ClientDoc())));
    // The word processor outside the protected area: the system's replace.
    const std::string letter = user_.path() + "\\letter.doc", letterNew = user_.path() + "\\letter.new";
    ASSERT_TRUE(testchild::WriteFileBytes(letter, "old"));
    ASSERT_TRUE(testchild::WriteFileBytes(letterNew, "new"));
    EXPECT_EQ(1, Replace(word, letter, letterNew).Num("ret"));
    EXPECT_EQ("new", testchild::ReadFileBytes(letter));
    EXPECT_FALSE(Exists(letterNew));
}

// The events are named for the folder as it is: a folder whose name the code
// page cannot hold is not the folder of a similar name (its best fit).
TEST_F(GuardedReplace, TheHandshakeIsForTheDocumentsOwnFolder) {
    const std::string folder = FileTemp() + "\\FILES\xC5\xB4";  // U+0174 in UTF-8
    auto write = [&](const std::string& path, const char* text) {
        HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr);
        CloseHandle(h);
    };
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    const std::string doc = folder + "\\(ZEL-0006)w.xls", replacement = folder + "\\F00D0002";
    write(doc, "old");
    write(replacement, "new");
    HostClient excel;
    HWND wnd = StartDoc(excel, "excel12", doc);
    ASSERT_TRUE(wnd);
    Register(excel, wnd, "P", 2, doc);
    OstrumStandIn similar;
    ASSERT_TRUE(similar.Start("--folder=FILESW"));
    EXPECT_EQ(1, Replace(excel, doc, replacement).Num("ret"));
    EXPECT_NE(std::string::npos, NewLog().find("OpenOstrumEvent Failed!"));
    Sleep(500);
    EXPECT_FALSE(similar.Saw("saved")) << similar.Seen();
    DeleteFileW(Widen(doc).c_str());
    DeleteFileW(Widen(replacement).c_str());
    RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace filetest
