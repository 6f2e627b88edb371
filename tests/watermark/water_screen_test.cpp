// The screen that stands for translucent ink on a printer that cannot blend:
// a printer's driver sends every rectangle of the clip with each page, so the
// stripes run across the shorter side of what they cover, and wherever they
// run they cover the same share of it.
#include <gtest/gtest.h>
#include <windows.h>

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

TEST(WaterScreen, StripesRunAcrossTheShorterSideOfTheLinesAndInkTheirShareOfThem) {
    // An A4 page at 600 dpi: a stripe period of 8 pixels, a quarter inked.
    constexpr int kDpi = 600, kPeriod = 8;
    constexpr float kCoverage = 0.25f;
    const float em = 40.0f / 72 * kDpi;
    const struct {
        char layout;
        WORD lines;
        bool columns;  // one wide line: rows; turned lines over a portrait page: columns
    } cases[] = {{'L', 1, false}, {'D', 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        std::vector<RECT> areas;
        HRGN covered = CreateRectRgn(0, 0, 0, 0);
        for (const WaterLine& line : WaterLines({4961, 7016, em, 1.15f * em}, c.layout, c.lines)) {
            areas.push_back(WaterLineBounds(line, 1.15f * em));
            HRGN one = CreateRectRgnIndirect(&areas.back());
            CombineRgn(covered, covered, one, RGN_OR);
            DeleteObject(one);
        }
        RECT bounds{};
        GetRgnBox(covered, &bounds);
        const ScreenStripes stripes(kDpi, kDpi, kCoverage, areas);
        EXPECT_EQ(c.columns, stripes.Columns());
        const long across = c.columns ? bounds.right - bounds.left : bounds.bottom - bounds.top;
        EXPECT_LE(stripes.RectangleCount(), static_cast<size_t>(across / kPeriod + 1));

        const std::vector<RECT> rects = StripesOf(stripes, 4961, 7016);
        ASSERT_FALSE(rects.empty());
        HRGN inked = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& r : rects) {
            // Bands of the region cut columns where the areas' edges cross
            // them; a stripe's thickness stays (the first may start inside
            // its period).
            const long thickness = c.columns ? r.right - r.left : r.bottom - r.top;
            EXPECT_TRUE(thickness >= 1 && thickness <= 3) << thickness;
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
