// Which jobs of a protected document start: its letters, where the job's
// output goes, and the printer's driver. A refused job shows the user why,
// fails as a cancelled print, writes nothing and is not counted; a started
// job is counted once.
#include <memory>

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
            EXPECT_TRUE(word.Boxes().empty());
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
    PrintHost word("word11", kDocPath);
    ASSERT_TRUE(word.ok());
    Register(word, kDocPath, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);
    // The system's print-to-file port in both spellings, and files in folders
    // that exist: named with either slash, or relative to the current folder.
    const char* const outputs[] = {"file:", "FILE:", "C:\\windows\\report.prn", "C:/windows/report.prn",
                                   "report.prn", "\\report.prn"};
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
    EXPECT_TRUE(word.output().Files().size() == 1) << "only the boxes' record";
    EXPECT_FALSE(printEvent.Taken());
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
