#include "tests/watermark/water_printer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/hooks/child_process.h"
#include "tests/hooks/wine_printer.h"

namespace watertest {

namespace {

const char kPrinter[] = "Gatrel Watermark Printer";
const char kDriver[] = "Gatrel Watermark Driver";

std::string PrintedImage() { return std::string(getenv("GATREL_ROOT") ? getenv("GATREL_ROOT") : "") + "/water_print.pgm"; }

std::string WindowsPath(const std::string& unix) {
    std::string p = "Z:" + unix;
    for (auto& c : p)
        if (c == '/') c = '\\';
    return p;
}

bool Install() {
    // The job's PostScript goes straight to ghostscript.
    return testing_support::AddWinePrinter(
        kPrinter, kDriver, testing_support::ExeDir() + "water_printer.ppd",
        "|gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pgmraw -r" + std::to_string(kPrintedDpi) +
            " -sOutputFile=\"" + PrintedImage() + "\" -");
}

bool g_installed = false;

class PrinterRemoval : public ::testing::Environment {
public:
    void TearDown() override {
        if (g_installed) testing_support::RemoveWinePrinter(kPrinter, kDriver);
    }
};
const auto* const g_removal = ::testing::AddGlobalTestEnvironment(new PrinterRemoval);

}  // namespace

HDC CreateWaterPrinterDc(short paper, bool landscape) {
    if (!g_installed) g_installed = Install();
    if (!g_installed) return nullptr;
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    dm.dmFields = DM_PAPERSIZE | DM_ORIENTATION;
    dm.dmPaperSize = paper;
    dm.dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    return CreateDCA(nullptr, kPrinter, nullptr, &dm);
}

PrintedOrigin PrintableOrigin(short paper) {
    // From the driver's printable areas, in points from the paper's corner.
    const double pt = kPrintedDpi / 72.0;
    return paper == DMPAPER_LETTER ? PrintedOrigin{18 * pt, 0} : PrintedOrigin{18 * pt, 18 * pt};
}

bool StartWaterJob(HDC dc) {
    DeleteFileA(WindowsPath(PrintedImage()).c_str());
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = "watermark test";
    return StartDocA(dc, &doc) > 0 && StartPage(dc) > 0;
}

PagePixels EndWaterJob(HDC dc, int* endPage, int* endDoc) {
    const int page = EndPage(dc);
    const int doc = EndDoc(dc);
    if (endPage) *endPage = page;
    if (endDoc) *endDoc = doc;
    return ReadPgm(WindowsPath(PrintedImage()));
}

std::vector<PagePixels> PrintedWaterPages() { return ReadPgmPages(WindowsPath(PrintedImage())); }

}  // namespace watertest
