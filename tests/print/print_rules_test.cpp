// Which jobs of a protected document start: its letters, where the job's
// output goes, and the printer's driver. A refused job shows the user why,
// fails as a cancelled print, writes nothing and is not counted; a started
// job is counted once.
#include <memory>

#include "host_protocol.h"
#include "tests/print/print_fixture.h"

namespace printtest {
namespace {

const char kDocPath[] = "C:\\ZELFILETEMP\\(ZEL-0401)contract.doc";
constexpr DWORD kOwner = 7401;
constexpr int kTextOnly = 30;  // rendered small: only the text is read

TEST_F(PrintGuard, LettersDecideWhetherAndHowTheJobPrints) {
    PublishWater(100, "CONFIDENTIAL");
    const struct {
        const char* letters;
        bool printed, watermarked;
        const char* box;  // nullptr: none
    } cases[] = {
        {"PN", true, false, nullptr},     // print, no watermark
        {"AQ", true, true, nullptr},      // "A" prints whatever else the letters say
        {"N", false, false, kCantPrint},  // "N" alone gives no right to print
        {"Q", false, false, kPrintLimit},
        {"", false, false, kCantPrint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("letters \"") + c.letters + "\"");
        // A process of its own each: every message is shown at most once a second.
        PrintHost word("word11", kDocPath, kTextOnly);
        ASSERT_TRUE(word.ok());
        Register(word, kDocPath, c.letters, 1, kOwner);
        PrintEvent printEvent(kOwner);
        const Reply r = word.Print({{"printer", printworld::kOfficePrinter}});
        ASSERT_TRUE(r.ok) << r.error;
        const std::vector<PrintedJob> jobs = word.Jobs();
        if (c.printed) {
            EXPECT_GT(r.Num("startdoc"), 0);
            ASSERT_EQ(1u, jobs.size());
            EXPECT_EQ(c.watermarked, Mentions(jobs[0].text, "CONFIDENTIAL") > 0) << jobs[0].text;
            EXPECT_TRUE(printEvent.Taken());
            EXPECT_TRUE(word.SettledBoxes().empty());
        } else {
            EXPECT_EQ(0, r.Num("startdoc"));
            EXPECT_EQ(kRefused, static_cast<DWORD>(r.Num("err")));
            EXPECT_TRUE(jobs.empty());
            EXPECT_FALSE(printEvent.Taken());
            EXPECT_EQ(std::vector<std::string>{MessageText(c.box)}, word.Boxes(1));
        }
    }
}

TEST_F(PrintGuard, PrintingIntoAFileIsRefusedWithABoxBeforeTheCallReturns) {
    // A folder whose name the ANSI code page cannot spell.
    const std::wstring folder = L"C:\\windows\\temp\\\x041E\x0442\x0447\x0451\x0442\x044B";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring wideFile = folder + L"\\report.prn";
    char utf8[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, wideFile.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);

    PrintHost word("word11", kDocPath);
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);
    // The system's print-to-file port in any case, and files in folders that
    // exist: named with either slash, relative to the current folder or its
    // drive, or in a folder whose name is wide.
    const char* const outputs[] = {"file:", "FILE:", "File:", "C:\\windows\\report.prn", "C:/windows/report.prn",
                                   ".\\report.prn", "\\report.prn", "C:report.prn", utf8};
    size_t shown = 0;
    for (const char* output : outputs) {
        SCOPED_TRACE(output);
        const Reply r = word.Print({{"printer", printworld::kOfficePrinter}, {"output", output}});
        EXPECT_EQ(0, r.Num("startdoc"));
        EXPECT_EQ(kRefused, static_cast<DWORD>(r.Num("err")));
        // The box was up while the call waited: recorded when it returned.
        const std::vector<std::string> boxes = word.Boxes(0, 0);
        ASSERT_EQ(++shown, boxes.size());
        EXPECT_EQ(MessageText(kPrintError), boxes.back());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wideFile.c_str())) << "nothing written into the wide folder";
    EXPECT_TRUE(word.output().Files().size() == 1) << "only the boxes' record";
    EXPECT_FALSE(printEvent.Taken());

