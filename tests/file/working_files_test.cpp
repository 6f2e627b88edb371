// Working files of protected documents: the office applications create their
// temporary, AutoRecover and backup files through the file API, and the file
// guard keeps them in the protected area, where the applications find them
// again under the names they know.
#include "tests/file/file_fixture.h"

namespace filetest {
namespace {

struct WorkingFile {
    const char* name;   // as the application names it, in the user's folder
    const char* moved;  // its base name in PROTECTPATH, before the process id
    const char* ext;    // its extension there
};

struct OfficeHost {
    const char* variant;
    uint8_t type;
    std::vector<WorkingFile> files;
};

class WorkingFiles : public FileGuardTest {
protected:
    testchild::TempFolder user_{"files_user"};
};

TEST_F(WorkingFiles, LandInProtectPathAndAreFoundUnderTheirOwnNames) {
    const std::vector<OfficeHost> hosts = {
        {"word11",
         1,
         {{"~WRL0001.tmp", "~WRL0001", ".WTM"},
          {"Backup of plan.wbk", "BACKUP OF PLAN", ".WBK"},
          {"AutoRecovery save of (ZEL-0001)plan.asd", "AUTORECOVERY SAVE OF (ZEL-0001)PLAN",
           ".ASD"}}},
        {"excel12", 2, {{"A1B2C3.tmp", "A1B2C3", ".ETM"}, {"~ar1F2B.xar", "~AR1F2B", ".XAR"}}},
        {"ppt11", 3, {{"ppt5C.tmp", "PPT5C", ".PTM"}}},
    };
    for (const OfficeHost& office : hosts) {
        SCOPED_TRACE(office.variant);
        HostClient host;
        HWND doc = StartDoc(host, office.variant, "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        ASSERT_TRUE(doc) << host.LastError();
        Register(host, doc, "P", office.type);
        const std::string pid = std::to_string(host.Pid());
        for (const WorkingFile& f : office.files) {
            SCOPED_TRACE(f.name);
            const std::string own = user_.path() + "\\" + f.name;
            const std::string moved = std::string(f.moved) + pid + f.ext;
            const std::string content = std::string("working copy ") + f.name;
            Reply made = File(host, "create", own, {{"text", content}});
            ASSERT_EQ(1, made.Num("opened")) << made.error << " err " << made.Num("err");
            EXPECT_TRUE(Exists(ProtectPath() + "\\" + moved)) << Joined(NewInProtectPath());
            EXPECT_FALSE(Exists(own)) << "the user's folder holds " << Joined(List(user_.path()));

            EXPECT_EQ(content, File(host, "read", own).Str("text"));
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, File(host, "attr", own).Num("ret"));
            Reply found = File(host, "find", own);
            EXPECT_EQ(1, found.Num("ret"));
            EXPECT_EQ(Upper(moved), Upper(found.Str("name")));
            EXPECT_EQ(1, File(host, "delete", own).Num("ret"));
            EXPECT_FALSE(Exists(ProtectPath() + "\\" + moved));
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, File(host, "attr", own).Num("ret"));
        }
    }
    EXPECT_EQ("[]", Joined(List(user_.path())));
}

// The system's version as Wine reports it to one executable name: set while
// the host starts, and removed at once (Wine reads it at process start).
bool StartAsWindowsSeven(HostClient& host, const std::string& variant) {
    const std::string key = "Software\\Wine\\AppDefaults\\" + HostClient::ExeOf(variant);
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(h, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win7"), 5);
    RegCloseKey(h);
    const bool started = host.Start(variant);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    return started;
}

// Copies (CopyFileExW) find the working file only where that function is
// replaced: on Windows 7 (system code 110).
TEST_F(WorkingFiles, OnWindowsSevenCopiesFindTheWorkingFile) {
    HostClient excel;
    ASSERT_TRUE(StartAsWindowsSeven(excel, "excel11")) << excel.LastError();
    ASSERT_TRUE(excel.LoadGatrel());
    ASSERT_EQ(110, excel.Send("osversion").Num("code"));
    excel.CreateDoc();
    HWND doc = excel.OpenDoc("C:\\ZELFILETEMP\\(ZEL-0001)q3.xls");
    ASSERT_TRUE(doc);
    excel.Activate(doc);
    Register(excel, doc, "P", 2);
    const std::string own = user_.path() + "\\~DF12AB.tmp";
    ASSERT_EQ(1, File(excel, "create", own, {{"text", "sheet"}}).Num("opened"));
    ASSERT_TRUE(Exists(ProtectPath() + "\\~DF12AB" + std::to_string(excel.Pid()) + ".ETM"));
    const std::string copy = user_.path() + "\\copy.txt";
    EXPECT_EQ(1, File(excel, "copyex", own, {{"to", copy}}).Num("ret"));
    EXPECT_EQ("sheet", testchild::ReadFileBytes(copy));
}

// The application reaches the same files through the system's other entry
// points: the ANSI forms, a temporary file the system names and creates, a
// plain copy. Each meets the rules the wide calls meet, once: a copy on the
// system where the copy row is installed redirects its source itself, and
// the open it makes inside finds that name already protected. An ordinary
// process is left alone.
TEST_F(WorkingFiles, TheSystemsOwnEntryPointsMeetTheSameRules) {
    HostClient word, word7, plain;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1);
    ASSERT_TRUE(StartAsWindowsSeven(word7, "word12") && word7.LoadGatrel());
    word7.CreateDoc();
    HWND doc7 = word7.OpenDoc("C:\\ZELFILETEMP\\(ZEL-0002)plan.doc");
    ASSERT_TRUE(doc7);
    word7.Activate(doc7);
    Register(word7, doc7, "P", 1);
    // The hook report names where each file row sits: past kernel32's stub.
    std::string modules = word.Send("hookreport").Str("modules");
    CharLowerBuffA(modules.data(), static_cast<DWORD>(modules.size()));
    EXPECT_NE(std::string::npos, modules.find("createfilew=kernelbase.dll")) << modules;
    const std::string i = "i:";
    for (HostClient* host : {&word, &word7}) {
        const std::string pid = std::to_string(host->Pid());
        SCOPED_TRACE(pid);
        const std::string own = user_.path() + "\\~WRL0005.tmp";
        Reply made = host->Call("kernel32.dll", "CreateFileA",
                                {"s:" + own, i + std::to_string(GENERIC_WRITE), "i:0", "i:0",
                                 i + std::to_string(CREATE_ALWAYS), "i:128", "i:0"});
        ASSERT_NE(-1, made.Num("ret"));
        host->Call("kernel32.dll", "CloseHandle", {i + std::to_string(made.Num("uret"))});
        EXPECT_TRUE(Exists(ProtectPath() + "\\~WRL0005" + pid + ".WTM")) << Joined(NewInProtectPath());
        EXPECT_NE(-1, host->Call("kernel32.dll", "GetFileAttributesA", {"s:" + own}).Num("ret"));
        host->Send("writefile", {{"path", own}, {"text", "working copy"}});

        const std::string copy = user_.path() + "\\copy" + pid + ".txt";
        EXPECT_EQ(1, host->Call("kernel32.dll", "CopyFileW",
                                {"w:" + own, "w:" + copy, "i:0"}).Num("ret"));
        EXPECT_EQ("working copy", testchild::ReadFileBytes(copy));
        EXPECT_EQ(1, host->Call("kernel32.dll", "DeleteFileA", {"s:" + own}).Num("ret"));
        EXPECT_FALSE(Exists(ProtectPath() + "\\~WRL0005" + pid + ".WTM"));

        Reply named = host->Call("kernel32.dll", "GetTempFileNameW",
                                 {"w:" + user_.path(), "w:~WR", "i:0", "b:520"});
        ASSERT_NE(0, named.Num("ret"));
        char hex[8];
        snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(named.Num("uret")));
        EXPECT_TRUE(Exists(ProtectPath() + "\\~WR" + hex + pid + ".WTM")) << Joined(NewInProtectPath());
        DeleteFileA((user_.path() + "\\~WR" + hex + ".tmp").c_str());
        DeleteFileA(copy.c_str());
    }
    EXPECT_EQ("[]", Joined(List(user_.path())));

    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    const std::string ordinary = user_.path() + "\\~WRL0006.tmp";
    Reply made = plain.Call("kernel32.dll", "CreateFileA",
                            {"s:" + ordinary, i + std::to_string(GENERIC_WRITE), "i:0", "i:0",
                             i + std::to_string(CREATE_ALWAYS), "i:128", "i:0"});
    plain.Call("kernel32.dll", "CloseHandle", {i + std::to_string(made.Num("uret"))});
    EXPECT_TRUE(Exists(ordinary));
    DeleteFileA(ordinary.c_str());
}

