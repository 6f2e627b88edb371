// The clipboard guard across real processes and the real clipboard: content
// copied from a protected document without the copy right pastes only back
// into that document.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "host_client.h"
#include "tests/support/library_view.h"
#include "tests/support/section_view.h"
#include "tests/store/store_test_util.h"

namespace {

uint32_t H(HWND w) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w)); }
std::string Hex(uintptr_t v) {
    char b[24];
    snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(v));
    return b;
}

std::string ReadLog(const char* exeBase) {
    const char* root = getenv("GATREL_ROOT");
    if (!root) return {};
    std::ifstream in(std::string(root) + "/log/" + exeBase + ".log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

class ClipboardGuard : public ::testing::Test {
protected:
    void SetUp() override {
        storetest::ClearTable(store);
        ResetClipboard();
    }
    void TearDown() override {
        storetest::ClearTable(store);
        ResetClipboard();
    }
    void ResetClipboard() {
        store.SetZelEmptying(false);
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();  // through our replacement: drops any withheld state
            CloseClipboard();
        }
    }

    // A host of the variant with the library loaded and a document open.
    HWND StartDoc(hosts::HostClient& host, const std::string& variant, const std::string& path) {
        if (!host.Start(variant) || !host.LoadGatrel()) return nullptr;
        host.CreateDoc();
        HWND doc = host.OpenDoc(path);
        if (doc) host.Activate(doc);
        return doc;
    }

    void Register(hosts::HostClient& host, HWND doc, const char* letters, uint8_t type,
                  DWORD owner) {
        _ZEL_HOOK_INFO_ r{};
        r.dwProcessId = host.Pid();
        r.dwOwnerPid = owner;
        r.hDocWnd = H(doc);
        r.byDocType = type;
        strncpy(r.szPermission, letters, sizeof r.szPermission - 1);
        strcpy(r.szFilePath, "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        store.AddHookInfo(&r);
    }

    static hosts::Reply Paste(hosts::HostClient& host, const char* format = "text") {
        return host.Send("paste", {{"format", format}});
    }

    testlib::Store store;
};

TEST_F(ClipboardGuard, CopyWithoutTheRightPastesOnlyIntoItsDocument) {
    hosts::HostClient word, plain, bare;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7001);
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    ASSERT_TRUE(bare.Start("plain"));  // never loads the library

    hosts::Reply copy = word.Send("copy", {{"text", "quarterly figures"}});
    ASSERT_TRUE(copy.ok) << copy.error;
    EXPECT_EQ(1, copy.Num("set")) << "the copying application sees success";
    EXPECT_TRUE(store.GetProtectedContent());

    for (const char* format : {"text", "unicode"}) {
        hosts::Reply other = Paste(plain, format);
        EXPECT_EQ(1, other.Num("open"));
        EXPECT_EQ(0, other.Num("data")) << format;
        // The data never reached the system clipboard: a process without the
        // library gets nothing either.
        EXPECT_EQ(0, Paste(bare, format).Num("data")) << format;
    }
    ASSERT_TRUE(word.Activate(doc));
    hosts::Reply back = Paste(word);
    EXPECT_EQ(1, back.Num("data"));
    EXPECT_EQ("quarterly figures", back.Str("text"));
    // Pasting elsewhere left the withheld content in place.
    EXPECT_TRUE(store.GetProtectedContent());
}

TEST_F(ClipboardGuard, CopyOrAllRightPassesTheContentUnchanged) {
    for (const char* letters : {"CP", "A"}) {
        hosts::HostClient word, plain;
        HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        ASSERT_TRUE(doc);
        Register(word, doc, letters, 1, 7002);
        ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
        ASSERT_EQ(1, word.Send("copy", {{"text", "open text"}}).Num("set"));
        EXPECT_FALSE(store.GetProtectedContent()) << letters;
        hosts::Reply other = Paste(plain);
        EXPECT_EQ("open text", other.Str("text")) << letters;
        store.DelHookInfo(7002);
    }
}

TEST_F(ClipboardGuard, OwnerProcessCountsNoFormatsWhileContentIsWithheld) {
    hosts::HostClient word, plain;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7003);
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    ASSERT_EQ(1, word.Send("copy", {{"text", "x"}}).Num("set"));
    EXPECT_EQ(0, word.Call("user32.dll", "CountClipboardFormats", {}).Num("ret"));
    EXPECT_GE(plain.Call("user32.dll", "CountClipboardFormats", {}).Num("ret"), 1);
    // Without protected content the owner's process counts as usual.
    store.SetHookInfo(7003, "CP");
    ASSERT_EQ(1, word.Send("copy", {{"text", "y"}}).Num("set"));
    EXPECT_GE(word.Call("user32.dll", "CountClipboardFormats", {}).Num("ret"), 1);
}