    // Port names without a colon are no files: with the right to everything
    // the job starts (the spooler writes it where that port takes it).
    store.SetHookInfo(kOwner, "A");
    for (const char* port : {"USB001", "IP_10.0.0.5"}) {
        SCOPED_TRACE(port);
        const Reply r = word.Print({{"printer", printworld::kOfficePrinter}, {"output", port}});
        EXPECT_GT(r.Num("startdoc"), 0);
        EXPECT_TRUE(printEvent.Taken());
        word.host().Send("file", {{"op", "delete"}, {"path", port}});
    }
    EXPECT_EQ(shown, word.SettledBoxes().size());
    RemoveDirectoryW(folder.c_str());
}

// Printers and spooler jobs whose output lands in a file are a print into a
// file as well: a printer whose port is a file's path, and a spooler job of
// the application's own that names an output file (or a port name the
// spooler does not know, which it writes as a file). Refused like the
// print-to-file port, with its box; "A" prints there.
TEST_F(PrintGuard, PrintersAndSpoolerJobsThatWriteFilesAreAPrintIntoAFile) {
    const std::string portFile = printworld::FilePortOutput();
    const std::string spooled = "C:\\windows\\temp\\gatrel_spooled.prn";
    DeleteFileA(portFile.c_str());
    DeleteFileA(spooled.c_str());
    PrintHost word("word11", kDocPath);
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);

    const Reply port = word.Print({{"printer", printworld::kFilePortPrinter}});
    EXPECT_LE(port.Num("startdoc"), 0);
    EXPECT_EQ(kRefused, static_cast<DWORD>(port.Num("err")));
    EXPECT_EQ(std::vector<std::string>{MessageText(kPrintError)}, word.Boxes(0, 0)) << "shown before the call returned";
    EXPECT_FALSE(printEvent.Taken());
    // A relative output name that is no port the spooler knows.
    const Reply relative = word.Print({{"printer", printworld::kOfficePrinter}, {"output", "report.prn"}});
    EXPECT_LE(relative.Num("startdoc"), 0);
    EXPECT_EQ(kRefused, static_cast<DWORD>(relative.Num("err")));
    EXPECT_EQ(2u, word.Boxes(0, 0).size());
    const Reply job = word.host().Send("spooljob", {{"printer", printworld::kOfficePrinter}, {"output", spooled}});
    ASSERT_EQ(1, job.Num("opened"));
    EXPECT_EQ(0, job.Num("job"));
    EXPECT_EQ(kRefused, static_cast<DWORD>(job.Num("err")));
    EXPECT_EQ(3u, word.Boxes(0, 0).size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(portFile.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(spooled.c_str()));
    EXPECT_EQ(static_cast<long long>(INVALID_FILE_ATTRIBUTES),
              word.host().Send("file", {{"op", "attr"}, {"path", "report.prn"}}).Num("ret"))
        << "no report.prn in the current folder";
    EXPECT_FALSE(printEvent.Taken());

    store.SetHookInfo(kOwner, "A");
    EXPECT_GT(word.Print({{"printer", printworld::kFilePortPrinter}}).Num("startdoc"), 0);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(portFile.c_str()));
    EXPECT_NE(0, word.host().Send("spooljob", {{"printer", printworld::kOfficePrinter}, {"output", spooled}}).Num("job"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(spooled.c_str()));
    EXPECT_EQ(3u, word.SettledBoxes().size());
    DeleteFileA(portFile.c_str());
    DeleteFileA(spooled.c_str());
}