TEST_F(WorkingFiles, StayWhereTheRulesLeaveThem) {
    HostClient word, ppt, other, pdfTyped;
    HWND wordDoc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    HWND pptDoc = StartDoc(ppt, "ppt12", "C:\\ZELFILETEMP\\(ZEL-0002)deck.ppt");
    HWND otherDoc = StartDoc(other, "word12", "C:\\docs\\letter.doc");
    HWND pdfDoc = StartDoc(pdfTyped, "word11", "C:\\ZELFILETEMP\\(ZEL-0003)scan.doc");
    ASSERT_TRUE(wordDoc && pptDoc && otherDoc && pdfDoc);
    Register(word, wordDoc, "P", 1);
    Register(ppt, pptDoc, "P", 3);
    Register(pdfTyped, pdfDoc, "P", 4);  // a record type without rules
    const std::string area = FileTemp() + "\\FILESTEST";
    CreateDirectoryA(area.c_str(), nullptr);
    const std::string inArea = area + "\\~WRL0009.tmp";
    RemoveLater(inArea);

    struct Stays {
        HostClient* host;
        std::string path;
    } cases[] = {
        {&word, user_.path() + "\\AutoRecovery save of notes.asd"},  // not the document's
        {&word, user_.path() + "\\MSI3a2b.tmp"},                     // installer files
        {&word, inArea},                                             // already protected
        {&ppt, user_.path() + "\\AutoRecovery save of (ZEL-0002)deck.asd"},
        {&other, user_.path() + "\\~WRL0001.tmp"},  // no record
        {&pdfTyped, user_.path() + "\\~WRL0002.tmp"},
    };
    for (const Stays& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(1, File(*c.host, "create", c.path, {{"text", "x"}}).Num("opened"));
        EXPECT_TRUE(Exists(c.path));
    }
    EXPECT_EQ("[]", Joined(NewInProtectPath()));
    EXPECT_EQ(5u, List(user_.path()).size()) << Joined(List(user_.path()));
}