TEST_F(ClipboardGuard, SecondOwnersCopyDiscardsTheFirsts) {
    hosts::HostClient first, second;
    HWND docA = StartDoc(first, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)a.doc");
    HWND docB = StartDoc(second, "word12", "C:\\ZELFILETEMP\\(ZEL-0002)b.doc");
    ASSERT_TRUE(docA && docB);
    Register(first, docA, "P", 1, 7004);
    Register(second, docB, "P", 1, 7005);
    // The user works in one application at a time.
    first.Activate(docA);
    ASSERT_EQ(1, first.Send("copy", {{"text", "from a"}}).Num("set"));
    second.Activate(docB);
    ASSERT_EQ(1, second.Send("copy", {{"text", "from b"}}).Num("set"));
    HWND ownerWnd;
    DWORD ownerPid;
    store.GetClipOwner(ownerWnd, ownerPid);
    EXPECT_EQ(docB, ownerWnd);
    EXPECT_EQ(second.Pid(), ownerPid);
    first.Activate(docA);
    EXPECT_EQ(0, Paste(first).Num("data"));
    second.Activate(docB);
    EXPECT_EQ("from b", Paste(second).Str("text"));
}

TEST_F(ClipboardGuard, OptionsDialogBlocksEvenTheOwner) {
    hosts::HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7006);
    ASSERT_EQ(1, word.Send("copy", {{"text", "x"}}).Num("set"));
    HWND dlg = word.Dialog("oPTIONS", doc);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(0, Paste(word).Num("data"));
    // A refused paste in the owner's own process drops the withheld content.
    EXPECT_FALSE(store.GetProtectedContent());
    word.Close(dlg);
    word.Activate(doc);
    EXPECT_EQ(0, Paste(word).Num("data"));
}

TEST_F(ClipboardGuard, HundredAndFirstFormatIsNotKeptAndLogged) {
    hosts::HostClient word, plain;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7007);
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    const size_t before = Count(ReadLog("WINWORD"), "In SetProtectedData():save clipboard data fail");
    ASSERT_EQ(1, word.Call("user32.dll", "OpenClipboard", {"i:" + Hex(H(doc))}).Num("ret"));
    ASSERT_EQ(1, word.Call("user32.dll", "EmptyClipboard", {}).Num("ret"));
    long long last = 0;
    for (int f = 0; f < 101; ++f) {
        hosts::Reply mem = word.Call("kernel32.dll", "GlobalAlloc", {"i:2", "i:8"});
        ASSERT_NE(0, mem.Num("uret"));
        hosts::Reply set = word.Call("user32.dll", "SetClipboardData",
                                     {"i:" + std::to_string(0x200 + f), "i:" + std::to_string(mem.Num("uret"))});
        EXPECT_EQ(mem.Num("uret"), set.Num("uret")) << "the caller's handle comes back, format " << f;
        last = mem.Num("uret");
    }
    EXPECT_EQ(before + 1, Count(ReadLog("WINWORD"), "In SetProtectedData():save clipboard data fail"));
    // The owner gets the hundredth format's handle, but not the 101st's.
    hosts::Reply h100 = word.Call("user32.dll", "GetClipboardData", {"i:" + std::to_string(0x200 + 99)});
    EXPECT_NE(0, h100.Num("uret"));
    hosts::Reply h101 = word.Call("user32.dll", "GetClipboardData", {"i:" + std::to_string(0x200 + 100)});
    EXPECT_NE(last, h101.Num("uret"));
    word.Call("user32.dll", "CloseClipboard", {});
    // Every format is withheld from other processes.
    EXPECT_EQ(0, plain.Call("user32.dll", "GetClipboardData", {"i:" + std::to_string(0x200)}).Num("uret"));
}

