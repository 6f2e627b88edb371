#include "watermark/water_surface.h"

#include <objidl.h>
#include <gdiplus.h>

#include "watermark/gdiplus_session.h"

using namespace Gdiplus::DllExports;

WaterSurface DeviceWaterSurface::MetricsOf(HDC hdc) {
    WaterSurface s;
    s.width = GetDeviceCaps(hdc, HORZRES);
    s.height = GetDeviceCaps(hdc, VERTRES);
    s.dpi = GetDeviceCaps(hdc, LOGPIXELSX);
    s.isDevice = true;
    return s;
}

DeviceWaterSurface::DeviceWaterSurface(HDC hdc) : surface_(MetricsOf(hdc)) {
    if (!EnsureGdiplus()) return;
    Gdiplus::GpGraphics* g = nullptr;
    GdipCreateFromHDC(hdc, &g);
    graphics_.reset(g);
    surface_.graphics = g;
    if (!g) return;
    // A printer's surface starts in hundredths of an inch.
    Gdiplus::Unit unit = Gdiplus::UnitPixel;
    if (GdipGetPageUnit(g, &unit) == Gdiplus::Ok && unit != Gdiplus::UnitPixel) {
        savedUnit_ = unit;
        GdipSetPageUnit(g, Gdiplus::UnitPixel);
    }
}

DeviceWaterSurface::~DeviceWaterSurface() {
    if (graphics_ && savedUnit_ >= 0)
        GdipSetPageUnit(graphics_.get(), static_cast<Gdiplus::Unit>(savedUnit_));
}

float WaterLineHeight(const WaterSurface& page, Gdiplus::GpFont* font) {
    // The height at the surface's own resolution. GdipGetFontHeight gives the
    // same on Windows, but Wine's measures every surface at screen resolution.
    Gdiplus::REAL dpi = 0;
    Gdiplus::REAL height = 0;
    if (!page.graphics || !font || GdipGetDpiY(page.graphics, &dpi) != Gdiplus::Ok) return 0;
    if (GdipGetFontHeightGivenDPI(font, dpi, &height) != Gdiplus::Ok) return 0;
    return height;
}
