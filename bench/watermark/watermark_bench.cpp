// Cost of the print watermark on a 600-dpi A4 page, against the application
// drawing one paragraph of its own text on the same page with one
// GdipDrawString:
//  - per page: both passes (opaque underlay, translucent overlay) of
//    PrintStringWater, horizontal and diagonal, three lines;
//  - per job: the job's preparation (what LoadWaterInfo does after reading
//    the store) with the size fitted to the page.
// Measured on two devices:
//  - a GDI+ bitmap of 4961 x 7016 pixels, drawn as a printer page is (the
//    preview's page). The same paragraph in translucent ink is shown beside
//    it: Wine's GDI+ blends translucent text in software over the bounding
//    box of each call, pixel by pixel; opaque text goes through GDI;
//  - the test world's 600-dpi PostScript printer, in print jobs whose port
//    writes a file: the paragraph (with the GDI+ surface it is drawn through)
//    and the two passes each on a page of its own, so that each pays the
//    driver's sending of the font that it does for every page's first text
//    (the paragraph drawn once more on a page that has it shows what that
//    sending costs);
//    and, as a page of a job has them, the underlay, the paragraph and the
//    overlay on one page, less the paragraph's own page: what the watermark
//    adds to the page. The watermark's device context is in the
//    need-watermark set, as in a print job.
// Each figure is the median over rounds of its ratio to the paragraph measured
// in the same round on the same device.
//   argv[1] rounds (default 5), argv[2] calls (pages) per measurement (default 3)
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/one_processor.h"
#include "companions/zelctl/preview_page.h"
#include "tests/print/print_world.h"
#include "watermark/print_water.h"
#include "watermark/water_job.h"
#include "watermark/water_pass.h"

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

struct Row {
    const char* what;
    std::vector<double> ratios;
    double ns = 0;
};

void Draw(Gdiplus::GpGraphics* g, const Gdiplus::RectF& column, Gdiplus::GpFont* body, Gdiplus::GpBrush* brush) {
    GdipDrawString(g, kParagraph, static_cast<INT>(wcslen(kParagraph)), body, &column, nullptr, brush);
}