TEST_F(ClipboardGuard, SpreadsheetWaitsWhileAnotherProcessEmpties) {
    hosts::HostClient excel;
    HWND doc = StartDoc(excel, "excel11", "C:\\ZELFILETEMP\\(ZEL-0003)sheet.xls");
    ASSERT_TRUE(doc);
    Register(excel, doc, "P", 2, 7008);

    // Another process holds the clipboard open and is emptying it.
    HWND mine = CreateWindowA("STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(mine));
    store.SetZelEmptying(true);
    const size_t waits = Count(ReadLog("EXCEL"), "Is Zel Empty Clipboard, Wait End");
    auto pending = excel.SendAsync("paste", {{"format", "text"}});
    Sleep(400);
    EXPECT_FALSE(pending->Ready()) << "the spreadsheet waits for the emptying to end";
    CloseClipboard();
    store.SetZelEmptying(false);
    hosts::Reply r = pending->Get(10000);
    EXPECT_EQ(1, r.Num("open"));
    const std::string log = ReadLog("EXCEL");
    EXPECT_EQ(waits + 1, Count(log, "Is Zel Empty Clipboard, Wait End"));
    EXPECT_NE(std::string::npos, log.find("Zel Empty Clipboard End"));

    // A flag left set by a process that died does not hang it for good.
    ASSERT_TRUE(OpenClipboard(mine));
    store.SetZelEmptying(true);
    auto stuck = excel.SendAsync("paste", {{"format", "text"}});
    hosts::Reply r2 = stuck->Get(15000);
    EXPECT_TRUE(r2.ok);
    EXPECT_NE(std::string::npos, ReadLog("EXCEL").find("Open Clipboard Error, Try Close Clipboard."));
    CloseClipboard();
    store.SetZelEmptying(false);
    DestroyWindow(mine);
}

TEST_F(ClipboardGuard, TurningToAnotherDocumentDropsTheWithheldContent) {
    hosts::HostClient word;
    HWND doc1 = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc1);
    HWND doc2 = word.OpenDoc("C:\\ZELFILETEMP\\(ZEL-0002)other.doc");
    ASSERT_TRUE(doc2);
    Register(word, doc1, "P", 1, 7010);
    Register(word, doc2, "P", 1, 7011);
    // The library's message hook on the host's UI thread, as the global hook
    // would place it.
    const DWORD tid = static_cast<DWORD>(word.Info(doc1).Num("tid"));
    ASSERT_NE(0u, tid);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, testlib::Dll().CallWndProc, GetModuleHandleA("Gatrel.dll"), tid);
    ASSERT_TRUE(hook);

    word.Activate(doc1);
    ASSERT_EQ(1, word.Send("copy", {{"text", "kept"}}).Num("set"));
    ASSERT_TRUE(store.GetProtectedContent());
    // Typing in the owning document keeps it.
    word.Send("key", {{"vk", "0x41"}, {"mode", "post"}, {"wnd", Hex(H(doc1))}});
    word.Send("pump", {{"ms", "50"}});
    EXPECT_TRUE(store.GetProtectedContent());
    // A key press in the other document drops it.
    word.Activate(doc2);
    word.Send("key", {{"vk", "0x41"}, {"mode", "post"}, {"wnd", Hex(H(doc2))}});
    word.Send("pump", {{"ms", "50"}});
    EXPECT_FALSE(store.GetProtectedContent());
    word.Activate(doc1);
    EXPECT_EQ(0, Paste(word).Num("data"));
    UnhookWindowsHookEx(hook);
}

// The controller deleted the owning document's record since the copy: typing
// in its window no longer counts as staying in the owning document.
TEST_F(ClipboardGuard, ARecordDeletedSinceTheCopyEndsTheStayInTheDocument) {
    hosts::HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7012);
    const DWORD tid = static_cast<DWORD>(word.Info(doc).Num("tid"));
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, testlib::Dll().CallWndProc, GetModuleHandleA("Gatrel.dll"), tid);
    ASSERT_TRUE(hook);
    ASSERT_EQ(1, word.Send("copy", {{"text", "kept"}}).Num("set"));
    store.DelHookInfo(7012);
    word.Send("key", {{"vk", "0x41"}, {"mode", "post"}, {"wnd", Hex(H(doc))}});
    word.Send("pump", {{"ms", "50"}});
    EXPECT_FALSE(store.GetProtectedContent());
    UnhookWindowsHookEx(hook);
}

