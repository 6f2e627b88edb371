// The save handshake when the Ostrum process does not answer in time: the
// application's save waits for the bound (60 s) and goes on, and an answer
// that comes later does not count for the next save. Its own test program:
// one run takes about a minute and a half.
#include "tests/file/file_fixture.h"
#include "tests/file/ostrum_standin.h"

namespace filetest {
namespace {

class OstrumWait : public FileGuardTest {};

TEST_F(OstrumWait, SaveGoesOnAfterTheBoundAndALateAnswerDoesNotCountForTheNextSave) {
    const std::string folder = FileTemp() + "\\FILESWAIT";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string doc = folder + "\\(ZEL-0009)w.xls", replacement = folder + "\\F00D0001";
    RemoveLater(doc);
    RemoveLater(replacement);
    ASSERT_TRUE(testchild::WriteFileBytes(doc, "v0"));
    HostClient excel;
    HWND wnd = StartDoc(excel, "excel11", doc);
    ASSERT_TRUE(wnd);
    Register(excel, wnd, "P", 2, doc);
    const size_t logStart = ReadLog("EXCEL").size();
    OstrumStandIn ostrum;
    // Round 1 answers after 75 s, long after the save stopped waiting;
    // round 2 after 5 s.
    ASSERT_TRUE(ostrum.Start("--folder=FILESWAIT --rounds=2 --slow=75000,5000"));

    ASSERT_TRUE(testchild::WriteFileBytes(replacement, "v1"));
    Reply first = excel.Send("file", {{"op", "replace"}, {"path", doc}, {"to", replacement}}, 120000);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(1, first.Num("ret"));
    EXPECT_EQ("v1", testchild::ReadFileBytes(doc));
    EXPECT_TRUE(ostrum.Saw("saved folder=FILESWAIT round=1"));
    EXPECT_NE(std::string::npos, ReadLog("EXCEL").substr(logStart).find(
                                     "no answer on HOOKSaveZELOfficeDocFILESWAIT within 60000 ms"));

    // The late answer of round 1 arrives while nobody waits.
    ASSERT_TRUE(ostrum.WaitFor("answered round=1", 60000)) << ostrum.Seen();
    ASSERT_TRUE(testchild::WriteFileBytes(replacement, "v2"));
    Reply second = excel.Send("file", {{"op", "replace"}, {"path", doc}, {"to", replacement}}, 120000);
    EXPECT_EQ(1, second.Num("ret"));
    EXPECT_TRUE(ostrum.Saw("answered round=2")) << "the save returned on the stale answer: " << ostrum.Seen();
    EXPECT_EQ("v2", testchild::ReadFileBytes(doc));
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace filetest
