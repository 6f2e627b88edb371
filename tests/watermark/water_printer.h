#pragma once
// The test world's watermark printer: a Wine print queue (PostScript driver,
// A4 and Letter at 600 dpi) whose port hands every job to ghostscript, which
// turns its pages into grey images. Installed on first use, removed
// when the test program ends. Tests that print hold the "printers" lock.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/watermark/page_pixels.h"

namespace watertest {

// A device context on the printer; null when it cannot be installed.
HDC CreateWaterPrinterDc(short paper = DMPAPER_A4, bool landscape = false);

// Resolution of the printed page image, and where the printable area begins
// on it (the paper's top left is 0, 0).
constexpr int kPrintedDpi = 75;
struct PrintedOrigin {
    double x, y;
};
PrintedOrigin PrintableOrigin(short paper);

// Starts a one-page job on dc; the page image of the job's end replaces the
// last one.
bool StartWaterJob(HDC dc);
// Ends page and job; the page as printed, empty when nothing came out. Of a
// job of several pages, the first.
PagePixels EndWaterJob(HDC dc, int* endPage = nullptr, int* endDoc = nullptr);
// Every page of the last job, in order.
std::vector<PagePixels> PrintedWaterPages();

}  // namespace watertest