// While the print-to-file box is up, its message loop runs the application's
// messages: a print they start is a print like any other, with its rules,
// its watermark and its count.
TEST_F(PrintGuard, APrintSentWhileTheRefusalBoxIsUpGetsItsRules) {
    PublishWater(100, "CONFIDENTIAL");
    PrintHost word("word11", kDocPath, kTextOnly, "show");
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);
    hosts::HostClient& host = word.host();
    std::unique_ptr<hosts::PendingReply> refused =
        host.SendAsync("print", {{"printer", printworld::kOfficePrinter}, {"output", "FILE:"}});
    ASSERT_EQ(1u, word.Boxes(1, 10000).size());
    HWND box = nullptr;
    for (int i = 0; i < 200 && !(box = FindWindowA("#32770", nullptr)); ++i) Sleep(50);
    ASSERT_TRUE(box);
    const Reply nested = host.Send("print", {{"printer", printworld::kOfficePrinter}}, 120000);
    EXPECT_GT(nested.Num("startdoc"), 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    const Reply first = refused->Get(30000);
    EXPECT_EQ(0, first.Num("startdoc"));
    const std::vector<PrintedJob> jobs = word.Jobs();
    ASSERT_EQ(1u, jobs.size());
    EXPECT_GT(Mentions(jobs[0].text, "CONFIDENTIAL"), 0u) << jobs[0].text;
    EXPECT_TRUE(printEvent.Taken());
}

TEST_F(PrintGuard, VirtualPrintersTakeProtectedDocumentsOnlyWithTheAllRight) {
    PublishWater(100, "CONFIDENTIAL");
    PrintEvent printEvent(kOwner);
    // The printer itself: the spooler's job is refused inside StartDocW.
    {
        PrintHost word("word11", kDocPath);
        ASSERT_TRUE(word.ok());
        Register(word, kDocPath, "P", 1, kOwner);
        const Reply r = word.Print({{"printer", printworld::kPdfPrinter}});
        EXPECT_LE(r.Num("startdoc"), 0);
        EXPECT_EQ(std::vector<std::string>{MessageText(kVirtualPrinter)}, word.Boxes(1));
        EXPECT_FALSE(printEvent.Taken()) << "a job that never started is not counted";
        EXPECT_TRUE(word.Jobs().empty());

        store.SetHookInfo(kOwner, "A");
        const Reply all = word.Print({{"printer", printworld::kPdfPrinter}});
        EXPECT_GT(all.Num("startdoc"), 0);
        ASSERT_EQ(1u, word.Jobs().size());
        EXPECT_NE(std::string::npos, word.Jobs()[0].file.find(".pdf"));
        EXPECT_TRUE(printEvent.Taken());
    }
    // The printer the application set up through the spooler before printing:
    // the job is refused before it reaches the spooler.
    {
        PrintHost word("word11", kDocPath);
        ASSERT_TRUE(word.ok());
        Register(word, kDocPath, "P", 1, kOwner);
        const Reply r = word.Print({{"printer", printworld::kPdfPrinter}, {"props", "1"}});
        EXPECT_EQ(IDOK, r.Num("props"));
        EXPECT_EQ(0, r.Num("startdoc"));
        EXPECT_EQ(kRefused, static_cast<DWORD>(r.Num("err")));
        EXPECT_EQ(std::vector<std::string>{MessageText(kVirtualPrinter)}, word.Boxes(1));
        EXPECT_FALSE(printEvent.Taken());
        EXPECT_TRUE(word.Jobs().empty());
    }
    // A printer whose information is larger than 8,400 bytes (its comment):
    // its driver is read all the same.
    {
        PrintHost word("word11", kDocPath);
        ASSERT_TRUE(word.ok());
        Register(word, kDocPath, "P", 1, kOwner);
        const Reply r = word.Print({{"printer", printworld::kArchivePrinter}});
        EXPECT_LE(r.Num("startdoc"), 0);
        EXPECT_EQ(std::vector<std::string>{MessageText(kVirtualPrinter)}, word.Boxes(1));
        EXPECT_FALSE(printEvent.Taken());
        EXPECT_TRUE(word.Jobs().empty());
    }
}

