// The controller tool as an administrator uses it: one zelctl holds the library
// and changes the store, a second zelctl lists what the first one wrote. This
// program never loads Gatrel.dll itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_client.h"
#include "tests/hooks/child_process.h"
#include "tests/hooks/host_window.h"
#include "tests/watermark/page_pixels.h"

using testing_support::ChildProcess;
using testing_support::ExeDir;
using testing_support::HostWindow;
using testing_support::RunToEnd;

namespace {

std::string Zelctl() { return "\"" + ExeDir() + "zelctl.exe\""; }

std::string HexWnd(HWND w) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lx",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return buf;
}

// The table row of `zelctl list` whose owner column is owner; empty if none.
std::string RowOfOwner(const std::string& listing, unsigned long owner) {
    size_t at = 0;
    while (at < listing.size()) {
        size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        const std::string line = listing.substr(at, end - at);
        unsigned slot = 0;
        unsigned long pid = 0, own = 0;
        if (sscanf(line.c_str(), "%u %lu %lu", &slot, &pid, &own) == 3 && own == owner) return line;
        at = end + 1;
    }
    return {};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ListInSecondProcess() {
    std::string out, err;
    const int code = RunToEnd(Zelctl() + " list", &out, &err);
    EXPECT_EQ(0, code) << err;
    return out;
}

class ZelctlTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(holder.Start(Zelctl())) << "zelctl.exe next to this test";
        ASSERT_TRUE(holder.WriteLine("del all"));
    }
    void TearDown() override {
        holder.WriteLine("del all");
        holder.WriteLine("quit");
        holder.Wait();
    }
    // Sends lines to the holding zelctl and waits until it has run them all.
    void Type(const std::vector<std::string>& lines) {
        for (const auto& l : lines) ASSERT_TRUE(holder.WriteLine(l));
        const std::string marker = "done-" + std::to_string(++markers);
        ASSERT_TRUE(holder.WriteLine("echo " + marker));
        ASSERT_TRUE(holder.WaitForOutput(marker)) << holder.Output() << holder.Errors();
    }

    ChildProcess holder;
    int markers = 0;
};

TEST_F(ZelctlTool, RecordsAddedByOneProcessAreListedByAnother) {
    // Names of its own: another test's host may be running.
    const std::string cls = "ZelctlHost" + std::to_string(GetCurrentProcessId());
    const std::string title = "Plan - Word stand-in " + std::to_string(GetCurrentProcessId());
    HostWindow host(title, nullptr, cls);
    ASSERT_TRUE(host.Ready());
    Type({"add wnd=class:" + cls + " owner=4242 type=1 letters=P zelname=plan.doc "
          "path=\"C:\\Zel Docs\\(ZEL-0001)plan.doc\" temp=C:\\Temp\\word extra=7 dwextra=99",
          "add pid=1111 owner=2222 type=2 letters=CP wnd=0x1234 "
          "path=C:\\Docs\\(ZEL-0002)sheet.xls zelname=sheet.xls",
          "add wnd=\"title:" + title + "\" owner=3333 type=3 letters=ACPQNWR "
          "path=C:\\Docs\\(ZEL-0003)slides.ppt"});
    EXPECT_EQ("", holder.Errors());

    const std::string listing = ListInSecondProcess();
    EXPECT_TRUE(Has(listing, "records: 3 of 15 slots")) << listing;

    const std::string plan = RowOfOwner(listing, 4242);
    ASSERT_NE("", plan) << listing;
    EXPECT_TRUE(Has(plan, " " + std::to_string(host.Pid()) + " ")) << "pid of the looked-up window: " << plan;
    EXPECT_TRUE(Has(plan, HexWnd(host.Wnd()))) << plan;
    EXPECT_TRUE(Has(plan, "1 word")) << plan;
    EXPECT_TRUE(Has(plan, " P ")) << plan;
    EXPECT_TRUE(Has(plan, "plan.doc")) << plan;
    EXPECT_TRUE(Has(plan, " 7 ")) << plan;
    EXPECT_TRUE(Has(plan, " 99 ")) << plan;
    EXPECT_TRUE(Has(plan, "C:\\Zel Docs\\(ZEL-0001)plan.doc")) << plan;
    EXPECT_TRUE(Has(listing, "temp path: C:\\Temp\\word")) << listing;

    const std::string sheet = RowOfOwner(listing, 2222);
    ASSERT_NE("", sheet) << listing;
    EXPECT_TRUE(Has(sheet, " 1111 ")) << sheet;
    EXPECT_TRUE(Has(sheet, "0x00001234")) << sheet;
    EXPECT_TRUE(Has(sheet, " CP ")) << sheet;

    const std::string slides = RowOfOwner(listing, 3333);
    ASSERT_NE("", slides) << listing;
    EXPECT_TRUE(Has(slides, HexWnd(host.Wnd()))) << "found by title: " << slides;
    EXPECT_TRUE(Has(slides, " ACPQNWR ")) << slides;
}

