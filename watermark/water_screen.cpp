#include "watermark/water_screen.h"

#include <algorithm>
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

// The stripes of one area as a region; null when there are none.
HRGN StripesOf(const RECT& area, int period, float coverage) {
    if (area.right <= area.left || area.bottom <= area.top) return nullptr;
    std::vector<RECT> rows;
    for (long i = area.top / period; i * period < area.bottom; ++i) {
        const long top = std::max<long>(i * period, area.top);
        const long bottom = std::min<long>(i * period + Thickness(i, period, coverage), area.bottom);
        if (bottom > top) rows.push_back(RECT{area.left, top, area.right, bottom});
    }
    if (rows.empty()) return nullptr;
    std::vector<char> data(sizeof(RGNDATAHEADER) + rows.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rows.size());
    header->nRgnSize = static_cast<DWORD>(rows.size() * sizeof(RECT));
    header->rcBound = area;
    std::copy(rows.begin(), rows.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
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
    HRGN all = CreateRectRgn(0, 0, 0, 0);
    if (coverage > 0) {
        // Areas may overlap; each one's stripes lie on the same rows of the page.
        for (const RECT& area : areas) {
            if (HRGN stripes = StripesOf(area, period, coverage)) {
                CombineRgn(all, all, stripes, RGN_OR);
                DeleteObject(stripes);
            }
        }
    }
    // Region coordinates are device pixels, whatever mapping the page uses.
    ExtSelectClipRgn(hdc, all, RGN_AND);
    DeleteObject(all);
}

ScreenDoorClip::~ScreenDoorClip() {
    if (saved_) RestoreDC(hdc_, saved_);
}