// Another process that empties the clipboard frees the entries; the handles
// themselves go back to the process that withheld them, which releases them
// on its next clipboard call.
TEST_F(ClipboardGuard, WithheldObjectsAreReleasedByTheirOwnerAfterAnotherProcessEmpties) {
    hosts::HostClient word, plain;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7013);
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    struct Kind {
        const char* format;
        const char* dll;
        const char* liveness;  // what the owner asks about the handle
        long long dead;        // its answer once the handle is released
    };
    for (const Kind k : {Kind{"bitmap", "gdi32.dll", "GetObjectType", 0},
                         Kind{"text", "kernel32.dll", "GlobalFlags", GMEM_INVALID_HANDLE}}) {
        SCOPED_TRACE(k.format);
        word.Activate(doc);
        hosts::Reply copy = word.Send("copy", {{"text", "figures"}, {"format", k.format}});
        ASSERT_EQ(1, copy.Num("set"));
        ASSERT_TRUE(store.GetProtectedContent());
        const std::string handle = "i:" + std::to_string(copy.Num("handle"));
        auto liveness = [&] { return word.Call(k.dll, k.liveness, {handle}).Num("uret"); };
        ASSERT_NE(k.dead, liveness()) << "withheld, alive in its owner";
        ASSERT_EQ(1, plain.Send("copy", {{"text", "elsewhere"}}).Num("set"));
        EXPECT_FALSE(store.GetProtectedContent());
        word.Call("user32.dll", "CountClipboardFormats", {});
        EXPECT_EQ(k.dead, liveness()) << "released by its owner";
    }
}

// A thread that does not hold the clipboard open can neither empty nor read
// it, as without the library: the withheld content and its state stay for
// the owner.
TEST_F(ClipboardGuard, AThreadWithoutTheClipboardOpenNeitherEmptiesNorReadsIt) {
    hosts::HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7014);
    ASSERT_EQ(1, word.Send("copy", {{"text", "kept"}}).Num("set"));
    hosts::Reply empty = word.Send(
        "call", {{"dll", "user32.dll"}, {"fn", "EmptyClipboard"}, {"thread", "new"}});
    ASSERT_TRUE(empty.ok) << empty.error;
    EXPECT_EQ(0, empty.Num("ret"));
    EXPECT_EQ(ERROR_CLIPBOARD_NOT_OPEN, empty.Num("err")) << "the system's own failure reaches the caller";
    EXPECT_TRUE(store.GetProtectedContent());
    // Late focus events of the display can move the foreground while the
    // host waits; the user pastes in the document in front.
    ASSERT_TRUE(word.Activate(doc));
    hosts::Reply get = word.Send(
        "call", {{"dll", "user32.dll"}, {"fn", "GetClipboardData"}, {"a0", "i:1"}, {"thread", "new"}});
    ASSERT_TRUE(get.ok) << get.error;
    EXPECT_EQ(0, get.Num("uret")) << "the withheld handle stays with the threads that open the clipboard";
    EXPECT_EQ(ERROR_CLIPBOARD_NOT_OPEN, get.Num("err"));
    ASSERT_TRUE(word.Activate(doc));
    hosts::Reply back = Paste(word);
    EXPECT_EQ("kept", back.Str("text")) << "open " << back.Num("open") << " data " << back.Num("data")
                                        << " err " << back.Num("err");
}

TEST_F(ClipboardGuard, WordProcessorDoesNotWaitForTheClipboard) {
    hosts::HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7009);
    HWND mine = CreateWindowA("STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(mine));
    store.SetZelEmptying(true);
    hosts::Reply r = Paste(word);
    EXPECT_EQ(0, r.Num("open"));
    CloseClipboard();
    store.SetZelEmptying(false);
    DestroyWindow(mine);
}