TEST_F(ZelctlTool, LettersChangeAndRecordsGoAwayForEveryProcess) {
    Type({"add pid=1111 owner=2222 type=1 letters=P path=C:\\Docs\\(ZEL-0004)a.doc",
          "add pid=5555 owner=6666 type=2 letters=P path=C:\\Docs\\(ZEL-0005)b.xls"});
    Type({"letters owner=2222 CP", "letters path=c:\\DOCS\\(zel-0005)B.XLS A"});
    EXPECT_EQ("", holder.Errors());
    std::string listing = ListInSecondProcess();
    EXPECT_TRUE(Has(RowOfOwner(listing, 2222), " CP ")) << listing;
    EXPECT_TRUE(Has(RowOfOwner(listing, 6666), " A ")) << "path matched ignoring case: " << listing;

    Type({"letters owner=2222 \"\""});
    listing = ListInSecondProcess();
    const std::string row = RowOfOwner(listing, 2222);
    ASSERT_NE("", row);
    EXPECT_FALSE(Has(row, " CP ")) << "no letters, no rights: " << row;

    Type({"del owner=2222"});
    listing = ListInSecondProcess();
    EXPECT_EQ("", RowOfOwner(listing, 2222)) << listing;
    EXPECT_NE("", RowOfOwner(listing, 6666)) << listing;
    EXPECT_TRUE(Has(listing, "records: 1 of 15 slots")) << listing;
}

TEST_F(ZelctlTool, WatermarkAndKorbSettingsAreListedByAnotherProcess) {
    Type({"water layout=C size=36.5 opacity=40 lines=3 text=\"CONFIDENTIAL - ZEL\"",
          "korb info=1 class=KorbMainFrame"});
    std::string listing = ListInSecondProcess();
    EXPECT_TRUE(Has(listing, "watermark: layout='C' size=36.5 opacity=40 lines=3 "
                             "text=\"CONFIDENTIAL - ZEL\""))
        << listing;
    EXPECT_TRUE(Has(listing, "korb: info=1 class=\"KorbMainFrame\"")) << listing;

    Type({"water opacity=80", "korb info=0"});
    listing = ListInSecondProcess();
    EXPECT_TRUE(Has(listing, "layout='C' size=36.5 opacity=80 lines=3")) << "only opacity changed: " << listing;
    EXPECT_TRUE(Has(listing, "korb: info=0 class=\"KorbMainFrame\"")) << listing;
}

TEST_F(ZelctlTool, OstrumRecordsReportTheStoresResult) {
    Type({"add-ostrum pid=700 owner=700 type=6 zelname=korb.doc path=C:\\K\\(ZEL-0006)korb.doc"});
    EXPECT_TRUE(Has(holder.Output(), "add-ostrum: 0 (stored)")) << holder.Output();
    Type({"add-ostrum pid=701 owner=701 type=1 zelname=KORB.DOC path=C:\\K\\(ZEL-0007)x.doc"});
    EXPECT_TRUE(holder.WaitForErrors("60027")) << holder.Errors();
    Type({"del-guard owner=700 zelname=korb.doc wnd=0x777 type=6"});
    const std::string listing = ListInSecondProcess();
    EXPECT_TRUE(Has(listing, "records: 0 of 15 slots")) << listing;
    EXPECT_TRUE(Has(listing, "0x00000777")) << "the cleared slot keeps its window: " << listing;
}