// The files the printer's port writes, removed after every job: the folder
// is the port's, from the same environment.
class PortFolder {
public:
    PortFolder() {
        const char* dir = getenv("GATREL_PRINT_DIR");
        const char* root = getenv("GATREL_ROOT");
        std::string unix = dir ? dir : std::string(root ? root : "") + "/print";
        windows_ = "Z:" + unix;
        for (char& c : windows_)
            if (c == '/') c = '\\';
        before_ = Names();
    }
    void RemoveNew() const {
        for (const std::string& name : Names())
            if (!before_.count(name)) DeleteFileA((windows_ + "\\" + name).c_str());
    }

private:
    std::set<std::string> Names() const {
        std::set<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((windows_ + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
        return names;
    }
    std::string windows_;
    std::set<std::string> before_;
};

// One round on the printer: a job per layout, its paragraph pages, watermark
// pages and pages with both taking turns. Times in ns: the paragraph, the
// passes, what the passes add to a page with the paragraph, the job.
struct PrinterRound {
    double paragraph = 0, again = 0, passes = 0, added = 0, job = 0;
};

PrinterRound PrinterJob(const WaterInfo& record, int pages, Gdiplus::GpFont* body, Gdiplus::GpBrush* ink,
                        const PortFolder& port) {
    PrinterRound r;
    HDC dc = CreateDCA(nullptr, printworld::kOfficePrinter, nullptr, nullptr);
    if (!dc) return r;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    const Gdiplus::RectF column(static_cast<float>(dpi), static_cast<float>(dpi),
                                static_cast<float>(GetDeviceCaps(dc, HORZRES) - 2 * dpi), 20.0f * dpi);
    std::shared_ptr<const WaterJob> job;
    {
        const DeviceWaterSurface device(dc);
        const double t0 = bench::NowNs();
        job = std::make_shared<const WaterJob>(PrepareWaterJob(record, dc, device.surface(), time(nullptr)));
        r.job = bench::NowNs() - t0;
    }
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = "watermark benchmark";
    if (StartDocA(dc, &doc) > 0) {
        g_printWater.AddNeedPrintWaterHDC(dc, job);
        const auto paragraph = [&] {
            Gdiplus::GpGraphics* g = nullptr;
            GdipCreateFromHDC(dc, &g);
            GdipSetPageUnit(g, Gdiplus::UnitPixel);
            Draw(g, column, body, ink);
            GdipDeleteGraphics(g);
        };
        const auto page = [&](bool text, bool water) {
            StartPage(dc);
            const double t0 = bench::NowNs();
            if (water) g_printWater.PrintStringWater(dc, WaterPass::kUnderlay);
            if (text) paragraph();
            if (water) g_printWater.PrintStringWater(dc, WaterPass::kOverlay);
            const double ns = bench::NowNs() - t0;
            EndPage(dc);
            return ns / pages;
        };
        for (int i = 0; i < pages; ++i) {
            const double alone = page(true, false);
            r.paragraph += alone;
            r.passes += page(false, true);
            r.added += page(true, true) - alone;
            // The paragraph once more on a page that has it: its font and
            // glyphs are there already.
            StartPage(dc);
            paragraph();
            const double t0 = bench::NowNs();
            paragraph();
            r.again += (bench::NowNs() - t0) / pages;
            EndPage(dc);
        }
        g_printWater.DeleteNeedPrintWaterHDC(dc);
        EndDoc(dc);
    }
    DeleteDC(dc);
    port.RemoveNew();
    return r;
}

void PrintRows(const Row* rows, size_t n) {
    for (size_t i = 0; i < n; ++i) bench::Row(rows[i].what, rows[i].ns, rows[i].ns / bench::Median(rows[i].ratios));
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : 5;
    const int calls = argc > 2 ? atoi(argv[2]) : 3;
    const int cpu = bench::KeepOnOneProcessor();
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
    auto paragraphIn = [&](Gdiplus::GpSolidFill* brush) { Draw(surface.graphics, column, body, brush); };
    auto paragraph = [&] { paragraphIn(ink); };

    const WaterInfo horizontal = Record('L', 0), diagonal = Record('D', 0);
    // The bitmap blends, as the preview's smooth page does; a job's pages
    // share their layout.
    WaterPage sheet;
    sheet.surface = surface;
    WaterJob job;
    WaterPageCache cache;
    auto prepare = [&](const WaterInfo& record) { job = PrepareWaterJob(record, fonts, surface, time(nullptr)); };
    auto passes = [&] {
        DrawWaterPass(job, sheet, WaterPass::kUnderlay, cache);
        DrawWaterPass(job, sheet, WaterPass::kOverlay, cache);
    };

    Row rows[] = {{"paragraph: GdipDrawString, 11 pt, page-wide column", {}},
                  {"the same paragraph in translucent ink", {}},
                  {"page: both passes, horizontal, 3 lines", {}},
                  {"page: both passes, diagonal, 3 lines", {}},
                  {"job: preparation, size fitted, horizontal", {}},
                  {"job: preparation, size fitted, diagonal", {}}};
    for (int r = 0; r < rounds; ++r) {
        const double base = bench::NsPerCall(paragraph, calls, 1);
        const double faint = bench::NsPerCall([&] { paragraphIn(faintInk); }, calls, 1);
        prepare(horizontal);
        const double pageL = bench::NsPerCall(passes, calls, 1);
        prepare(diagonal);
        const double pageD = bench::NsPerCall(passes, calls, 1);
        const double jobL = bench::NsPerCall([&] { prepare(horizontal); }, calls, 1);
        const double jobD = bench::NsPerCall([&] { prepare(diagonal); }, calls, 1);
        const double figures[] = {base, faint, pageL, pageD, jobL, jobD};
        for (int i = 0; i < 6; ++i) {
            rows[i].ratios.push_back(figures[i] / base);
            rows[i].ns += figures[i] / rounds;
        }
    }
    printf("The print watermark on a 600-dpi A4 page (%dx%d), per call; ratio to one\n"
           "paragraph of the application's text drawn on the same page (median of %d rounds):\n",
           surface.width, surface.height, rounds);
    PrintRows(rows, 6);
    const double onBitmap = std::max(bench::Median(rows[2].ratios), bench::Median(rows[3].ratios));

    // The printer: a warm-up job first (the printer's first job sets up what
    // later ones reuse), then a job per layout and round.
    double onPrinter = -1;
    Row printerRows[] = {{"paragraph: GdipDrawString, 11 pt, page-wide column", {}},
                         {"the same paragraph again on its page (font already sent)", {}},
                         {"page: both passes, horizontal, 3 lines", {}},
                         {"page: both passes, diagonal, 3 lines", {}},
                         {"added to the paragraph's page: horizontal, 3 lines", {}},
                         {"added to the paragraph's page: diagonal, 3 lines", {}},
                         {"job: preparation, size fitted, horizontal", {}},
                         {"job: preparation, size fitted, diagonal", {}}};
    int width = 0, height = 0;
    if (printworld::InstallPrinters()) {
        const PortFolder port;
        if (HDC dc = CreateDCA(nullptr, printworld::kOfficePrinter, nullptr, nullptr)) {
            width = GetDeviceCaps(dc, HORZRES);
            height = GetDeviceCaps(dc, VERTRES);
            DeleteDC(dc);
        }
        PrinterJob(horizontal, 1, body, ink, port);
        for (int r = 0; r < rounds; ++r) {
            const PrinterRound h = PrinterJob(horizontal, calls, body, ink, port);
            const PrinterRound d = PrinterJob(diagonal, calls, body, ink, port);
            const double base = (h.paragraph + d.paragraph) / 2;
            if (base <= 0) break;
            const double figures[] = {base, (h.again + d.again) / 2, h.passes, d.passes, h.added, d.added,
                                       h.job, d.job};
            for (int i = 0; i < 8; ++i) {
                printerRows[i].ratios.push_back(figures[i] / base);
                printerRows[i].ns += figures[i] / rounds;
            }
        }
    }
    if (!printerRows[0].ratios.empty()) {
        printf("The same on the test world's 600-dpi PostScript printer (%dx%d printable), each\n"
               "on a page of its own; ratio to the paragraph on the printer (median of %d rounds):\n",
               width, height, rounds);
        PrintRows(printerRows, 8);
        for (int i = 2; i <= 5; ++i) onPrinter = std::max(onPrinter, bench::Median(printerRows[i].ratios));
    } else {
        printf("The test world's printer could not be used: no printer figures.\n");
    }
    printf("Goal: both passes within %.0fx of the paragraph: bitmap %s (%.2fx)", kGoalParagraphs,
           onBitmap <= kGoalParagraphs ? "met" : "NOT met", onBitmap);
    if (onPrinter >= 0)
        printf(", printer %s (%.2fx)", onPrinter <= kGoalParagraphs ? "met" : "NOT met", onPrinter);
    printf("\n");
    bench::PrintProcessorNote(cpu);
    DeleteDC(fonts);
    GdipDeleteBrush(ink);
    GdipDeleteBrush(faintInk);
    GdipDeleteFont(body);
    GdipDeleteFontFamily(family);
    return 0;
}
