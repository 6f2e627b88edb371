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

// Each office application's working files: made in PROTECTPATH, found there
// under the names the application knows by every query, searches showing the
// application's own name, deleted there. A folder beside the protected area
// whose name begins like it is no part of it.
TEST_F(WorkingFiles, LandInProtectPathAndAreFoundUnderTheirOwnNames) {
    const std::vector<OfficeHost> hosts = {
        {"word11",
         1,
         {{"~WRL0001.tmp", "~WRL0001", ".WTM"},
          {"Backup of plan.wbk", "BACKUP OF PLAN", ".WBK"},
          {"AutoRecovery save of (ZEL-0001)plan.asd", "AUTORECOVERY SAVE OF (ZEL-0001)PLAN", ".ASD"}}},
        {"excel12", 2, {{"A1B2C3.tmp", "A1B2C3", ".ETM"}, {"~ar1F2B.xar", "~AR1F2B", ".XAR"}}},
        {"ppt11", 3, {{"ppt5C.tmp", "PPT5C", ".PTM"}}},
    };
    const std::string beside = FileTemp() + ".OLD";
    CreateDirectoryA(beside.c_str(), nullptr);
    for (const OfficeHost& office : hosts) {
        SCOPED_TRACE(office.variant);
        HostClient host;
        HWND doc = StartDoc(host, office.variant, "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        ASSERT_TRUE(doc) << host.LastError();
        Register(host, doc, "P", office.type);
        for (const WorkingFile& f : office.files) {
            for (const std::string& folder : {user_.path(), beside}) {
                SCOPED_TRACE(folder + "\\" + f.name);
                const std::string own = folder + "\\" + f.name;
                const std::string content = std::string("working copy ") + f.name;
                Reply made = File(host, "create", own, {{"text", content}});
                ASSERT_EQ(1, made.Num("opened")) << made.error << " err " << made.Num("err");
                const std::string moved = MovedName(f.moved, host.Pid(), f.ext);
                EXPECT_NE("", moved) << Joined(NewInProtectPath());
                EXPECT_FALSE(Exists(own)) << "the folder holds " << Joined(List(folder));

                EXPECT_EQ(content, File(host, "read", own).Str("text"));
                EXPECT_NE(INVALID_FILE_ATTRIBUTES, File(host, "attr", own).Num("ret"));
                for (const char* query : {"attrex", "attra"})
                    EXPECT_EQ(1, File(host, query, own).Num("ret")) << query;
                for (const char* search : {"find", "findex", "finda"}) {
                    Reply found = File(host, search, own);
                    EXPECT_EQ(1, found.Num("ret")) << search;
                    EXPECT_EQ(f.name, found.Str("name")) << search;
                    EXPECT_EQ("", found.Str("alt")) << search;
                }
                // A search by pattern is the application's own business.
                EXPECT_EQ(0, File(host, "find", folder + "\\*" + std::string(f.name).substr(3)).Num("ret"));
                EXPECT_EQ(1, File(host, "delete", own).Num("ret"));
                EXPECT_EQ("", MovedName(f.moved, host.Pid(), f.ext));
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, File(host, "attr", own).Num("ret"));
            }
        }
    }
    EXPECT_EQ("[]", Joined(List(user_.path())));
    EXPECT_EQ("[]", Joined(List(beside)));
    RemoveDirectoryA(beside.c_str());
}

// Working files of the same name in two folders ("Backup of plan.wbk" of two
// documents) stay two files: neither overwrites nor deletes the other.
TEST_F(WorkingFiles, SameNamesInTwoFoldersStayTwoFiles) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    const std::string first = user_.path() + "\\first", second = user_.path() + "\\second";
    CreateDirectoryA(first.c_str(), nullptr);
    CreateDirectoryA(second.c_str(), nullptr);
    ASSERT_EQ(1, File(word, "create", first + "\\Backup of plan.wbk", {{"text", "first"}}).Num("opened"));
    ASSERT_EQ(1, File(word, "create", second + "\\Backup of plan.wbk", {{"text", "second"}}).Num("opened"));
    EXPECT_EQ(2u, NewInProtectPath().size()) << Joined(NewInProtectPath());
    EXPECT_EQ("first", File(word, "read", first + "\\Backup of plan.wbk").Str("text"));
    EXPECT_EQ(1, File(word, "delete", second + "\\Backup of plan.wbk").Num("ret"));
    EXPECT_EQ("first", File(word, "read", first + "\\Backup of plan.wbk").Str("text"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, File(word, "attr", second + "\\Backup of plan.wbk").Num("ret"));
    EXPECT_EQ("[]", Joined(List(first)));
}