// The shared section, as any process that maps the library can write it.
SharedSection& Section() { return *testing_support::SharedSectionOf(GetModuleHandleA("Gatrel.dll")); }

ClipboardOwner OwnerOf(const hosts::HostClient& host) {
    FILETIME created{}, exited, kernel, user;
    GetProcessTimes(host.Process(), &created, &exited, &kernel, &user);
    return {host.Pid(), created.dwLowDateTime, created.dwHighDateTime};
}

int NoticesInUse() {
    int n = 0;
    for (const ClipboardOrphan& o : Section().orphans) n += o.owner.pid != 0;
    return n;
}

// A program on the desktop writes the words the library keeps for the
// clipboard: a notice and an entry naming the word processor with one of its
// own bitmaps, and a notice naming an earlier process that had the same id.
// The word processor releases nothing it did not withhold itself.
TEST_F(ClipboardGuard, RecordsPlantedInTheSectionReleaseNothingTheOwnerDidNotWithhold) {
    hosts::HostClient word;
    HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
    ASSERT_TRUE(doc);
    Register(word, doc, "P", 1, 7015);
    auto alive = [&](long long bmp) {
        return word.Call("gdi32.dll", "GetObjectType", {"i:" + std::to_string(bmp)}).Num("uret") == OBJ_BITMAP;
    };
    const long long own = word.Call("gdi32.dll", "CreateBitmap", {"i:8", "i:8", "i:1", "i:32", "i:0"}).Num("uret");
    ASSERT_NE(0, own);
    const ClipboardOwner owner = OwnerOf(word);
    SharedSection& s = Section();

    s.orphans[0] = {owner, CF_BITMAP, static_cast<uint32_t>(own)};
    __atomic_add_fetch(&s.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
    word.Call("user32.dll", "CountClipboardFormats", {});
    EXPECT_TRUE(alive(own)) << "a notice naming the word processor";
    EXPECT_EQ(0u, s.orphans[0].owner.pid) << "read and dropped by the process it names";

    s.ProtectedData[0] = {CF_BITMAP, static_cast<uint32_t>(own)};
    s.ProtectedDataOwner[0] = owner;
    ASSERT_EQ(1, word.Send("copy", {{"text", "x"}}).Num("set"));  // empties the clipboard first
    EXPECT_TRUE(alive(own)) << "an entry naming the word processor";

    hosts::Reply copy = word.Send("copy", {{"text", "figures"}, {"format", "bitmap"}});
    ASSERT_EQ(1, copy.Num("set"));
    const long long withheld = copy.Num("handle");
    // A second earlier: a process that ended, whose id came round again.
    const uint64_t start = (uint64_t{owner.startHigh} << 32 | owner.startLow) - 10000000;
    const ClipboardOwner earlier{owner.pid, static_cast<uint32_t>(start), static_cast<uint32_t>(start >> 32)};
    s.orphans[0] = {earlier, CF_BITMAP, static_cast<uint32_t>(withheld)};
    __atomic_add_fetch(&s.orphanGeneration, 1u, __ATOMIC_SEQ_CST);
    word.Call("user32.dll", "CountClipboardFormats", {});
    EXPECT_TRUE(alive(withheld)) << "a notice for an earlier process with the same id";
    s.orphans[0] = {};
}

// Owners end all the time (the user closes the application after a copy):
// what they withheld went with them, and nothing of theirs stays behind.
TEST_F(ClipboardGuard, OwnersThatEndLeaveNoNoticesBehind) {
    hosts::HostClient plain;
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel());
    int most = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        {
            hosts::HostClient word;
            HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
            ASSERT_TRUE(doc);
            Register(word, doc, "P", 1, 7016);
            ASSERT_EQ(1, word.Send("copy", {{"text", "figures"}}).Num("set"));
            ASSERT_TRUE(store.GetProtectedContent());
            ASSERT_TRUE(word.Quit());
            store.DelHookInfo(7016);
        }
        ASSERT_EQ(1, plain.Send("copy", {{"text", "elsewhere"}}).Num("set"));
        most = std::max(most, NoticesInUse());
    }
    EXPECT_EQ(0, most) << "of " << kClipboardOrphanSlots << " notices";
}

}  // namespace
