#include "watermark/water_pass.h"

#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "support/log.h"
#include "watermark/gdip_owned.h"
#include "watermark/gdiplus_session.h"
#include "watermark/water_geometry.h"
#include "watermark/water_layout.h"
#include "watermark/water_screen.h"
#include "watermark/water_strokes.h"

using namespace Gdiplus::DllExports;

namespace {

// GDI+ line height of the font at the device's resolution, before any
// drawing surface exists on it.
float DeviceLineHeight(HDC hdc, Gdiplus::GpFont* font) {
    Gdiplus::REAL height = 0;
    if (!font || GdipGetFontHeightGivenDPI(font, static_cast<Gdiplus::REAL>(GetDeviceCaps(hdc, LOGPIXELSY)),
                                           &height) != Gdiplus::Ok)
        return 0;
    return height;
}

WaterLayoutKey KeyOf(const WaterJob& job, const WaterSurface& page, float lineHeight) {
    WaterLayoutKey key;
    key.content = job.content;
    key.fontName = job.fontName;
    key.fontSize = job.fontSize;
    key.layout = job.layout;
    key.lineCount = job.lineCount;
    key.width = page.width;
    key.height = page.height;
    key.dpi = page.dpi;
    key.lineHeight = lineHeight;
    return key;
}

const WaterLayout& LayoutFor(WaterPageCache& cache, const WaterLayoutKey& key) {
    if (!cache.layout || !(cache.layout->key == key)) cache.layout = LayOutWater(key);
    return *cache.layout;
}

const ScreenStripes& StripesFor(WaterPageCache& cache, int dpiX, int dpiY, float coverage, float lineHeight,
                                const std::vector<RECT>& areas) {
    if (!cache.stripes || !cache.stripes->Fits(dpiX, dpiY, coverage, lineHeight, areas))
        cache.stripes = std::make_shared<ScreenStripes>(dpiX, dpiY, coverage, lineHeight, areas);
    return *cache.stripes;
}

GdipBrushPtr SolidBrush(uint32_t argb) {
    Gdiplus::GpSolidFill* fill = nullptr;
    GdipCreateSolidFill(argb, &fill);
    return GdipBrushPtr(fill);
}

// Why the page lacks its watermark, from the first line that failed.
std::string ReasonOf(const std::vector<Gdiplus::GpStatus>& status, const WaterLayout& layout, bool surface,
                     bool font, bool brush) {
    for (size_t i = 0; i < status.size(); ++i) {
        if (status[i] == Gdiplus::Ok) continue;
        LogError("[%s():%d] Call DrawString() Fail. Status=%d", "CPrintWater::PrintStringWater",
                 layout.lines[i].callNumber, static_cast<int>(status[i]));
    }
    for (Gdiplus::GpStatus s : status) {
        if (s == Gdiplus::Ok) continue;
        if (s == Gdiplus::GdiplusNotInitialized) return "GDI+ is not running";
        if (!surface) return "no drawing surface on the page";
        if (!font) return "the font cannot be made";
        if (!brush) return "the brush cannot be made";
        return "drawing failed with status " + std::to_string(static_cast<int>(s));
    }
    return {};
}

}  // namespace

WaterPage DevicePage(HDC hdc) {
    WaterPage page;
    page.hdc = hdc;
    page.surface = DeviceWaterSurface::MetricsOf(hdc);
    page.blends = hdc && DeviceBlends(hdc);
    return page;
}

std::string DrawWaterPass(const WaterJob& job, const WaterPage& page, WaterPass pass, WaterPageCache& cache) {
    const bool running = EnsureGdiplus();
    const WaterFont font = running ? CreateWaterFont(job.fontName.c_str(), job.fontSize) : WaterFont{};
    const float lineHeight = page.hdc ? DeviceLineHeight(page.hdc, font.font.get())
                                      : WaterLineHeight(page.surface, font.font.get());
    const WaterLayout& layout = LayoutFor(cache, KeyOf(job, page.surface, lineHeight));
    const uint32_t colour = WaterBrushColor(pass, job.opacity);
    const unsigned alpha = colour >> 24;
    // A page that cannot blend gets translucent ink as opaque stripes.
    const bool screen = alpha < 255 && !page.blends;
    const GdipBrushPtr brush = running ? SolidBrush(screen ? colour | 0xFF000000u : colour) : nullptr;
    const ScreenStripes* stripes = nullptr;
    if (screen) {
        std::vector<RECT> areas;
        // Stripes off the page would be rectangles for the printer all the same.
        const RECT paper{0, 0, page.surface.width, page.surface.height};
        for (const WaterLine& line : layout.lines) {
            const RECT bounds = WaterLineBounds(line, lineHeight);
            areas.emplace_back();
            IntersectRect(&areas.back(), &bounds, &paper);
        }
        const int dpiX = page.hdc ? GetDeviceCaps(page.hdc, LOGPIXELSX) : page.surface.dpi;
        const int dpiY = page.hdc ? GetDeviceCaps(page.hdc, LOGPIXELSY) : page.surface.dpi;
        stripes = &StripesFor(cache, dpiX, dpiY, static_cast<float>(alpha) / 255, lineHeight, areas);
    }
    std::vector<Gdiplus::GpStatus> status;
    bool surface = false;
    if (page.hdc) {
        // The clip must be in place before GDI+ takes the device context over.
        ScreenDoorClip clip(page.hdc, stripes);
        DeviceWaterSurface device(page.hdc);
        surface = device.surface().graphics != nullptr;
        status = DrawWaterLines(device.surface(), layout, font.font.get(), brush.get(), alpha < 255 && !screen);
    } else {
        ScreenDoorClip clip(page.surface.graphics, stripes);
        surface = page.surface.graphics != nullptr;
        status = DrawWaterLines(page.surface, layout, font.font.get(), brush.get(), alpha < 255 && !screen);
    }
    return ReasonOf(status, layout, surface, font.font != nullptr, brush != nullptr);
}