std::string TempFile(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

// What the administrator sees before rolling a watermark out: the store's
// settings, or the ones given on the command line, on an A4 page.
TEST_F(ZelctlTool, PreviewDrawsTheStoresWatermarkOrTheOneGivenOnTheCommandLine) {
    Type({"water layout=L size=40 opacity=120 lines=1 text=PREVIEW"});
    const std::string png = TempFile("zelctl_preview_store.png");
    std::string out, err;
    ASSERT_EQ(0, RunToEnd(Zelctl() + " preview --out \"" + png + "\"", &out, &err)) << err;
    EXPECT_TRUE(Has(out, "preview: ok (" + png + ", 1240x1754 at 150 dpi, font Arial 28.0 pt, 1 lines)")) << out;
    watertest::PagePixels page = watertest::ReadPng(png);
    ASSERT_EQ(1240, page.width);
    ASSERT_EQ(1754, page.height);
    const int em = 28 * 150 / 72;
    const auto bands = watertest::InkBands(page, em);
    ASSERT_EQ(1u, bands.size());
    EXPECT_NEAR(page.height / 2.0, (bands[0].first + bands[0].second) / 2.0, 0.15 * em);
    // Grey 255 - 120 under the content; over it black at 120/255, which a
    // printer that cannot blend (the default, as the test world's) gets as a
    // screen of opaque stripes: the glyphs are grey and black, nothing between.
    auto shares = [](const watertest::PagePixels& p) {
        long grey = 0, black = 0, between = 0;
        for (uint32_t c : p.argb) {
            const int red = watertest::Red(c);
            if (red < 8) ++black;
            else if (red > 127 && red < 143) ++grey;
            else if (red > 40 && red < 100) ++between;
        }
        return std::vector<long>{grey, black, between};
    };
    std::vector<long> ink = shares(page);
    EXPECT_EQ(135, watertest::Red(watertest::CommonInkColour(page, 0xFFFFFFFF)));
    EXPECT_GT(ink[1], ink[0] / 4) << "black stripes over the grey";
    EXPECT_LT(ink[2], ink[0] / 10) << "no blended tone";
    // A printer that blends: one smooth tone.
    ASSERT_EQ(0, RunToEnd(Zelctl() + " preview --device blend --out \"" + png + "\"", &out, &err)) << err;
    page = watertest::ReadPng(png);
    EXPECT_NEAR(135 * (255 - 120) / 255, watertest::Red(watertest::CommonInkColour(page, 0xFFFFFFFF)), 6);
    ink = shares(page);
    EXPECT_LT(ink[1], ink[2] / 10) << "no stripes";

    // Five lines draw three; a landscape page's diagonal rises by less than 45 degrees.
    ASSERT_EQ(0, RunToEnd(Zelctl() + " preview --out \"" + png + "\" --layout D --landscape --dpi 100 --lines 5 "
                                     "--size 30 --opacity 200 --text SECRET",
                          &out, &err))
        << err;
    EXPECT_TRUE(Has(out, "1169x827 at 100 dpi, font Arial 21.0 pt, 3 lines")) << out;
    page = watertest::ReadPng(png);
    ASSERT_EQ(1169, page.width);
    const double slope = watertest::InkSlopeDegrees(page);
    EXPECT_TRUE(slope > 25 && slope < 45) << slope;
    EXPECT_EQ(3, watertest::InkLinesAcross(page, slope, 21 * 100 / 72));

    // As the PDF application prints it: one overlay at twice the strength,
    // as black stripes on a printer, smooth where the device blends.
    ASSERT_EQ(0, RunToEnd(Zelctl() + " preview --pdf --opacity 100 --out \"" + png + "\"", &out, &err)) << err;
    EXPECT_EQ(0, watertest::Red(watertest::CommonInkColour(watertest::ReadPng(png), 0xFFFFFFFF)));
    ASSERT_EQ(0, RunToEnd(Zelctl() + " preview --pdf --opacity 100 --device blend --out \"" + png + "\"", &out, &err))
        << err;
    EXPECT_NEAR(55, watertest::Red(watertest::CommonInkColour(watertest::ReadPng(png), 0xFFFFFFFF)), 4);
    DeleteFileA(png.c_str());
}

TEST(ZelctlScript, PreviewRefusesWhatItCannotDraw) {
    const std::string png = TempFile("zelctl_preview_refused.png");
    DeleteFileA(png.c_str());
    const struct {
        std::string args, reason;
    } cases[] = {{"", "usage: preview --out FILE.png"},
                 {"--out \"" + png + "\" --layout Q", "layout: L (horizontal) or D (diagonal)"},
                 {"--out \"" + png + "\" --dpi 5000", "dpi: 5000 is above 600"},
                 {"--out \"" + png + "\" --size -3", "size: 0 (fit to the page) or more points"},
                 {"--out \"" + png + "\" --colour red", "unknown option \"--colour\""},
                 {"--out \"" + png + "\" --device screen", "device: printer (a screen of stripes) or blend (smooth)"},
                 {"--out \"" + png + "\" --lines", "usage: preview"},
                 {"--out Q:\\no\\such\\folder\\p.png", "preview: cannot write the PNG"}};
    for (const auto& c : cases) {
        std::string out, err;
        EXPECT_EQ(1, RunToEnd(Zelctl() + " preview " + c.args, &out, &err)) << c.args;
        EXPECT_TRUE(Has(err, c.reason)) << c.args << "\n" << err;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(png.c_str())) << "no page written";
}

TEST_F(ZelctlTool, AddReportsARecordTheFullTableDropped) {
    std::vector<std::string> fill;
    for (int i = 0; i < 15; ++i)
        fill.push_back("add pid=" + std::to_string(9100 + i) + " type=1 letters=P path=C:\\D\\(ZEL-01" +
                       std::to_string(10 + i) + ")f.doc");
    Type(fill);
    EXPECT_EQ("", holder.Errors());
    EXPECT_TRUE(Has(holder.Output(), "add: ok (owner 9114, slot 14)")) << holder.Output();
    Type({"add pid=9200 type=1 letters=P path=C:\\D\\(ZEL-0200)late.doc"});
    EXPECT_TRUE(holder.WaitForErrors("the record was dropped")) << holder.Errors();
    EXPECT_FALSE(Has(holder.Output(), "owner 9200")) << holder.Output();
    // An owner that already has a slot is replaced in place, also in a full table.
    Type({"add pid=9105 type=2 letters=CP path=C:\\D\\(ZEL-0115)g.xls"});
    EXPECT_TRUE(Has(holder.Output(), "add: ok (owner 9105, slot 5)")) << holder.Output();
}

// The lock of the Ostrum operations belongs to the controller: applications
// that only look records up and guard their clipboard never create it.
TEST(ZelctlStoreMutex, OnlyTheControllerCreatesTheOstrumLock) {
    hosts::HostClient word;
    ASSERT_TRUE(word.Start("word11") && word.LoadGatrel()) << word.LastError();
    word.CreateDoc();
    const HWND doc = word.OpenDoc("C:\\ZELFILETEMP\\(ZEL-0300)mutex.doc");
    ASSERT_TRUE(doc);
    word.Activate(doc);
    const std::string pid = std::to_string(word.Pid());
    std::string out, err;
    ASSERT_EQ(0, RunToEnd(Zelctl() + " add pid=" + pid + " type=1 letters=P wnd=" + HexWnd(doc) +
                              " path=C:\\ZELFILETEMP\\(ZEL-0300)mutex.doc",
                          &out, &err))
        << err;
    EXPECT_TRUE(word.IsZelDoc(doc).answer);
    EXPECT_EQ(1, word.Send("copy", {{"text", "withheld"}}).Num("set"));
    HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, "DllShareMem");
    EXPECT_EQ(nullptr, lock) << "a process without the control interface made the Ostrum lock";
    if (lock) CloseHandle(lock);
    RunToEnd(Zelctl() + " del owner=" + pid, &out, &err);
}

