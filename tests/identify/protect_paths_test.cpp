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
        savedArea_ = testdll::Dll().GetProcessContext().strFileTempPath;
        savedTemp_ = testdll::Dll().ProcessTempDir();
    }
    void TearDown() override {
        testdll::Dll().GetProcessContext().strFileTempPath = savedArea_;
        testdll::Dll().ProcessTempDir() = savedTemp_;
        StoreTest::TearDown();
    }
    std::string savedArea_, savedTemp_;
};

TEST_F(ProtectPaths, AreaComesFromTheInstallationDirectory) {
    char root[1024] = {};
    ASSERT_TRUE(GetEnvironmentVariableA("GATREL_ROOT", root, sizeof root));
    std::string area = HostClient::WinPath(root) + "\\ZELFILETEMP";
    CharUpperBuffA(area.data(), static_cast<DWORD>(area.size()));
    EXPECT_EQ(area, testdll::Dll().GetProcessContext().strFileTempPath);
    EXPECT_EQ("", testdll::Dll().GetProtectPathName(area + "\\(ZEL-1)A.DOC.BAK"));
    EXPECT_EQ(area + "\\PROTECTPATH\\~WRL0001.TMP", testdll::Dll().GetProtectPathName("C:\\DOCS\\~WRL0001.TMP"));
}

TEST_F(ProtectPaths, FileNamesMoveIntoProtectPath) {
    testdll::Dll().GetProcessContext().strFileTempPath = "C:\\PROGRAM FILES\\APP\\ZELFILETEMP";
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\~WRL0001.TMP",
              testdll::Dll().GetProtectPathName("C:\\DOCS\\~WRL0001.TMP"));
    // Already inside the protected area: stays where it is.
    EXPECT_EQ("", testdll::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\(ZEL-1)A.DOC"));
    EXPECT_EQ("", testdll::Dll().GetProtectPathName("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\SUB\\~$A.DOC"));
    // A bare name comes back unchanged.
    EXPECT_EQ("~WRL0001.TMP", testdll::Dll().GetProtectPathName("~WRL0001.TMP"));
    // The comparison is by case: callers pass upper-cased paths.
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\ZELFILETEMP\\PROTECTPATH\\a.tmp",
              testdll::Dll().GetProtectPathName("c:\\program files\\app\\zelfiletemp\\a.tmp"));
}

class KorbWordTemp : public ProtectPaths {
protected:
    void SetUp() override {
        ProtectPaths::SetUp();
        savedDoc_ = testdll::Dll().DocObject();
        testdll::Dll().DocObject() = nullptr;
        testdll::Dll().CreateDocObject("WINWORD");
        ASSERT_NE(nullptr, testdll::Dll().DocObject());
        testdll::Dll().ProcessTempDir() = "C:\\Users\\me\\Temp\\";
        store.SetKORBInfo(1);
        _ZEL_HOOK_INFO_ r = idtest::Record(GetCurrentProcessId(), nullptr, "CP", 6, NextOwner(),
                                           "C:\\KORB\\DOCS\\(ZEL-7)MEMO.DOC");
        store.AddHookInfo(&r);
    }
    void TearDown() override {
        testdll::Dll().DocObject() = savedDoc_;
        ProtectPaths::TearDown();
    }
    CCommonDoc* savedDoc_ = nullptr;
};

TEST_F(KorbWordTemp, WordTempCopiesGoToTheKorbDocumentsFolder) {
    EXPECT_EQ("C:\\KORB\\DOCS\\~WRD0001.DOC", testdll::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\~WRD0001.DOC"));
    EXPECT_EQ("C:\\KORB\\DOCS\\~WRS0002.DOC",
              testdll::Dll().GetKORBWordTempName("C:\\X\\CONTENT.WORD\\~WRS0002.DOC"));
    // Not a document copy, or not in the temporary folders: no new name.
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\~WRF0003.TMP"));
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName("C:\\OTHER\\~WRD0001.DOC"));
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName("C:\\USERS\\ME\\TEMP\\WRD0001.DOC"));
}

TEST_F(KorbWordTemp, RuleNeedsKorbHandlingARecordAndTheWordProcessor) {
    const std::string tmp = "C:\\USERS\\ME\\TEMP\\~WRD0001.DOC";
    store.SetKORBInfo(0);
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName(tmp));
    store.SetKORBInfo(1);
    ASSERT_NE("", testdll::Dll().GetKORBWordTempName(tmp));

    CCommonDoc* word = testdll::Dll().DocObject();
    testdll::Dll().CreateDocObject("EXCEL");
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName(tmp));
    testdll::Dll().DocObject() = nullptr;
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName(tmp));
    testdll::Dll().DocObject() = word;

    // A record of the process that is not a KORB record does not count.
    Reset();
    store.SetKORBInfo(1);
    Add(GetCurrentProcessId(), nullptr, "CP", 1, "C:\\KORB\\DOCS\\(ZEL-7)MEMO.DOC");
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName(tmp));
    // A KORB record whose path has no folder gives no name either.
    Reset();
    store.SetKORBInfo(1);
    Add(GetCurrentProcessId(), nullptr, "CP", 6, "MEMO.DOC");
    EXPECT_EQ("", testdll::Dll().GetKORBWordTempName(tmp));
}

}  // namespace