// A working copy in a deep folder is as much the document's as one in a
// shallow folder: the rules see the whole path, however long.
TEST_F(WorkingFiles, LongPathsAreRedirectedLikeShortOnes) {
    HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1);
    // Made and removed through the long-path form of the names.
    struct DeepFolder {
        std::vector<std::wstring> levels;
        ~DeepFolder() {
            if (!levels.empty()) DeleteFileW((levels.back() + L"\\~WRL0007.tmp").c_str());
            for (auto it = levels.rbegin(); it != levels.rend(); ++it)
                RemoveDirectoryW(it->c_str());
        }
    } folders;
    std::wstring deep = L"\\\\?\\" + std::wstring(user_.path().begin(), user_.path().end());
    std::string deepA = user_.path();
    while (deepA.size() < 300) {
        deep += L"\\a-rather-long-folder-name-for-the-test";
        deepA += "\\a-rather-long-folder-name-for-the-test";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
        folders.levels.push_back(deep);
    }
    const std::string own = deepA + "\\~WRL0007.tmp";
    ASSERT_GT(own.size(), 260u);
    Reply made = File(word, "create", own, {{"text", "deep"}});
    ASSERT_EQ(1, made.Num("opened")) << made.Num("err");
    EXPECT_TRUE(Exists(ProtectPath() + "\\~WRL0007" + std::to_string(word.Pid()) + ".WTM"))
        << Joined(NewInProtectPath());
    EXPECT_EQ("[]", Joined(List(deepA)));
    EXPECT_EQ("deep", File(word, "read", own).Str("text"));
}

