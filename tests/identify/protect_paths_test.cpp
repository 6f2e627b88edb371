// Where temporary files of protected documents are sent: the protected area's
// PROTECTPATH folder, and the KORB document's own folder.
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/protect_paths.h"
#include "store_fixture.h"

namespace {

using hosts::HostClient;

class ProtectPaths : public idtest::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        savedArea_ = testlib::Dll().GetProcessContext().strFileTempPath;
        savedTemp_ = testlib::Dll().ProcessTempDir();
    }
    void TearDown() override {
        testlib::Dll().GetProcessContext().strFileTempPath = savedArea_;
        testlib::Dll().ProcessTempDir() = savedTemp_;
        StoreTest::TearDown();
    }
    std::string savedArea_, savedTemp_;
};

TEST_F(ProtectPaths, AreaComesFromTheInstallationDirectory) {
    char root[1024] = {};
    ASSERT_TRUE(GetEnvironmentVariableA("GATREL_ROOT", root, sizeof root));
    std::string area = HostClient::WinPath(root) + "\\ZELFILETEMP";
    CharUpperBuffA(area.data(), static_cast<DWORD>(area.size()));
    EXPECT_EQ(area, testlib::Dll().GetProcessContext().strFileTempPath);
    EXPECT_EQ("", testlib::Dll().GetProtectPathName(area + "\\(ZEL-1)A.DOC.BAK"));
    EXPECT_EQ(area + "\\PROTECTPATH\\~WRL0001.TMP", testlib::Dll().GetProtectPathName("C:\\DOCS\\~WRL0001.TMP"));
}

TEST_F(ProtectPaths, FileNamesMoveIntoProtectPath) {
    testlib::Dll().GetProcessContext().strFileTempPath = "C:\\PROGRAM FILES\\APP\\ZELFILETEMP";
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\~WRL0001.TMP",
              testlib::Dll().GetProtectPathName("C:\\DOCS\\~WRL0001.TMP"));
    // Already inside the protected area: stays where it is.
    EXPECT_EQ("", testlib::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\(ZEL-1)A.DOC"));
    EXPECT_EQ("", testlib::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\SUB\\~$A.DOC"));
    // A bare name comes back unchanged.
    EXPECT_EQ("~WRL0001.TMP", testlib::Dll().GetProtectPathName("~WRL0001.TMP"));
    // The comparison is by case: callers pass upper-cased paths.
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\a.tmp",
              testlib::Dll().GetProtectPathName("c:\\program files\\app\\zelfiletemp\\a.tmp"));
    // A folder beside the area whose name begins like it is outside.
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\A.TMP",
              testlib::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP.OLD\\A.TMP"));
    // An installation directory written with a trailing separator (as
    // installers write it) names the same area.
    testlib::Dll().GetProcessContext().strFileTempPath = "C:\\PROGRAM FILES\\APP\\\\ZELFILETEMP";
    EXPECT_EQ("", testlib::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\SUB\\~$A.DOC"));
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\A.TMP",
              testlib::Dll().GetProtectPathName("C:\\DOCS\\A.TMP"));
}

class KorbWordTemp : public ProtectPaths {
protected:
    void SetUp() override {
        ProtectPaths::SetUp();
        savedDoc_ = testlib::Dll().DocObject();
        testlib::Dll().DocObject() = nullptr;
        testlib::Dll().CreateDocObject("WINWORD");
        ASSERT_NE(nullptr, testlib::Dll().DocObject());
        testlib::Dll().ProcessTempDir() = "C:\\Users\\me\\Temp\\";
        store.SetKORBInfo(1);
        _ZEL_HOOK_INFO_ r = idtest::Record(GetCurrentProcessId(), nullptr, "CP", 6, NextOwner(),
                                           "C:\\KORB\\DOCS\\(ZEL-7)MEMO.DOC");
        store.AddHookInfo(&r);
    }
    void TearDown() override {
        testlib::Dll().DocObject() = savedDoc_;
        ProtectPaths::TearDown();
    }
    CCommonDoc* savedDoc_ = nullptr;
};

TEST_F(KorbWordTemp, WordTempCopiesGoToTheKorbDocumentsFolder) {
    EXPECT_EQ("C:\\KORB\\DOCS\\~WRD0001.DOC", testlib::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\~WRD0001.DOC"));
    EXPECT_EQ("C:\\KORB\\DOCS\\~WRS0002.DOC",
              testlib::Dll().GetKORBWordTempName("C:\\X\\CONTENT.WORD\\~WRS0002.DOC"));
    // Not a document copy, or not in the temporary folders: no new name.
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\~WRF0003.TMP"));
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName("C:\\OTHER\\~WRD0001.DOC"));
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\WRD0001.DOC"));
}

TEST_F(KorbWordTemp, RuleNeedsKorbHandlingARecordAndTheWordProcessor) {
    const std::string tmp = "C:\\USERS\\ME\\TEMP\\~WRD0001.DOC";
    store.SetKORBInfo(0);
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName(tmp));
    store.SetKORBInfo(1);
    ASSERT_NE("", testlib::Dll().GetKORBWordTempName(tmp));

    CCommonDoc* word = testlib::Dll().DocObject();
    testlib::Dll().CreateDocObject("EXCEL");
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName(tmp));
    testlib::Dll().DocObject() = nullptr;
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName(tmp));
    testlib::Dll().DocObject() = word;

    // A record of the process that is not a KORB record does not count.
    Reset();
    store.SetKORBInfo(1);
    Add(GetCurrentProcessId(), nullptr, "CP", 1, "C:\\KORB\\DOCS\\(ZEL-7)MEMO.DOC");
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName(tmp));
    // A KORB record whose path has no folder gives no name either.
    Reset();
    store.SetKORBInfo(1);
    Add(GetCurrentProcessId(), nullptr, "CP", 6, "MEMO.DOC");
    EXPECT_EQ("", testlib::Dll().GetKORBWordTempName(tmp));
}

}  // namespace
