// Protected documents printed from the four applications: every page carries
// the expanded watermark, in the passes of each application, over the page's
// own text without hiding it; unprotected documents print untouched, and a
// process of no protected application prints without any print guard.
#include <limits>

#include "tests/print/print_fixture.h"

namespace printtest {
namespace {

// Strength 64: the office underlay is grey 191 and the overlay covers a
// quarter of it with black; the PDF application's overlay, twice as strong,
// covers half of the paper. Pages are rendered at the test printer's own
// 600 dpi: every row of pixels is a row of its screen, whose stripes (12
// pixels apart under the 50-point line) no coarser rendering keeps whole.
constexpr WORD kOpacity = 64;
constexpr int kUnderlayGrey = 255 - kOpacity;
constexpr int kRenderDpi = 600;
constexpr int kPages = 2;

struct AppCase {
    const char* variant;
    uint8_t type;
    const char* path;      // the protected document
    const char* letters;   // "A" for the PDF application: its printer is the PDF writer
    const char* printer;
    bool pdfApplication;
};

void PrintTo(const AppCase& c, std::ostream* os) { *os << c.variant; }

class ProtectedPages : public PrintGuard, public ::testing::WithParamInterface<AppCase> {};

TEST_P(ProtectedPages, EveryPageCarriesTheWatermarkOverItsOwnReadableText) {
    const AppCase c = GetParam();
    PublishWater(kOpacity);
    PrintHost app(c.variant, c.path, kRenderDpi);
    ASSERT_TRUE(app.ok());
    const DWORD owner = 7300 + c.type;
    Register(app, c.path, c.letters, c.type, owner);
    PrintEvent printEvent(owner);

    // Forty lines of the application's own text run down the whole page,
    // through the watermark's line.
    const std::string dayBefore = Today();
    const Reply r = app.Print({{"printer", c.printer}, {"pages", std::to_string(kPages)}, {"lines", "40"}});
    const std::string dayAfter = Today();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_GT(r.Num("startdoc"), 0);
    EXPECT_GT(r.Num("enddoc"), 0);
    EXPECT_TRUE(printEvent.Taken()) << "the controller counts the print";
    EXPECT_FALSE(printEvent.Taken()) << "once";

    const std::vector<PrintedJob> jobs = app.Jobs();
    ASSERT_EQ(1u, jobs.size());
    const PrintedJob& job = jobs[0];
    ASSERT_EQ(static_cast<size_t>(kPages), job.pages.size());
    EXPECT_EQ(40u * kPages, Count(job.text, "Printed by the test host")) << job.text;
    if (c.pdfApplication) {
        // One pass: the watermark's text once per page.
        EXPECT_EQ(static_cast<size_t>(kPages), CountEither(job.text, dayBefore, dayAfter)) << job.text;
        EXPECT_GE(Count(job.text, "CONFIDENTIAL"), static_cast<size_t>(kPages));
        EXPECT_EQ(0u, Count(job.text, Doubled("CONFIDENTIAL")));
    } else {
        // Two passes at the same place: extraction reads each character twice.
        EXPECT_EQ(static_cast<size_t>(kPages), CountEither(job.text, Doubled(dayBefore), Doubled(dayAfter)))
            << job.text;
        EXPECT_GE(Count(job.text, Doubled("CONFIDENTIAL")), static_cast<size_t>(kPages));
    }
    for (size_t i = 0; i < job.pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const std::string rows = BandRows(job.pages[i], kUnderlayGrey);
        ASSERT_GT(rows.size(), 40u) << "the watermark's line";
        if (c.pdfApplication) {
            // Translucent black at twice the strength (128 of 255): half the
            // rows of the screen.
            EXPECT_NEAR(128.0 / 255, Share(rows, '#'), 0.06) << rows;
            EXPECT_EQ(0, Share(rows, '-') > 0.5) << "no underlay: " << rows;
        } else {
            // Grey under, and black over a quarter of it (64 of 255).
            EXPECT_NEAR(64.0 / 255, Share(rows, '#'), 0.06) << rows;
            EXPECT_GT(Share(rows, '-'), 0.6) << rows;
        }
        EXPECT_GT(PaperShareUnderBand(job.pages[i]), 0.3) << "the page's text lies under the watermark, not a box";
    }

    // A document without protection in front of the same application prints
    // untouched: no watermark, no print counted, nothing shown.
    const std::string plainPath = std::string("C:\\docs\\notes") + (c.pdfApplication ? ".pdf" : ".doc");
    app.output().Clear();
    HWND plain = app.host().OpenDoc(plainPath);
    ASSERT_TRUE(plain && app.host().Activate(plain));
    const Reply u = app.host().Send("print", {{"printer", c.printer}, {"lines", "40"}}, 120000);
    EXPECT_GT(u.Num("startdoc"), 0) << u.error;
    const std::vector<PrintedJob> untouched = app.Jobs();
    ASSERT_EQ(1u, untouched.size());
    EXPECT_EQ(0u, Mentions(untouched[0].text, "CONFIDENTIAL"));
    ASSERT_EQ(1u, untouched[0].pages.size());
    EXPECT_EQ("", BandRows(untouched[0].pages[0], kUnderlayGrey)) << "nothing in the right half";
    EXPECT_FALSE(printEvent.Taken());
    EXPECT_TRUE(app.SettledBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Applications, ProtectedPages,
    ::testing::Values(
        AppCase{"word11", 1, "C:\\ZELFILETEMP\\(ZEL-0301)report.doc", "P", printworld::kOfficePrinter, false},
        AppCase{"excel12", 2, "C:\\ZELFILETEMP\\(ZEL-0302)budget.xls", "P", printworld::kOfficePrinter, false},
        AppCase{"ppt11", 3, "C:\\ZELFILETEMP\\(ZEL-0303)slides.ppt", "P", printworld::kOfficePrinter, false},
        AppCase{"acrobat9", 4, "C:\\ZELFILETEMP\\(ZEL-0304)paper.pdf", "A", printworld::kPdfPrinter, true}),
    [](const auto& info) { return std::string(info.param.variant); });

// Applications page a job in more ways than StartPage and EndPage: the ANSI
// start, the old escapes (STARTDOC begins the first page, NEWFRAME ends each,
// and the next begins with its first drawing) and bands (the driver ends
// each page through EndPage), through Escape or ExtEscape. Every page of every
// way gets the watermark, the job is counted once, and its entry ends with it.
TEST_F(PrintGuard, EveryWayOfPagingAJobGetsTheWatermarkOnEveryPage) {
    const char kDoc[] = "C:\\ZELFILETEMP\\(ZEL-0311)ledger.doc";
    constexpr DWORD kOwner = 7311;
    constexpr int kPagesEach = 3;
    PublishWater(kOpacity);
    PrintHost word("word11", kDoc, 75);
    ASSERT_TRUE(word.ok());
    Register(word, kDoc, "P", 1, kOwner);
    PrintEvent printEvent(kOwner);
    const struct {
        const char* via;
        const char* ansi;
    } cases[] = {{"", "1"}, {"escape", "0"}, {"band", "0"}, {"extband", "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("via \"") + c.via + "\" ansi " + c.ansi);
        word.output().Clear();
        const Reply r = word.Print(
            {{"printer", printworld::kOfficePrinter}, {"pages", std::to_string(kPagesEach)}, {"via", c.via}, {"ansi", c.ansi}});
        ASSERT_GT(r.Num("startdoc"), 0) << r.error;
        const std::vector<PrintedJob> jobs = word.Jobs();
        ASSERT_EQ(1u, jobs.size());
        ASSERT_EQ(static_cast<size_t>(kPagesEach), jobs[0].pages.size());
        for (size_t i = 0; i < jobs[0].pages.size(); ++i)
            EXPECT_GT(Share(BandRows(jobs[0].pages[i], kUnderlayGrey), '#'), 0.1) << "page " << i + 1;
        EXPECT_TRUE(printEvent.Taken());
        EXPECT_FALSE(printEvent.Taken()) << "counted once";
        EXPECT_EQ(0, word.PrintState().need) << "the job's entry ended with it";
    }
}

// A size the controller got wrong (not a number, negative, infinite) is
// fitted to the page as 0 is: the job's pages still carry the watermark.
TEST_F(PrintGuard, AWatermarkSizeThatIsNoSizeIsFittedToThePage) {
    const char kDoc[] = "C:\\ZELFILETEMP\\(ZEL-0312)memo.doc";
    constexpr DWORD kOwner = 7312;
    PrintHost word("word11", kDoc, 75);
    ASSERT_TRUE(word.ok());
    Register(word, kDoc, "P", 1, kOwner);
    for (float size : {std::numeric_limits<float>::quiet_NaN(), -5.0f, -std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(size);
        PublishWater(kOpacity, "CONFIDENTIAL", 'L', size);
        word.output().Clear();
        const Reply r = word.Print({{"printer", printworld::kOfficePrinter}});
        ASSERT_GT(r.Num("startdoc"), 0) << r.error;
        const std::vector<PrintedJob> jobs = word.Jobs();
        ASSERT_EQ(1u, jobs.size());
        ASSERT_EQ(1u, jobs[0].pages.size());
        EXPECT_GT(Count(jobs[0].text, Doubled("CONFIDENTIAL")), 0u) << jobs[0].text;
        EXPECT_GT(Share(BandRows(jobs[0].pages[0], kUnderlayGrey), '#'), 0.1);
    }
}

TEST_F(PrintGuard, OnlyTheFourApplicationsGetThePrintReplacements) {
    const char* const kPrintRows[] = {"StartDocW", "EndDoc",       "StartDocPrinterW", "DocumentPropertiesW",
                                      "StartPage", "EndPage",      "OpenPrinterW",     "AbortDoc",
                                      "Escape",    "OpenPrinterA"};
    for (const char* variant : {"word12", "acrord8", "korb", "plain"}) {
        hosts::HostClient host;
        ASSERT_TRUE(host.Start(variant) && host.LoadGatrel()) << variant;
        const std::string names = "," + host.Send("hookreport").Str("names") + ",";
        const bool application = std::string(variant) != "korb" && std::string(variant) != "plain";
        for (const char* row : kPrintRows)
            EXPECT_EQ(application, names.find("," + std::string(row) + ",") != std::string::npos)
                << variant << " " << row;
    }
}

}  // namespace
}  // namespace printtest