// The system's version as Wine reports it to one executable name: set while
// the host starts, and removed at once (Wine reads it at process start).
bool StartAsWindowsSeven(HostClient& host, const std::string& variant) {
    const std::string key = "Software\\Wine\\AppDefaults\\" + HostClient::ExeOf(variant);
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
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
    ASSERT_NE("", MovedName("~DF12AB", excel.Pid(), ".ETM"));
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
        EXPECT_NE("", MovedName("~WRL0005", host->Pid(), ".WTM")) << Joined(NewInProtectPath());
        EXPECT_NE(-1, host->Call("kernel32.dll", "GetFileAttributesA", {"s:" + own}).Num("ret"));
        host->Send("writefile", {{"path", own}, {"text", "working copy"}});

        // Copied out (the copy is the application's business) and to another
        // working name, which lands in PROTECTPATH once.
        const std::string copy = user_.path() + "\\copy" + pid + ".txt";
        EXPECT_EQ(1, host->Call("kernel32.dll", "CopyFileW", {"w:" + own, "w:" + copy, "i:0"}).Num("ret"));
        EXPECT_EQ("working copy", testchild::ReadFileBytes(copy));
        const std::string second = user_.path() + "\\~WRL0006.tmp";
        EXPECT_EQ(1, host->Call("kernel32.dll", "CopyFileA", {"s:" + own, "s:" + second, "i:0"}).Num("ret"));
        EXPECT_EQ("working copy", File(*host, "read", second).Str("text"));
        EXPECT_NE("", MovedName("~WRL0006", host->Pid(), ".WTM")) << Joined(NewInProtectPath());
        // A second name for a working file is a working name too.
        const std::string linked = user_.path() + "\\~WRL0007.tmp";
        EXPECT_EQ(1, host->Call("kernel32.dll", "CreateHardLinkA", {"s:" + linked, "s:" + own, "i:0"}).Num("ret"));
        EXPECT_EQ("working copy", File(*host, "read", linked).Str("text"));
        EXPECT_NE("", MovedName("~WRL0007", host->Pid(), ".WTM")) << Joined(NewInProtectPath());
        EXPECT_EQ(1, host->Call("kernel32.dll", "DeleteFileA", {"s:" + linked}).Num("ret"));
        // The ANSI moves go through the system's MoveFileWithProgressW.
        EXPECT_EQ(1, File(*host, "moveexa", second, {{"to", own}, {"flags", "1"}}).Num("ret"));
        EXPECT_EQ("", MovedName("~WRL0006", host->Pid(), ".WTM"));
        EXPECT_EQ(1, host->Call("kernel32.dll", "DeleteFileA", {"s:" + own}).Num("ret"));
        EXPECT_EQ("", MovedName("~WRL0005", host->Pid(), ".WTM"));

        Reply named =
            host->Call("kernel32.dll", "GetTempFileNameW", {"w:" + user_.path(), "w:~WR", "i:0", "b:520"});
        ASSERT_NE(0, named.Num("ret"));
        char hex[8];
        snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(named.Num("uret")));
        EXPECT_NE("", MovedName(std::string("~WR") + hex, host->Pid(), ".WTM")) << Joined(NewInProtectPath());
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
    ASSERT_TRUE(StartProtectedWord(word));
    // Made and removed through the long-path form of the names.
    struct DeepFolder {
        std::vector<std::wstring> levels;
        ~DeepFolder() {
            if (!levels.empty()) DeleteFileW((levels.back() + L"\\~WRL0007.tmp").c_str());
            for (auto it = levels.rbegin(); it != levels.rend(); ++it) RemoveDirectoryW(it->c_str());
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
    EXPECT_NE("", MovedName("~WRL0007", word.Pid(), ".WTM")) << Joined(NewInProtectPath());
    EXPECT_EQ("[]", Joined(List(deepA)));
    EXPECT_EQ("deep", File(word, "read", own).Str("text"));
}

// A character outside the ANSI code page changes nothing: under a folder
// named with one (a user profile, %TEMP%) working files go to PROTECTPATH as
// from anywhere else, and a file name with one is written there escaped, so
// "~WR\u0175" "0001.tmp" and "~WRw0001.tmp" stay two files.
TEST_F(WorkingFiles, NamesOutsideTheCodePageAreRedirectedToo) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    ASSERT_EQ(1252, word.Send("acp").Num("acp"));
    const std::string folder = user_.path() +
                               "\\\xC5\xB4"
                               "erk";  // U+0174 in UTF-8
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr)) << GetLastError();
    const std::string plain = folder + "\\~WRw0001.tmp";
    const std::string accented = folder +
                                 "\\~WR\xC5\xB5"
                                 "0001.tmp";  // U+0175
    ASSERT_EQ(1, File(word, "create", plain, {{"text", "first"}}).Num("opened"));
    ASSERT_EQ(1, File(word, "create", accented, {{"text", "second"}}).Num("opened"));
    EXPECT_EQ("first", File(word, "read", plain).Str("text"));
    EXPECT_EQ("second", File(word, "read", accented).Str("text"));
    EXPECT_NE("", MovedName("~WRW0001", word.Pid(), ".WTM")) << Joined(NewInProtectPath());
    EXPECT_NE("", MovedName("~WR#01740001", word.Pid(), ".WTM")) << Joined(NewInProtectPath());
    EXPECT_EQ(1, File(word, "delete", accented).Num("ret"));
    EXPECT_EQ("first", File(word, "read", plain).Str("text"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Widen(plain).c_str()))
        << "left in the user's folder";
    RemoveDirectoryW(Widen(folder).c_str());
}

