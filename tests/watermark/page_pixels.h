#pragma once
// The pixels of a printed or previewed page, and the shapes the watermark's
// ink makes in them. Ink is every pixel darker than a threshold.
#include <cstdint>
#include <string>
#include <vector>

namespace Gdiplus {
class GpBitmap;
}

namespace watertest {

struct PagePixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;  // row by row
    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    // The mean of red, green and blue.
    int Grey(int x, int y) const;
};

PagePixels ReadBitmap(Gdiplus::GpBitmap* bitmap);
PagePixels ReadPng(const std::string& path);
// A binary PGM (P5), as ghostscript's pgmraw device writes it; of a file
// with a job's pages one after another, the first.
PagePixels ReadPgm(const std::string& path);
// Every page of such a file, in order.
std::vector<PagePixels> ReadPgmPages(const std::string& path);

struct InkBox {
    long count = 0;
    int minX = 0, maxX = -1, minY = 0, maxY = -1;
    double CentreY() const { return (minY + maxY) / 2.0; }
};
InkBox InkOf(const PagePixels& page, int threshold = 200);

// Runs of rows with ink, as (first, last); runs closer than gap rows merge.
std::vector<std::pair<int, int>> InkBands(const PagePixels& page, int gap, int threshold = 200);

// Rise of the ink's lines of text in degrees (0 along the page's width,
// positive rising to the right), to half a degree.
double InkSlopeDegrees(const PagePixels& page, int threshold = 200);
// Parallel lines of ink along that axis: clusters of the ink's distance
// across it, clusters closer than gap pixels merge.
int InkLinesAcross(const PagePixels& page, double slopeDegrees, int gap, int threshold = 200);

// The colour most pixels that differ from background have: inside the
// glyphs, where no edge blends it with the background.
uint32_t CommonInkColour(const PagePixels& page, uint32_t background);
int Red(uint32_t c);
int Green(uint32_t c);
int Blue(uint32_t c);

}  // namespace watertest