// Best-fit conversion would give "~WRŵ0001.tmp" and "~WRw0001.tmp" one
// redirected name: the second would overwrite the first's working copy.
TEST_F(WorkingFiles, NamesOutsideTheCodePageAreNotRedirected) {
    HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1);
    ASSERT_EQ(1252, word.Send("acp").Num("acp"));
    const std::string plain = user_.path() + "\\~WRw0001.tmp";
    const std::string accented = user_.path() +
                                 "\\~WR\xC5\xB5"
                                 "0001.tmp";  // U+0175 in UTF-8
    ASSERT_EQ(1, File(word, "create", plain, {{"text", "first"}}).Num("opened"));
    ASSERT_EQ(1, File(word, "create", accented, {{"text", "second"}}).Num("opened"));
    EXPECT_EQ("first", File(word, "read", plain).Str("text"));
    EXPECT_EQ("second", File(word, "read", accented).Str("text"));
    EXPECT_EQ(1u, NewInProtectPath().size()) << Joined(NewInProtectPath());
    EXPECT_EQ(1u, List(user_.path()).size()) << "the accented name stays where it was created";
    EXPECT_NE(std::string::npos, ReadLog("WINWORD").find("path not in the ANSI code page"));
    DeleteFileW((std::wstring(user_.path().begin(), user_.path().end()) + L"\\~WR\x0175"
                                                                          L"0001.tmp")
                    .c_str());
}

// A leftover under the redirected name makes CREATE_NEW fail: creating the
// file at the user's path instead would put the working copy outside.
TEST_F(WorkingFiles, CreateNewOverALeftoverFailsLikeTheRealCall) {
    HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1);
    const std::string own = user_.path() + "\\~WRL0005.tmp";
    ASSERT_EQ(1, File(word, "create", own, {{"text", "left over"}}).Num("opened"));
    Reply again = File(word, "create", own, {{"disposition", "new"}, {"text", "new"}});
    EXPECT_EQ(0, again.Num("opened"));
    EXPECT_EQ(ERROR_FILE_EXISTS, again.Num("err"));
    EXPECT_EQ("[]", Joined(List(user_.path())));
    EXPECT_EQ("left over", File(word, "read", own).Str("text"));
}

// The word processor serving the KORB client keeps its document copies next
// to the KORB document, its other working files in PROTECTPATH.
TEST_F(WorkingFiles, KorbDocumentCopiesGoNextToTheKorbDocument) {
    testchild::TempFolder korb("files_korb");
    HostClient word;
    HWND doc = StartDoc(word, "word11", korb.path() + "\\(ZEL-0007)memo.doc");
    ASSERT_TRUE(doc);
    store.SetKORBInfo(1);
    Register(word, doc, "P", 6, korb.path() + "\\(ZEL-0007)memo.doc");
    const std::string content = user_.path() + "\\Content.Word";
    CreateDirectoryA(content.c_str(), nullptr);
    ASSERT_EQ(1,
              File(word, "create", content + "\\~WRD0001.doc", {{"text", "copy"}}).Num("opened"));
    ASSERT_EQ(
        1, File(word, "create", user_.path() + "\\~WRL0003.tmp", {{"text", "tmp"}}).Num("opened"));
    EXPECT_EQ("copy", testchild::ReadFileBytes(korb.path() + "\\~WRD0001.DOC"));
    EXPECT_TRUE(Exists(ProtectPath() + "\\~WRL0003" + std::to_string(word.Pid()) + ".WTM"));
    EXPECT_EQ("[]", Joined(List(content)));
    EXPECT_EQ("[Content.Word]", Joined(List(user_.path())));
    EXPECT_EQ("copy", File(word, "read", content + "\\~WRD0001.doc").Str("text"));
}

TEST_F(WorkingFiles, WebPreviewsAreRefusedWhileTheProcessHasARecord) {
    HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    const std::string previews = user_.path() + "\\WebPagePreview";
    CreateDirectoryA(previews.c_str(), nullptr);
    Register(word, doc, "A", 1);
    for (const char* name : {"\\page.mht", "\\page.htm", "\\PAGE.MH_"}) {
        Reply refused = File(word, "create", previews + name);
        EXPECT_EQ(0, refused.Num("opened")) << name;
        EXPECT_EQ(ERROR_ACCESS_DENIED, refused.Num("err")) << name;
    }
    EXPECT_EQ(1, File(word, "create", previews + "\\page.html").Num("opened"));
    storetest::ClearTable(store);
    EXPECT_EQ(1, File(word, "create", previews + "\\page.mht").Num("opened"));
}

}  // namespace
}  // namespace filetest