// The rules apply to the file a name reaches, as the system reads the name: a
// relative name, forward slashes, "..", trailing dots and spaces reach the
// one working file in PROTECTPATH; a pipe whose name ends like a working file
// stays a pipe.
TEST_F(WorkingFiles, NamesAreReadAsTheSystemReadsThem) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    const std::string sub = user_.path() + "\\sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    ASSERT_EQ(1, word.Call("kernel32.dll", "SetCurrentDirectoryW", {"w:" + sub}).Num("ret"));
    ASSERT_EQ(1, File(word, "create", "~WRL0001.tmp", {{"text", "relative"}}).Num("opened"));
    ASSERT_EQ(1, File(word, "create", user_.path() + "/~WRL0002.tmp", {{"text", "slash"}}).Num("opened"));
    EXPECT_EQ(2u, NewInProtectPath().size()) << Joined(NewInProtectPath());
    for (const std::string& same : {sub + "\\~WRL0001.tmp", std::string("..\\sub\\~wrl0001.TMP"),
                                    sub + "\\~WRL0001.tmp.", sub + "/./~WRL0001.tmp . "})
        EXPECT_EQ("relative", File(word, "read", same).Str("text")) << same;
    EXPECT_EQ("slash", File(word, "read", user_.path() + "\\~WRL0002.tmp").Str("text"));
    EXPECT_EQ(1, File(word, "find", user_.path() + "\\sub\\..\\~WRL0002.tmp").Num("ret"));
    EXPECT_EQ("[sub]", Joined(List(user_.path())));
    EXPECT_EQ("[]", Joined(List(sub)));

    const std::string pipe = "\\\\.\\pipe\\gatrel_files_" + std::to_string(GetCurrentProcessId()) + ".tmp";
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    Reply opened = File(word, "create", pipe, {{"disposition", "openalways"}, {"text", "through the pipe"}});
    EXPECT_EQ(1, opened.Num("opened")) << opened.Num("err");
    DWORD waiting = 0;
    EXPECT_TRUE(PeekNamedPipe(server, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(16u, waiting) << "the bytes went elsewhere: " << Joined(NewInProtectPath());
    CloseHandle(server);
    word.Call("kernel32.dll", "SetCurrentDirectoryW", {"w:C:\\"});
    RemoveDirectoryA(sub.c_str());
}

// A redirected call that fails is never made again at the user's path: a
// working copy is not made there when PROTECTPATH is missing (it is made
// again) or cannot be made, and the application sees the real error of its
// working file (held open elsewhere) instead of another file of that name.
TEST_F(WorkingFiles, NothingFallsBackIntoTheUsersFolder) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
    const size_t logStart = ReadLog("WINWORD").size();
    // PROTECTPATH as it was comes back whatever happens here.
    struct PutBack {
        std::string aside, folder;
        ~PutBack() {
            if (aside.empty()) return;
            for (const auto& n : List(folder)) DeleteFileA((folder + "\\" + n).c_str());
            if (!RemoveDirectoryA(folder.c_str())) DeleteFileA(folder.c_str());
            MoveFileA(aside.c_str(), folder.c_str());
        }
    } putBack{ProtectPath() + "-aside-" + std::to_string(GetCurrentProcessId()), ProtectPath()};
    ASSERT_TRUE(MoveFileA(ProtectPath().c_str(), putBack.aside.c_str()));
    const std::string first = user_.path() + "\\~WRL0001.tmp";
    Reply made = File(word, "create", first, {{"text", "made again"}});
    EXPECT_EQ(1, made.Num("opened")) << made.Num("err");
    EXPECT_NE("", MovedName("~WRL0001", word.Pid(), ".WTM")) << Joined(List(ProtectPath()));
    EXPECT_NE(std::string::npos, ReadLog("WINWORD").substr(logStart).find("PROTECTPATH was missing"));
    for (const auto& n : List(ProtectPath())) DeleteFileA((ProtectPath() + "\\" + n).c_str());
    EXPECT_TRUE(RemoveDirectoryA(ProtectPath().c_str()));
    // A file where the folder should be: it cannot be made.
    ASSERT_TRUE(testchild::WriteFileBytes(ProtectPath(), "not a folder"));
    Reply refused = File(word, "create", user_.path() + "\\~WRL0002.tmp", {{"text", "x"}});
    EXPECT_EQ(0, refused.Num("opened"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, refused.Num("err"));
    EXPECT_NE(std::string::npos, ReadLog("WINWORD").substr(logStart).find("cannot be made"));
    DeleteFileA(ProtectPath().c_str());
    ASSERT_TRUE(MoveFileA(putBack.aside.c_str(), ProtectPath().c_str()));
    putBack.aside.clear();
    EXPECT_EQ("[]", Joined(List(user_.path())));

    // The application holds its working file alone; a file of that name in
    // the user's folder is another file.
    const std::string own = user_.path() + "\\~WRL0003.tmp";
    ASSERT_EQ(1, File(word, "create", own, {{"text", "working"}}).Num("opened"));
    ASSERT_TRUE(testchild::WriteFileBytes(own, "someone else's"));
    const std::string i = "i:";
    Reply held = word.Call("kernel32.dll", "CreateFileW",
                           {"w:" + own, i + std::to_string(GENERIC_READ), "i:0", "i:0",
                            i + std::to_string(OPEN_EXISTING), "i:128", "i:0"});
    ASSERT_NE(-1, held.Num("ret"));
    for (const char* how : {"existing", "openalways"}) {
        Reply second = File(word, "read", own, {{"disposition", how}});
        EXPECT_EQ(0, second.Num("opened")) << how;
        EXPECT_EQ(ERROR_SHARING_VIOLATION, second.Num("err")) << how;
    }
    Reply deleted = File(word, "delete", own);
    EXPECT_EQ(0, deleted.Num("ret"));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, deleted.Num("err"));
    EXPECT_EQ("someone else's", testchild::ReadFileBytes(own));
    word.Call("kernel32.dll", "CloseHandle", {i + std::to_string(held.Num("uret"))});
    EXPECT_EQ("working", File(word, "read", own).Str("text"));
}

