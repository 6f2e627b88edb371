// The watermark on real print jobs of the test world's 600-dpi printer, whose
// pages ghostscript turns back into pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "store/named_lock.h"
#include "store/shared_settings.h"
#include "tests/hooks/log_tail.h"
#include "tests/watermark/water_printer.h"
#include "watermark/print_water.h"
#include "watermark/water_geometry.h"

using testing_support::LogTail;
using watertest::PagePixels;

namespace {

void Publish(char layout, float size, WORD lines, const char* text) {
    static WaterInfo info;
    memset(&info, 0, sizeof info);
    info.chLayout = layout;
    info.fFontSize = size;
    info.wOpacity = 200;
    info.wLineCount = lines;
    strcpy(info.szContent, text);
    store::SetWaterInfo(&info);
}

// Call numbers of the failure lines logged since the tail was taken, in order.
std::vector<int> FailedCalls(const LogTail& log) {
    const std::string head = "[CPrintWater::PrintStringWater():";
    std::vector<int> calls;
    for (const auto& line : log.NewLines()) {
        const size_t at = line.find(head);
        int call = 0;
        if (at != std::string::npos && line.size() > 34 &&
            line.compare(line.size() - 34, 34, "] Call DrawString() Fail. Status=2") == 0 &&
            sscanf(line.c_str() + at + head.size(), "%d", &call) == 1)
            calls.push_back(call);
    }
    return calls;
}

TEST(WaterPrint, TheLetterPageOf4800By6600PixelsAt600DpiGetsItsLineWhereExpected) {
    store::CreateLoadMutexes();
    HDC dc = watertest::CreateWaterPrinterDc(DMPAPER_LETTER);
    ASSERT_NE(nullptr, dc);
    ASSERT_EQ(4800, GetDeviceCaps(dc, HORZRES));
    ASSERT_EQ(6600, GetDeviceCaps(dc, VERTRES));
    ASSERT_EQ(600, GetDeviceCaps(dc, LOGPIXELSX));
    Publish('L', 50, 1, "CONFIDENTIAL");
    CPrintWater water;
    const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
    ASSERT_NE(nullptr, job);
    ASSERT_FLOAT_EQ(35.0f, job->fontSize);

    // 35 points at 600 dpi: an em of 291.7 pixels; the box starts at 145.8
    // and is 4,508 pixels wide, centred on 3,300.
    const float em = 35.0f / 72 * 600;
    const std::vector<WaterLine> lines = WaterLines({4800, 6600, em, 1.15f * em}, 'L', 1);
    ASSERT_EQ(1u, lines.size());
    EXPECT_NEAR(145.8, lines[0].x, 0.1);
    EXPECT_NEAR(4508.3, lines[0].length, 0.5);
    EXPECT_NEAR(3300, lines[0].y + 1.15f * em / 2, 0.1);

    ASSERT_TRUE(watertest::StartWaterJob(dc));
    water.AddNeedPrintWaterHDC(dc, job);
    EXPECT_EQ("", water.PrintStringWater(dc, WaterPass::kUnderlay));
    water.DeleteNeedPrintWaterHDC(dc);
    int endPage = 0, endDoc = 0;
    const PagePixels page = watertest::EndWaterJob(dc, &endPage, &endDoc);
    DeleteDC(dc);
    EXPECT_GT(endPage, 0);
    EXPECT_GT(endDoc, 0);
    ASSERT_GT(page.width, 0) << "the printed page";

    // On the page image at 75 dpi, eight device pixels make one.
    const double scale = watertest::kPrintedDpi / 600.0;
    const auto origin = watertest::PrintableOrigin(DMPAPER_LETTER);
    const watertest::InkBox ink = watertest::InkOf(page);
    const double printedEm = em * scale;
    EXPECT_NEAR(origin.y + 3300 * scale, ink.CentreY(), 0.15 * printedEm);
    EXPECT_GE(ink.minX, origin.x + 145.8 * scale - 1);
    EXPECT_LE(ink.minX, origin.x + 145.8 * scale + 0.3 * printedEm);
    EXPECT_LE(ink.maxX, origin.x + (4800 - 145.8) * scale);
    EXPECT_EQ(1u, watertest::InkBands(page, static_cast<int>(printedEm)).size());
}

// Share of the pixels of two pages of one size whose greys differ by more
// than a sixteenth of the scale (the screen's tone over the grey differs
// from the grey alone by about 40).
double DifferingShare(const PagePixels& a, const PagePixels& b) {
    if (a.width != b.width || a.height != b.height || a.width == 0) return 1;
    long differing = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) differing += std::abs(a.Grey(x, y) - b.Grey(x, y)) > 16;
    return static_cast<double>(differing) / (static_cast<double>(a.width) * a.height);
}

void DrawBothPasses(CPrintWater& water, HDC dc) {
    water.PrintStringWater(dc, WaterPass::kUnderlay);
    water.PrintStringWater(dc, WaterPass::kOverlay);
}