// Which printer a job may use follows the job's own document and the printer
// it goes to: not the document in front (the user switched windows while the
// protected one prints in the background), not the printer the application
// last asked the spooler about.
TEST_F(PrintGuard, TheVirtualPrinterRuleFollowsTheJobNotTheWindowInFrontOrThePrinterLastAskedAbout) {
    PublishWater(100, "CONFIDENTIAL");
    PrintHost word("word11", kDocPath, kTextOnly);
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);
    HWND other = word.host().OpenDoc("C:\\docs\\letter.doc");
    ASSERT_TRUE(other && word.host().Activate(other));
    const Reply background = word.host().Send(
        "print", {{"printer", printworld::kPdfPrinter}, {"doc", hostproto::Hex(reinterpret_cast<uintptr_t>(word.doc()))}},
        120000);
    EXPECT_LE(background.Num("startdoc"), 0) << background.Str("job");
    EXPECT_EQ(kRefused, static_cast<DWORD>(background.Num("err")));
    EXPECT_TRUE(word.Jobs().empty());
    EXPECT_EQ(std::vector<std::string>{MessageText(kVirtualPrinter)}, word.Boxes(1));
    EXPECT_FALSE(printEvent.Taken());

    // Set up on the PDF writer, printed on the office printer.
    const Reply setup = word.host().Send("printersetup", {{"printer", printworld::kPdfPrinter}});
    ASSERT_EQ(IDOK, setup.Num("props"));
    const Reply office = word.Print({{"printer", printworld::kOfficePrinter}});
    EXPECT_GT(office.Num("startdoc"), 0);
    ASSERT_EQ(1u, word.Jobs().size());
    EXPECT_GT(Mentions(word.Jobs()[0].text, "CONFIDENTIAL"), 0u);
    EXPECT_TRUE(printEvent.Taken());
    EXPECT_EQ(1u, word.SettledBoxes().size());
}

TEST_F(PrintGuard, MissingDescriptionsAndNamesReachTheRealFunctionUnderTheSameRules) {
    PublishWater(100, "CONFIDENTIAL");
    PrintEvent printEvent(kOwner);
    PrintHost word("word11", kDocPath, kTextOnly);
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    // Without a name the document in front decides.
    for (const char* missing : {"nulldoc", "nullname"}) {
        SCOPED_TRACE(missing);
        word.output().Clear();
        const Reply r = word.Print({{"printer", printworld::kOfficePrinter}, {missing, "1"}});
        EXPECT_GT(r.Num("startdoc"), 0) << r.error;
        ASSERT_EQ(1u, word.Jobs().size());
        EXPECT_GT(Count(word.Jobs()[0].text, Doubled("CONFIDENTIAL")), 0u);
        EXPECT_TRUE(printEvent.Taken());
    }
    store.SetHookInfo(kOwner, "Q");
    word.output().Clear();
    const Reply refused = word.Print({{"printer", printworld::kOfficePrinter}, {"nulldoc", "1"}});
    EXPECT_EQ(0, refused.Num("startdoc"));
    EXPECT_EQ(std::vector<std::string>{MessageText(kPrintLimit)}, word.Boxes(1));
    EXPECT_TRUE(word.Jobs().empty());

    // The spooler's functions without names.
    const Reply open = word.host().Call("winspool.drv", "OpenPrinterW", {"i:0", "b:4", "i:0"});
    EXPECT_TRUE(open.ok) << open.error;
    const Reply props = word.host().Call("winspool.drv", "DocumentPropertiesW", {"i:0", "i:0", "i:0", "i:0", "i:0", "i:0"});
    EXPECT_TRUE(props.ok) << props.error;
    EXPECT_TRUE(word.host().Send("ping").ok) << "the application lives on";
}

}  // namespace
}  // namespace printtest
