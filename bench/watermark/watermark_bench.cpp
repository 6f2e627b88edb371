// Cost of the print watermark on a 600-dpi A4 page (a GDI+ bitmap of
// 4961 x 7016 pixels, drawn as a printer page is), against the application
// drawing one paragraph of its own text on the same page with one
// GdipDrawString:
//  - per page: both passes (opaque underlay, translucent overlay) of
//    PrintStringWater, horizontal and diagonal, three lines;
//  - per job: LoadWaterInfo with the size fitted to the page.
// The same paragraph in translucent ink is shown beside it: Wine's GDI+ draws
// translucent text in software over the bounding box of each call (a rotated
// line's box covers most of the page), opaque text through GDI.
// Each figure is the median over rounds of its ratio to the paragraph measured
// in the same round.
//   argv[1] rounds (default 5), argv[2] calls per measurement (default 3)
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/bench_util.h"
#include "companions/zelctl/preview_page.h"
#include "watermark/print_water.h"

using namespace Gdiplus::DllExports;

namespace {

constexpr int kDpi = 600;
// Goal: both passes together at most three paragraphs.
constexpr double kGoalParagraphs = 3;

const wchar_t kParagraph[] =
    L"The committee reviewed the quarterly figures for every region and found that the "
    L"increase in operating costs was driven mainly by the new distribution centres, which "
    L"opened three months ahead of plan. Revenue grew in line with the forecast, while the "
    L"margin on the service contracts fell slightly because of the renegotiated terms with "
    L"the two largest customers. The board asked for a revised budget for the second half "
    L"of the year, with separate figures for the centres, the contracts and the planned "
    L"investment in the customer portal, to be presented at the next meeting in October.";

WaterInfo Record(char layout, float size) {
    WaterInfo info{};
    info.chLayout = layout;
    info.fFontSize = size;
    info.wOpacity = 80;
    info.wLineCount = 3;
    strcpy(info.szContent, "CONFIDENTIAL ${date} ${time}");
    return info;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : 5;
    const int calls = argc > 2 ? atoi(argv[2]) : 3;
    zelctl::PreviewPage page(kDpi, false);
    if (!page.ok()) {
        printf("cannot make a 600-dpi A4 page\n");
        return 1;
    }
    const WaterSurface& surface = page.surface();
    HDC fonts = CreateCompatibleDC(nullptr);

    // The application's paragraph: 11 points, one-inch margins, black.
    Gdiplus::GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
    Gdiplus::GpFont* body = nullptr;
    GdipCreateFont(family, 11, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint, &body);
    Gdiplus::GpSolidFill* ink = nullptr;
    GdipCreateSolidFill(0xFF000000, &ink);
    Gdiplus::GpSolidFill* faintInk = nullptr;
    GdipCreateSolidFill(0x50000000, &faintInk);
    GdipSetPageUnit(surface.graphics, Gdiplus::UnitPixel);
    const Gdiplus::RectF column(kDpi, kDpi, static_cast<float>(surface.width - 2 * kDpi), 20.0f * kDpi);
    auto paragraphIn = [&](Gdiplus::GpSolidFill* brush) {
        GdipDrawString(surface.graphics, kParagraph, static_cast<INT>(wcslen(kParagraph)), body, &column,
                       nullptr, brush);
    };
    auto paragraph = [&] { paragraphIn(ink); };

    const WaterInfo horizontal = Record('L', 0), diagonal = Record('D', 0);
    auto passes = [&] {
        g_printWater.SetUnderlayBrush();
        g_printWater.PrintStringWater(surface);
        g_printWater.SetOverlayBrush();
        g_printWater.PrintStringWater(surface);
    };

    struct Row {
        const char* what;
        std::vector<double> ratios;
        double ns = 0;
    };
    Row rows[] = {{"paragraph: GdipDrawString, 11 pt, page-wide column", {}},
                  {"the same paragraph in translucent ink", {}},
                  {"page: both passes, horizontal, 3 lines", {}},
                  {"page: both passes, diagonal, 3 lines", {}},
                  {"job: LoadWaterInfo, size fitted, horizontal", {}},
                  {"job: LoadWaterInfo, size fitted, diagonal", {}}};
    for (int r = 0; r < rounds; ++r) {
        const double base = bench::NsPerCall(paragraph, calls, 1);
        const double faint = bench::NsPerCall([&] { paragraphIn(faintInk); }, calls, 1);
        g_printWater.LoadWaterInfo(horizontal, fonts, surface);
        const double pageL = bench::NsPerCall(passes, calls, 1);
        g_printWater.LoadWaterInfo(diagonal, fonts, surface);
        const double pageD = bench::NsPerCall(passes, calls, 1);
        const double jobL = bench::NsPerCall([&] { g_printWater.LoadWaterInfo(horizontal, fonts, surface); }, calls, 1);
        const double jobD = bench::NsPerCall([&] { g_printWater.LoadWaterInfo(diagonal, fonts, surface); }, calls, 1);
        const double figures[] = {base, faint, pageL, pageD, jobL, jobD};
        for (int i = 0; i < 6; ++i) {
            rows[i].ratios.push_back(figures[i] / base);
            rows[i].ns += figures[i] / rounds;
        }
    }
    printf("The print watermark on a 600-dpi A4 page (%dx%d), per call; ratio to one\n"
           "paragraph of the application's text drawn on the same page (median of %d rounds):\n",
           surface.width, surface.height, rounds);
    for (const Row& row : rows) bench::Row(row.what, row.ns, row.ns / bench::Median(row.ratios));
    const double worst = std::max(bench::Median(rows[2].ratios), bench::Median(rows[3].ratios));
    printf("Goal: both passes within %.0fx of the paragraph: %s (%.2fx)\n", kGoalParagraphs,
           worst <= kGoalParagraphs ? "met" : "NOT met", worst);
    DeleteDC(fonts);
    GdipDeleteBrush(ink);
    GdipDeleteBrush(faintInk);
    GdipDeleteFont(body);
    GdipDeleteFontFamily(family);
    return 0;
}