TEST(ZelctlScript, RunsAFileAndStopsAtTheFirstFailingLine) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string script = std::string(dir) + "zelctl_test_script.txt";
    FILE* f = fopen(script.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("# a script of commands\r\n"
          "del all\r\n"
          "\r\n"
          "add pid=9001 owner=9001 type=1 letters=P path=C:\\D\\(ZEL-0009)s.doc  # trailing note\r\n"
          "list\r\n"
          "add pid=9002 colour=blue\r\n"
          "add pid=9003 owner=9003 letters=P\r\n",
          f);
    fclose(f);
    std::string out, err;
    EXPECT_EQ(2, RunToEnd(Zelctl() + " -f \"" + script + "\"", &out, &err));
    EXPECT_NE("", RowOfOwner(out, 9001)) << out;
    EXPECT_TRUE(Has(err, "line 6")) << err;
    EXPECT_TRUE(Has(err, "unknown field \"colour\"")) << err;
    EXPECT_FALSE(Has(out, "9003")) << "nothing runs after the failing line: " << out;
    DeleteFileA(script.c_str());
}

TEST(ZelctlScript, RefusesMalformedCommandsWithAReason) {
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(Zelctl()));
    for (const char* line : {"frobnicate", "add pid=12x", "add letters=P",
                             "add pid=1 letters=ABCDEFGHIJK", "add pid=1 type=300",
                             "add pid=1 wnd=class:NoSuchWindowClassAnywhere", "wait soon",
                             "letters owner=1", "add pid=1 path=\"unterminated"})
        ASSERT_TRUE(ctl.WriteLine(line));
    ASSERT_TRUE(ctl.WriteLine("list"));
    ASSERT_TRUE(ctl.WriteLine("quit"));
    EXPECT_EQ(1, ctl.Wait());
    const std::string err = ctl.Errors();
    for (const char* reason :
         {"line 1: unknown command \"frobnicate\"", "line 2: pid: not a 32-bit number",
          "line 3: a record needs pid=", "line 4: letters: longer than 10 bytes",
          "line 5: type: 300 is above 255", "line 6: no window with class",
          "line 7: wait: not a 32-bit number", "line 8: usage: letters", "line 9: unterminated quote"})
        EXPECT_TRUE(Has(err, reason)) << reason << "\n" << err;
    EXPECT_TRUE(Has(ctl.Output(), "records: ")) << "standard input goes on after errors";
}

}  // namespace
