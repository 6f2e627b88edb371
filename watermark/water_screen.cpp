#include "watermark/water_screen.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The ruling: 75 stripes per inch, about the screen of ordinary print, for
// text up to about 20 points. Larger text gets stripes in step with its
// lines, 24 to a line, down to 50 per inch: two stripes or more still cross
// each stem of its letters. Every stripe is a rectangle of the clip that a
// printer's driver is sent with each page, and a large turned line spans the
// page: at 75 per inch its clip costs a job about as much again as the rest
// of its watermark.
constexpr int kFinestPerInch = 75;
constexpr int kCoarsestPerInch = 50;
constexpr float kStripesPerLine = 24;

// Stripe i covers rows [i * period, i * period + thickness i), the thickness
// rounded so that every run of stripes averages the coverage exactly.
int Thickness(long i, int period, float coverage) {
    const double perStripe = static_cast<double>(coverage) * period;
    return static_cast<int>(std::lround((i + 1) * perStripe) - std::lround(i * perStripe));
}

// The region of rectangles sorted top to bottom. Wine merges every rectangle
// of one ExtCreateRegion into all those before it, which costs the square of
// their number (milliseconds for a page of stripes); regions of a few stripes
// each, merged pairwise, cost a small fraction of that.
HRGN RegionOf(const std::vector<RECT>& rects) {
    constexpr size_t kPerPart = 16;
    std::vector<HRGN> parts;
    bool failed = false;
    for (size_t i = 0; i < rects.size() && !failed; i += kPerPart) {
        const size_t n = std::min(kPerPart, rects.size() - i);
        std::vector<char> data(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
        auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
        header->dwSize = sizeof(RGNDATAHEADER);
        header->iType = RDH_RECTANGLES;
        header->nCount = static_cast<DWORD>(n);
        header->nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
        RECT bounds = rects[i];
        for (size_t k = i; k < i + n; ++k) {
            bounds.left = std::min(bounds.left, rects[k].left);
            bounds.right = std::max(bounds.right, rects[k].right);
            bounds.bottom = std::max(bounds.bottom, rects[k].bottom);
        }
        header->rcBound = bounds;
        std::copy(rects.begin() + static_cast<long>(i), rects.begin() + static_cast<long>(i + n),
                  reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
        HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
        failed = !part;
        if (part) parts.push_back(part);
    }
    while (!failed && parts.size() > 1) {
        std::vector<HRGN> merged;
        for (size_t i = 0; i + 1 < parts.size(); i += 2) {
            failed |= CombineRgn(parts[i], parts[i], parts[i + 1], RGN_OR) == ERROR;
            DeleteObject(parts[i + 1]);
            merged.push_back(parts[i]);
        }
        if (parts.size() % 2) merged.push_back(parts.back());
        parts.swap(merged);
    }
    if (failed) {
        for (HRGN part : parts) DeleteObject(part);
        return nullptr;
    }
    return parts.empty() ? CreateRectRgn(0, 0, 0, 0) : parts[0];
}

// The stripes inside the areas: each stripe's rows get the union of the
// areas' spans across them, left to right.
std::vector<RECT> StripesIn(const std::vector<RECT>& areas, int period, float coverage) {
    long top = LONG_MAX, bottom = LONG_MIN;
    for (const RECT& a : areas)
        if (a.right > a.left && a.bottom > a.top) {
            top = std::min<long>(top, a.top);
            bottom = std::max<long>(bottom, a.bottom);
        }
    std::vector<RECT> rects;
    for (long i = top >= 0 ? top / period : 0; top <= bottom && i * period < bottom; ++i) {
        const long rowTop = std::max<long>(i * period, top);
        const long rowBottom = i * period + Thickness(i, period, coverage);
        if (rowBottom <= rowTop) continue;
        // Every area that covers the whole stripe adds its span.
        std::vector<std::pair<long, long>> spans;
        for (const RECT& a : areas)
            if (a.right > a.left && a.top <= rowTop && a.bottom >= rowBottom) spans.emplace_back(a.left, a.right);
        std::sort(spans.begin(), spans.end());
        for (size_t k = 0; k < spans.size();) {
            long left = spans[k].first, right = spans[k].second;
            for (++k; k < spans.size() && spans[k].first <= right; ++k) right = std::max(right, spans[k].second);
            rects.push_back(RECT{left, rowTop, right, rowBottom});
        }
    }
    return rects;
}

RECT Transposed(const RECT& r) { return RECT{r.top, r.left, r.bottom, r.right}; }

std::vector<RECT> Transposed(std::vector<RECT> rects) {
    for (RECT& r : rects) r = Transposed(r);
    return rects;
}

// The stripe period in pixels of an axis of dpi pixels per inch, for lines
// lineHeight of those pixels high.
int PeriodAt(int dpi, float lineHeight) {
    const int finest = std::max(2, dpi / kFinestPerInch);
    const int coarsest = std::max(finest, dpi / kCoarsestPerInch);
    const float inStep = std::isfinite(lineHeight) ? std::min(lineHeight / kStripesPerLine, 1.0f * coarsest) : 0;
    return std::clamp(static_cast<int>(std::lround(inStep)), finest, coarsest);
}

}  // namespace

bool DeviceBlends(HDC hdc) {
    return (GetDeviceCaps(hdc, SHADEBLENDCAPS) & (SB_CONST_ALPHA | SB_PIXEL_ALPHA)) != 0;
}

ScreenStripes::ScreenStripes(int dpiX, int dpiY, float coverage, float lineHeight, std::vector<RECT> areas)
    : dpiX_(dpiX), dpiY_(dpiY), coverage_(coverage), lineHeight_(lineHeight), areas_(std::move(areas)) {
    if (coverage >= 1) return;
    if (coverage <= 0) {
        region_ = CreateRectRgn(0, 0, 0, 0);
        return;
    }
    // The line height is in pixels down the page; across it the same length
    // is dpiX / dpiY as many.
    const float lineAcross = dpiY > 0 ? lineHeight * static_cast<float>(dpiX) / static_cast<float>(dpiY) : 0;
    const std::vector<RECT> rows = StripesIn(areas_, PeriodAt(dpiY, lineHeight), coverage);
    std::vector<RECT> columns = StripesIn(Transposed(areas_), PeriodAt(dpiX, lineAcross), coverage);
    columns_ = columns.size() < rows.size();
    if (columns_) columns = Transposed(std::move(columns));
    const std::vector<RECT>& chosen = columns_ ? columns : rows;
    count_ = chosen.size();
    region_ = RegionOf(chosen);
}

ScreenStripes::~ScreenStripes() {
    if (region_) DeleteObject(region_);
}

bool ScreenStripes::Fits(int dpiX, int dpiY, float coverage, float lineHeight,
                         const std::vector<RECT>& areas) const {
    return dpiX == dpiX_ && dpiY == dpiY_ && coverage == coverage_ && lineHeight == lineHeight_ &&
           areas.size() == areas_.size() &&
           std::equal(areas.begin(), areas.end(), areas_.begin(), [](const RECT& a, const RECT& b) {
               return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
           });
}

// Region coordinates are device pixels, whatever mapping the page uses.
// Stripes that could not be made leave no holes to print through: better no
// overlay than opaque ink over the page.
ScreenDoorClip::ScreenDoorClip(HDC hdc, const ScreenStripes* stripes) : hdc_(hdc) {
    if (!stripes || stripes->coverage_ >= 1) return;
    saved_ = SaveDC(hdc);
    if (!saved_) return;
    if (stripes->region_) ExtSelectClipRgn(hdc, stripes->region_, RGN_AND);
    else IntersectClipRect(hdc, 0, 0, 0, 0);
}

ScreenDoorClip::ScreenDoorClip(Gdiplus::GpGraphics* graphics, const ScreenStripes* stripes) {
    using namespace Gdiplus::DllExports;
    if (!graphics || !stripes || stripes->coverage_ >= 1) return;
    Gdiplus::GraphicsState state = 0;
    if (GdipSaveGraphics(graphics, &state) != Gdiplus::Ok) return;
    graphics_ = graphics;
    state_ = state;
    if (!stripes->region_ ||
        GdipSetClipHrgn(graphics, stripes->region_, Gdiplus::CombineModeIntersect) != Gdiplus::Ok)
        GdipSetClipRectI(graphics, 0, 0, 0, 0, Gdiplus::CombineModeIntersect);
}

ScreenDoorClip::~ScreenDoorClip() {
    if (saved_) RestoreDC(hdc_, saved_);
    if (graphics_) Gdiplus::DllExports::GdipRestoreGraphics(graphics_, state_);
}
