#include "tests/watermark/page_pixels.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cctype>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <map>

using namespace Gdiplus::DllExports;

namespace watertest {

int Red(uint32_t c) { return (c >> 16) & 0xFF; }
int Green(uint32_t c) { return (c >> 8) & 0xFF; }
int Blue(uint32_t c) { return c & 0xFF; }

int PagePixels::Grey(int x, int y) const {
    const uint32_t c = At(x, y);
    return (Red(c) + Green(c) + Blue(c)) / 3;
}

PagePixels ReadBitmap(Gdiplus::GpBitmap* bitmap) {
    PagePixels page;
    UINT w = 0, h = 0;
    if (!bitmap || GdipGetImageWidth(bitmap, &w) != Gdiplus::Ok || GdipGetImageHeight(bitmap, &h) != Gdiplus::Ok)
        return page;
    Gdiplus::GpRect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    if (GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return page;
    page.width = static_cast<int>(w);
    page.height = static_cast<int>(h);
    page.argb.resize(static_cast<size_t>(w) * h);
    for (UINT y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
        std::copy(row, row + w, page.argb.begin() + static_cast<size_t>(y) * w);
    }
    GdipBitmapUnlockBits(bitmap, &data);
    return page;
}

PagePixels ReadPng(const std::string& path) {
    // Programs that read pages without drawing any start GDI+ here, once.
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    if (!started) return {};
    std::wstring wide(path.begin(), path.end());
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(wide.c_str(), &bitmap) != Gdiplus::Ok) return {};
    PagePixels page = ReadBitmap(bitmap);
    GdipDisposeImage(bitmap);
    return page;
}

namespace {

// The next number of a PGM header; comments run from '#' to the line's end.
int PgmNumber(FILE* f) {
    int c = fgetc(f);
    while (c == '#' || isspace(c)) {
        if (c == '#')
            while (c != '\n' && c != EOF) c = fgetc(f);
        c = fgetc(f);
    }
    int n = 0;
    for (; isdigit(c); c = fgetc(f)) n = n * 10 + (c - '0');
    return n;
}

}  // namespace

std::vector<PagePixels> ReadPgmPages(const std::string& path) {
    std::vector<PagePixels> pages;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return pages;
    // One image after another, as ghostscript writes a job's pages to one file.
    for (char magic[2] = {}; fread(magic, 1, 2, f) == 2 && magic[0] == 'P' && magic[1] == '5';) {
        // The single blank after the maximum value is read with it.
        const int w = PgmNumber(f), h = PgmNumber(f), max = PgmNumber(f);
        std::vector<unsigned char> grey(static_cast<size_t>(w) * h);
        if (w <= 0 || h <= 0 || max != 255 || fread(grey.data(), 1, grey.size(), f) != grey.size()) break;
        PagePixels page;
        page.width = w;
        page.height = h;
        page.argb.reserve(grey.size());
        for (unsigned char g : grey) page.argb.push_back(0xFF000000u | g << 16 | g << 8 | g);
        pages.push_back(std::move(page));
    }
    fclose(f);
    return pages;
}

PagePixels ReadPgm(const std::string& path) {
    std::vector<PagePixels> pages = ReadPgmPages(path);
    return pages.empty() ? PagePixels{} : std::move(pages[0]);
}

InkBox InkOf(const PagePixels& page, int threshold) {
    InkBox box;
    box.minX = page.width;
    box.minY = page.height;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            if (page.Grey(x, y) >= threshold) continue;
            ++box.count;
            box.minX = std::min(box.minX, x);
            box.maxX = std::max(box.maxX, x);
            box.minY = std::min(box.minY, y);
            box.maxY = std::max(box.maxY, y);
        }
    return box;
}

std::vector<std::pair<int, int>> InkBands(const PagePixels& page, int gap, int threshold) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < page.height; ++y) {
        bool ink = false;
        for (int x = 0; x < page.width && !ink; ++x) ink = page.Grey(x, y) < threshold;
        if (!ink) continue;
        if (!bands.empty() && y - bands.back().second <= gap) bands.back().second = y;
        else bands.push_back({y, y});
    }
    return bands;
}

namespace {

std::vector<std::pair<int, int>> InkPoints(const PagePixels& page, int threshold) {
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (page.Grey(x, y) < threshold) points.push_back({x, y});
    return points;
}

// How far each ink pixel lies across lines of that slope, in whole pixels:
// (distance, pixels) for every distance with ink, nearest first. Counted in
// an array: a map per slope costs most of a page's analysis.
std::vector<std::pair<int, long>> Across(const std::vector<std::pair<int, int>>& points, double slopeDegrees) {
    const double a = slopeDegrees * std::numbers::pi / 180;
    const double nx = -std::sin(a), ny = std::cos(a);  // y upwards
    std::vector<int> distances;
    distances.reserve(points.size());
    int lowest = 0, highest = 0;
    for (const auto& [x, y] : points) {
        const double v = x * nx - y * ny;
        const int d = static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);  // rounded half away from zero
        if (distances.empty() || d < lowest) lowest = d;
        if (distances.empty() || d > highest) highest = d;
        distances.push_back(d);
    }
    std::vector<long> counts(distances.empty() ? 0 : static_cast<size_t>(highest - lowest) + 1, 0);
    for (int d : distances) ++counts[static_cast<size_t>(d - lowest)];
    std::vector<std::pair<int, long>> across;
    for (size_t i = 0; i < counts.size(); ++i)
        if (counts[i]) across.emplace_back(lowest + static_cast<int>(i), counts[i]);
    return across;
}

}  // namespace

double InkSlopeDegrees(const PagePixels& page, int threshold) {
    // Along the right slope the lines of text fall into the fewest, fullest
    // rows: the slope whose rows' counts have the largest sum of squares.
    const auto points = InkPoints(page, threshold);
    double best = 0, bestScore = -1;
    for (double deg = -89.5; deg < 90; deg += 0.5) {
        double score = 0;
        for (const auto& [d, n] : Across(points, deg)) score += double(n) * n;
        if (score > bestScore) {
            bestScore = score;
            best = deg;
        }
    }
    return best;
}

int InkLinesAcross(const PagePixels& page, double slopeDegrees, int gap, int threshold) {
    int lines = 0;
    int last = 0;
    for (const auto& [d, count] : Across(InkPoints(page, threshold), slopeDegrees)) {
        if (lines == 0 || d - last > gap) ++lines;
        last = d;
    }
    return lines;
}

uint32_t CommonInkColour(const PagePixels& page, uint32_t background) {
    std::map<uint32_t, long> counts;
    for (uint32_t c : page.argb)
        if ((c & 0xFFFFFF) != (background & 0xFFFFFF)) ++counts[c & 0xFFFFFF];
    uint32_t best = background;
    long most = 0;
    for (const auto& [c, n] : counts)
        if (n > most) {
            most = n;
            best = c;
        }
    return best | 0xFF000000u;
}

}  // namespace watertest