// A working file the application made before its document was protected
// (before the controller published the record, the usual order) stays the
// one file of its name: it is opened, found, refused to CREATE_NEW and
// deleted where it is; no empty twin appears in PROTECTPATH.
TEST_F(WorkingFiles, AFileMadeBeforeTheRecordIsUsedWhereItIs) {
    HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    const std::string own = user_.path() + "\\~WRL0004.tmp";
    ASSERT_EQ(1, File(word, "create", own, {{"text", "made before"}}).Num("opened"));
    Register(word, doc, "P", 1);
    Reply twice = File(word, "create", own, {{"disposition", "new"}, {"text", "x"}});
    EXPECT_EQ(0, twice.Num("opened"));
    EXPECT_EQ(ERROR_FILE_EXISTS, twice.Num("err"));
    EXPECT_EQ(1, File(word, "create", own, {{"disposition", "openalways"}, {"text", ""}}).Num("opened"));
    EXPECT_EQ("made before", File(word, "read", own).Str("text"));
    EXPECT_EQ("~WRL0004.tmp", File(word, "find", own).Str("name"));
    EXPECT_EQ("[]", Joined(NewInProtectPath()));
    EXPECT_EQ(1, File(word, "delete", own).Num("ret"));
    EXPECT_FALSE(Exists(own));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, File(word, "attr", own).Num("ret"));
}

// A leftover under the redirected name makes CREATE_NEW fail: creating the
// file at the user's path instead would put the working copy outside.
TEST_F(WorkingFiles, CreateNewOverALeftoverFailsLikeTheRealCall) {
    HostClient word;
    ASSERT_TRUE(StartProtectedWord(word));
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
    ASSERT_EQ(1, File(word, "create", content + "\\~WRD0001.doc", {{"text", "copy"}}).Num("opened"));
    ASSERT_EQ(1, File(word, "create", user_.path() + "\\~WRL0003.tmp", {{"text", "tmp"}}).Num("opened"));
    EXPECT_EQ("copy", testchild::ReadFileBytes(korb.path() + "\\~WRD0001.DOC"));
    EXPECT_NE("", MovedName("~WRL0003", word.Pid(), ".WTM")) << Joined(NewInProtectPath());
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