TEST(WaterPrint, APageTurnedToLandscapeInTheMiddleOfAJobGetsTheWatermarkOfALandscapePage) {
    // A document with a landscape section: the application resets the device
    // context between two pages of one job. What the job's first page laid
    // out must not follow it onto the turned page.
    store::CreateLoadMutexes();
    Publish('D', 40, 3, "TURNED PAGE");
    HDC dc = watertest::CreateWaterPrinterDc(DMPAPER_A4, false);
    ASSERT_NE(nullptr, dc);
    CPrintWater water;
    const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
    ASSERT_TRUE(watertest::StartWaterJob(dc));
    water.AddNeedPrintWaterHDC(dc, job);
    DrawBothPasses(water, dc);
    EXPECT_GT(EndPage(dc), 0);
    DEVMODEA landscape{};
    landscape.dmSize = sizeof landscape;
    landscape.dmFields = DM_PAPERSIZE | DM_ORIENTATION;
    landscape.dmPaperSize = DMPAPER_A4;
    landscape.dmOrientation = DMORIENT_LANDSCAPE;
    ASSERT_EQ(dc, ResetDCA(dc, &landscape));
    ASSERT_GT(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
    ASSERT_GT(StartPage(dc), 0);
    DrawBothPasses(water, dc);
    watertest::EndWaterJob(dc);
    water.DeleteNeedPrintWaterHDC(dc);
    DeleteDC(dc);
    const std::vector<PagePixels> turned = watertest::PrintedWaterPages();
    ASSERT_EQ(2u, turned.size());

    // The same page printed by a job that is landscape from its start.
    HDC fresh = watertest::CreateWaterPrinterDc(DMPAPER_A4, true);
    ASSERT_NE(nullptr, fresh);
    CPrintWater other;
    const std::shared_ptr<const WaterJob> freshJob = other.LoadWaterInfo(fresh);
    ASSERT_TRUE(watertest::StartWaterJob(fresh));
    other.AddNeedPrintWaterHDC(fresh, freshJob);
    DrawBothPasses(other, fresh);
    const PagePixels expected = watertest::EndWaterJob(fresh);
    DeleteDC(fresh);
    ASSERT_GT(watertest::InkOf(expected).count, 0);

    EXPECT_LT(DifferingShare(turned[1], expected), 0.001) << "lines, grey and screen of a landscape page";
    EXPECT_GT(DifferingShare(turned[0], expected), 0.01) << "the first page is a portrait page";
}

TEST(WaterPrint, AFailingDrawIsLoggedWithItsCallNumberAndReasonAndThePageStillPrints) {
    store::CreateLoadMutexes();
    HDC dc = watertest::CreateWaterPrinterDc(DMPAPER_A4);
    ASSERT_NE(nullptr, dc);
    LogTail log;
    // A job whose font cannot be made, as after a failed allocation: every
    // line fails, the page comes out, and why it has no watermark is logged.
    WaterJob unmade;
    unmade.lineCount = 3;
    unmade.opacity = 200;
    CPrintWater water;
    ASSERT_TRUE(watertest::StartWaterJob(dc));
    water.AddNeedPrintWaterHDC(dc, std::make_shared<const WaterJob>(unmade));
    EXPECT_EQ("the font cannot be made", water.PrintStringWater(dc, WaterPass::kUnderlay));
    water.DeleteNeedPrintWaterHDC(dc);
    int endPage = 0, endDoc = 0;
    const PagePixels page = watertest::EndWaterJob(dc, &endPage, &endDoc);
    EXPECT_GT(endPage, 0);
    EXPECT_GT(endDoc, 0);
    ASSERT_GT(page.width, 0) << "the page came out";
    EXPECT_EQ(0, watertest::InkOf(page).count);
    EXPECT_EQ((std::vector<int>{1708, 1723, 1738}), FailedCalls(log));
    EXPECT_EQ(1, log.CountContaining("Print Water Fail. hdc=")) << "the page's reason";
    EXPECT_EQ(1, log.CountContaining(",reason=the font cannot be made"));

    // A device context that GDI+ cannot draw on fails every line of every
    // layout, each under its own number in drawing order, and nothing else
    // happens.
    const struct {
        char layout;
        WORD lines;
        std::vector<int> calls;
    } layouts[] = {{'L', 1, {1568}},         {'L', 2, {1579, 1588}}, {'L', 7, {1600, 1609, 1618}},
                   {'D', 1, {1657}},         {'D', 2, {1675, 1690}}, {'D', 0, {1708, 1723, 1738}}};
    for (const auto& l : layouts) {
        Publish(l.layout, 30, l.lines, "LOST");
        const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
        ASSERT_NE(nullptr, job);
        LogTail lines;
        WaterPageCache cache;
        EXPECT_EQ("no drawing surface on the page", DrawWaterPass(*job, DevicePage(nullptr), WaterPass::kOverlay, cache));
        EXPECT_EQ(l.calls, FailedCalls(lines)) << l.layout << l.lines;
    }
    DeleteDC(dc);
}

}  // namespace
