// The screen that stands for translucent ink on a printer that cannot blend:
// a printer's driver sends every rectangle of the clip with each page, so the
// stripes run across the shorter side of what they cover, and wherever they
// run they cover the same share of it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "watermark/water_geometry.h"
#include "watermark/water_screen.h"

namespace {

std::vector<RECT> RectanglesOf(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<char> data(size);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (!size || !GetRegionData(region, size, rgn)) return {};
    const RECT* first = reinterpret_cast<const RECT*>(rgn->Buffer);
    return std::vector<RECT>(first, first + rgn->rdh.nCount);
}

// The region of the stripes, read back from the clip of a page-sized bitmap.
std::vector<RECT> StripesOf(const ScreenStripes& stripes, int width, int height) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP page = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ before = SelectObject(dc, page);
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    std::vector<RECT> rects;
    {
        ScreenDoorClip door(dc, &stripes);
        if (GetClipRgn(dc, clip) == 1) rects = RectanglesOf(clip);
    }
    DeleteObject(clip);
    SelectObject(dc, before);
    DeleteObject(page);
    DeleteDC(dc);
    return rects;
}

// Total area of a region's rectangles.
long AreaOf(const std::vector<RECT>& rects) {
    long area = 0;
    for (const RECT& r : rects) area += (r.right - r.left) * (r.bottom - r.top);
    return area;
}

// The period of the stripes: the commonest step between the starts of their
// rectangles across them.
long PeriodOf(const std::vector<RECT>& rects, bool columns) {
    std::set<long> starts;
    for (const RECT& r : rects) starts.insert(columns ? r.left : r.top);
    std::map<long, int> steps;
    for (auto it = starts.begin(), next = std::next(it); next != starts.end(); ++it, ++next)
        ++steps[*next - *it];
    long period = 0;
    int seen = 0;
    for (const auto& [step, count] : steps)
        if (count > seen) period = step, seen = count;
    return period;
}

TEST(WaterScreen, StripesRunAcrossTheShorterSideOfTheLinesAndInkTheirShareOfThem) {
    // An A4 page at 600 dpi, a quarter inked. Stripes 75 to the inch (8
    // pixels) up to 20-point text; larger text gets 24 to a line, down to 50
    // to the inch (12 pixels).
    constexpr int kDpi = 600;
    constexpr float kCoverage = 0.25f;
    const struct {
        char layout;
        WORD lines;
        float points;
        bool columns;  // one wide line: rows; turned lines over a portrait page: columns
        long period;
    } cases[] = {{'L', 1, 12, false, 8}, {'L', 1, 24, false, 10}, {'L', 1, 40, false, 12},
                 {'D', 3, 16, true, 8},  {'D', 3, 40, true, 12},  {'D', 1, 96, true, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.layout) + " " + std::to_string(c.points) + " points");
        const float em = c.points / 72 * kDpi, lineHeight = 1.15f * em;
        std::vector<RECT> areas;
        HRGN covered = CreateRectRgn(0, 0, 0, 0);
        for (const WaterLine& line : WaterLines({4961, 7016, em, lineHeight}, c.layout, c.lines)) {
            // What the page shows of the line, as the pass gives it.
            const RECT paper{0, 0, 4961, 7016}, bounds = WaterLineBounds(line, lineHeight);
            areas.emplace_back();
            IntersectRect(&areas.back(), &bounds, &paper);
            HRGN one = CreateRectRgnIndirect(&areas.back());
            CombineRgn(covered, covered, one, RGN_OR);
            DeleteObject(one);
        }
        RECT bounds{};
        GetRgnBox(covered, &bounds);
        const ScreenStripes stripes(kDpi, kDpi, kCoverage, lineHeight, areas);
        EXPECT_EQ(c.columns, stripes.Columns());
        const long across = c.columns ? bounds.right - bounds.left : bounds.bottom - bounds.top;
        EXPECT_LE(stripes.RectangleCount(), static_cast<size_t>(across / c.period + 1));

        const std::vector<RECT> rects = StripesOf(stripes, 4961, 7016);
        ASSERT_FALSE(rects.empty());
        EXPECT_EQ(c.period, PeriodOf(rects, c.columns));
        HRGN inked = CreateRectRgn(0, 0, 0, 0);
        const long thickest = static_cast<long>(std::ceil(c.period * kCoverage));
        for (const RECT& r : rects) {
            // Bands of the region cut columns where the areas' edges cross
            // them; a stripe's thickness stays (the first may start inside
            // its period).
            const long thickness = c.columns ? r.right - r.left : r.bottom - r.top;
            EXPECT_TRUE(thickness >= 1 && thickness <= thickest) << thickness;
            HRGN one = CreateRectRgnIndirect(&r);
            CombineRgn(inked, inked, one, RGN_OR);
            DeleteObject(one);
        }
        HRGN outside = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(NULLREGION, CombineRgn(outside, inked, covered, RGN_DIFF)) << "ink only where the lines are";
        const double share = static_cast<double>(AreaOf(rects)) / AreaOf(RectanglesOf(covered));
        EXPECT_NEAR(kCoverage, share, 0.02);
        for (HRGN r : {covered, inked, outside}) DeleteObject(r);
    }
}

}  // namespace
