#include "watermark/water_screen.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Stripes per inch: about the screen ruling of ordinary print.
constexpr int kStripesPerInch = 75;

// Stripe i covers rows [i * period, i * period + thickness i), the thickness
// rounded so that every run of stripes averages the coverage exactly.
int Thickness(long i, int period, float coverage) {
    const double perStripe = static_cast<double>(coverage) * period;
    return static_cast<int>(std::lround((i + 1) * perStripe) - std::lround(i * perStripe));
}

// The stripes inside the areas as one region, built in one call: each
// stripe's rows get the union of the areas' spans across them, left to right.
HRGN StripesIn(const std::vector<RECT>& areas, int period, float coverage) {
    long top = LONG_MAX, bottom = LONG_MIN;
    for (const RECT& a : areas)
        if (a.right > a.left && a.bottom > a.top) {
            top = std::min<long>(top, a.top);
            bottom = std::max<long>(bottom, a.bottom);
        }
    std::vector<RECT> rects;
    RECT bounds{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
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
            bounds.left = std::min(bounds.left, left);
            bounds.right = std::max(bounds.right, right);
            bounds.top = std::min(bounds.top, rowTop);
            bounds.bottom = std::max(bounds.bottom, rowBottom);
        }
    }
    if (rects.empty()) return CreateRectRgn(0, 0, 0, 0);
    std::vector<char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header->rcBound = bounds;
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
}

}  // namespace

bool DeviceBlends(HDC hdc) {
    return (GetDeviceCaps(hdc, SHADEBLENDCAPS) & (SB_CONST_ALPHA | SB_PIXEL_ALPHA)) != 0;
}

ScreenDoorClip::ScreenDoorClip(HDC hdc, float coverage, const std::vector<RECT>& areas) : hdc_(hdc) {
    if (coverage >= 1) return;
    saved_ = SaveDC(hdc);
    if (!saved_) return;
    const int period = std::max(2, GetDeviceCaps(hdc, LOGPIXELSY) / kStripesPerInch);
    HRGN stripes = coverage > 0 ? StripesIn(areas, period, coverage) : CreateRectRgn(0, 0, 0, 0);
    // Region coordinates are device pixels, whatever mapping the page uses.
    ExtSelectClipRgn(hdc, stripes, RGN_AND);
    if (stripes) DeleteObject(stripes);
}

ScreenDoorClip::~ScreenDoorClip() {
    if (saved_) RestoreDC(hdc_, saved_);
}
