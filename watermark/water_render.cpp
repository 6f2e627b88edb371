#include <objidl.h>
#include <gdiplus.h>

#include <cmath>

#include "support/log.h"
#include "watermark/gdiplus_session.h"
#include "watermark/print_water.h"
#include "watermark/water_geometry.h"
#include "watermark/water_layout.h"
#include "support/held_locks.h"
#include "watermark/water_screen.h"

using namespace Gdiplus::DllExports;

namespace {

// Undoes a mapping that the application set on its device context, so that
// the watermark's pixels are the device's: the page corners (0, 0) and (W, H)
// must land on themselves.
void CompensateDeviceMapping(const WaterSurface& page) {
    Gdiplus::GpPoint corners[2] = {Gdiplus::GpPoint(0, 0), Gdiplus::GpPoint(page.width, page.height)};
    GdipTransformPointsI(page.graphics, Gdiplus::CoordinateSpaceDevice, Gdiplus::CoordinateSpaceWorld,
                         corners, 2);
    const int x0 = corners[0].X, y0 = corners[0].Y;
    const int spanX = corners[1].X - x0, spanY = corners[1].Y - y0;
    // A page without extent, or a mapping that collapses it, has nothing to scale.
    if (spanX != 0 && spanY != 0) {
        const float sx = static_cast<float>(page.width) / static_cast<float>(spanX);
        const float sy = static_cast<float>(page.height) / static_cast<float>(spanY);
        if (sx != 1 || sy != 1) GdipScaleWorldTransform(page.graphics, sx, sy, Gdiplus::MatrixOrderPrepend);
    }
    if (x0 != 0 || y0 != 0)
        GdipTranslateWorldTransform(page.graphics, static_cast<float>(-x0), static_cast<float>(-y0),
                                    Gdiplus::MatrixOrderPrepend);
}

// On a device: one row of text along the line, cut at the box's end. The
// text is far longer than the line; without wrapping GDI+ lays out only that
// row, and nothing falls outside the box to clip away, which on a printer
// would cost a clip region of one rectangle per device row of a turned line.
// On a bitmap the default layout wraps the text in the box and the clip keeps
// the first row: there the clip is cheap and the wrapped rows are not drawn.
GdipStringFormatPtr OneRowFormat() {
    Gdiplus::GpStringFormat* format = nullptr;
    GdipCreateStringFormat(Gdiplus::StringFormatFlagsNoWrap, LANG_NEUTRAL, &format);
    return GdipStringFormatPtr(format);
}

// A line as a string, for text that the glyph rows cannot show.
Gdiplus::GpStatus DrawLine(const WaterSurface& page, const std::wstring& text, Gdiplus::GpFont* font,
                           Gdiplus::GpStringFormat* format, Gdiplus::GpBrush* brush, const WaterLine& line,
                           float lineHeight, bool clipToBox) {
    // The surface is left as it was found.
    Gdiplus::GraphicsState state = 0;
    const bool saved = GdipSaveGraphics(page.graphics, &state) == Gdiplus::Ok;
    Gdiplus::RectF box(line.x, line.y, line.length, lineHeight);
    if (line.angle != 0) {
        // Turned about the line's start.
        GdipTranslateWorldTransform(page.graphics, line.x, line.y, Gdiplus::MatrixOrderPrepend);
        GdipRotateWorldTransform(page.graphics, line.angle, Gdiplus::MatrixOrderPrepend);
        box.X = box.Y = 0;
    }
    // Not every GDI+ keeps a bitmap's glyphs inside the layout box by itself.
    if (clipToBox)
        GdipSetClipRect(page.graphics, box.X, box.Y, box.Width, box.Height, Gdiplus::CombineModeIntersect);
    const Gdiplus::GpStatus status = GdipDrawString(page.graphics, text.c_str(), static_cast<INT>(text.size()),
                                                    font, &box, format, brush);
    if (saved) GdipRestoreGraphics(page.graphics, state);
    return status;
}

// Glyphs [first, first + count) of the layout, in one call. A line without a
// character to show draws nothing, and fails as any drawing call does when
// the surface, font or brush is missing.
Gdiplus::GpStatus DrawGlyphs(Gdiplus::GpGraphics* graphics, const WaterLayout& layout, size_t first, size_t count,
                             Gdiplus::GpFont* font, Gdiplus::GpBrush* brush) {
    if (count == 0) return graphics && font && brush ? Gdiplus::Ok : Gdiplus::InvalidParameter;
    return GdipDrawDriverString(graphics, reinterpret_cast<const UINT16*>(layout.glyphs.data() + first),
                                static_cast<INT>(count), font, brush, layout.origins.data() + first,
                                Gdiplus::DriverStringOptionsCmapLookup, nullptr);
}

// Translucent ink is blended by GDI+ itself over the bounding box of each
// call's glyphs (in software under Wine, pixel by pixel), and a turned line's
// box covers much of the page: such a line is drawn in runs about one line
// height long, whose boxes keep close to their glyphs. The line's status is
// its first failure.
Gdiplus::GpStatus DrawInRuns(Gdiplus::GpGraphics* graphics, const WaterLayout& layout, const WaterLayout::Row& row,
                             Gdiplus::GpFont* font, Gdiplus::GpBrush* brush) {
    if (layout.angle == 0 || row.count == 0) return DrawGlyphs(graphics, layout, row.first, row.count, font, brush);
    const size_t end = row.first + row.count;
    for (size_t i = row.first; i < end;) {
        size_t j = i + 1;
        while (j < end && layout.origins[j].X - layout.origins[i].X < layout.key.lineHeight) ++j;
        const Gdiplus::GpStatus status = DrawGlyphs(graphics, layout, i, j - i, font, brush);
        if (status != Gdiplus::Ok) return status;
        i = j;
    }
    return Gdiplus::Ok;
}

// The device-pixel box that a line's glyphs can reach, with a margin for
// glyphs that overhang their layout box.
RECT DeviceBoundsOf(const WaterLine& line, float lineHeight) {
    const double turn = WaterAngleRadians(line.angle);
    const double c = std::cos(turn), s = std::sin(turn);
    const double xs[] = {0, line.length, 0, line.length};
    const double ys[] = {0, 0, lineHeight, lineHeight};
    double left = 1e30, top = 1e30, right = -1e30, bottom = -1e30;
    for (int i = 0; i < 4; ++i) {
        const double x = line.x + xs[i] * c - ys[i] * s;
        const double y = line.y + xs[i] * s + ys[i] * c;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    const double margin = lineHeight / 4 + 2;
    return RECT{static_cast<LONG>(std::floor(left - margin)), static_cast<LONG>(std::floor(top - margin)),
                static_cast<LONG>(std::ceil(right + margin)), static_cast<LONG>(std::ceil(bottom + margin))};
}

// GDI+ line height of the font at the device's resolution, before any
// drawing surface exists on it.
float DeviceLineHeight(HDC hdc, Gdiplus::GpFont* font) {
    Gdiplus::REAL height = 0;
    if (!font || GdipGetFontHeightGivenDPI(font, static_cast<Gdiplus::REAL>(GetDeviceCaps(hdc, LOGPIXELSY)),
                                           &height) != Gdiplus::Ok)
        return 0;
    return height;
}

unsigned AlphaOf(Gdiplus::GpBrush* brush) {
    Gdiplus::ARGB colour = 0;
    if (!brush || GdipGetSolidFillColor(reinterpret_cast<Gdiplus::GpSolidFill*>(brush), &colour) != Gdiplus::Ok)
        return 255;
    return colour >> 24;
}

GdipBrushPtr OpaqueCopyOf(Gdiplus::GpBrush* brush) {
    Gdiplus::ARGB colour = 0;
    GdipGetSolidFillColor(reinterpret_cast<Gdiplus::GpSolidFill*>(brush), &colour);
    Gdiplus::GpSolidFill* fill = nullptr;
    GdipCreateSolidFill(colour | 0xFF000000u, &fill);
    return GdipBrushPtr(fill);
}

}  // namespace

CPrintWater::Prepared CPrintWater::PreparedWithBrush(GdipBrushPtr& brush) {
    const bool running = EnsureGdiplus();
    support::CriticalHold lock(m_csLock);
    if (running && m_pBrush) {
        Gdiplus::GpBrush* copy = nullptr;
        GdipCloneBrush(m_pBrush.get(), &copy);
        brush.reset(copy);
    }
    return PreparedLocked();
}

void CPrintWater::PrintStringWater(HDC hdc) {
    LogError("Print Water. hdc=%x", HandleWord(hdc));
    GdipBrushPtr brush;
    const Prepared p = PreparedWithBrush(brush);
    DrawOnDevice(hdc, p, std::move(brush));
}

void CPrintWater::PrintStringWater(HDC hdc, WaterPass pass) {
    LogError("Print Water. hdc=%x", HandleWord(hdc));
    const Prepared p = GetPrepared();
    // A brush of this call's own: another thread's pass cannot change it.
    DrawOnDevice(hdc, p, CreateWaterBrush(pass, p.opacity));
}

void CPrintWater::DrawOnDevice(HDC hdc, const Prepared& p, GdipBrushPtr brush) {
    const WaterSurface metrics = DeviceWaterSurface::MetricsOf(hdc);
    const WaterFont font = EnsureGdiplus() ? CreateWaterFont(p.fontName.c_str(), p.fontSize) : WaterFont{};
    const float lineHeight = DeviceLineHeight(hdc, font.font.get());
    const std::shared_ptr<const WaterLayout> layout = LayoutFor(hdc, KeyOf(p, metrics, lineHeight));
    const unsigned alpha = AlphaOf(brush.get());
    if (!hdc || !brush || alpha == 255 || DeviceBlends(hdc)) {
        DeviceWaterSurface device(hdc);
        Draw(device.surface(), *layout, font.font.get(), brush.get());
        return;
    }
    // The clip must be in place before GDI+ takes the device context over.
    std::vector<RECT> areas;
    for (const WaterLine& line : layout->lines) areas.push_back(DeviceBoundsOf(line, lineHeight));
    const std::shared_ptr<const ScreenStripes> stripes = StripesFor(hdc, static_cast<float>(alpha) / 255, areas);
    ScreenDoorClip screen(hdc, *stripes);
    DeviceWaterSurface device(hdc);
    Draw(device.surface(), *layout, font.font.get(), OpaqueCopyOf(brush.get()).get());
}

void CPrintWater::PrintStringWater(const WaterSurface& page) {
    // The page's text, font and brush as one consistent copy: a job prepared
    // meanwhile in another thread changes the next page, not this one.
    const bool running = EnsureGdiplus();
    GdipBrushPtr brush;
    const Prepared p = PreparedWithBrush(brush);
    const WaterFont font = running ? CreateWaterFont(p.fontName.c_str(), p.fontSize) : WaterFont{};
    const std::shared_ptr<const WaterLayout> layout =
        LayOutWater(KeyOf(p, page, WaterLineHeight(page, font.font.get())));
    Draw(page, *layout, font.font.get(), brush.get());
}

WaterLayoutKey CPrintWater::KeyOf(const Prepared& p, const WaterSurface& page, float lineHeight) {
    WaterLayoutKey key;
    key.content = p.content;
    key.fontName = p.fontName;
    key.fontSize = p.fontSize;
    key.layout = p.layout;
    key.lineCount = p.lineCount;
    key.width = page.width;
    key.height = page.height;
    key.dpi = page.dpi;
    key.lineHeight = lineHeight;
    return key;
}

void CPrintWater::Draw(const WaterSurface& page, const WaterLayout& layout, Gdiplus::GpFont* font,
                       Gdiplus::GpBrush* brush) {
    const bool running = EnsureGdiplus();
    // No drawing state of the watermark's survives the call.
    Gdiplus::GraphicsState state = 0;
    const bool saved = running && page.graphics && GdipSaveGraphics(page.graphics, &state) == Gdiplus::Ok;
    if (running && page.graphics) {
        GdipSetTextRenderingHint(page.graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
        CompensateDeviceMapping(page);
        if (layout.byGlyphs && layout.angle != 0)
            GdipRotateWorldTransform(page.graphics, layout.angle, Gdiplus::MatrixOrderPrepend);
    }
    std::vector<Gdiplus::GpStatus> status(layout.lines.size(),
                                          running ? Gdiplus::Ok : Gdiplus::GdiplusNotInitialized);
    if (running && !layout.byGlyphs) {
        const GdipStringFormatPtr format = page.isDevice ? OneRowFormat() : nullptr;
        for (size_t i = 0; i < layout.lines.size(); ++i)
            status[i] = DrawLine(page, layout.key.content, font, format.get(), brush, layout.lines[i],
                                 layout.key.lineHeight, !page.isDevice);
    } else if (running && AlphaOf(brush) < 255) {
        for (size_t i = 0; i < layout.rows.size(); ++i)
            status[i] = DrawInRuns(page.graphics, layout, layout.rows[i], font, brush);
    } else if (running) {
        // Opaque ink goes to the device as text: all lines in one call, one
        // clip and one font for the printer to receive.
        const Gdiplus::GpStatus all = DrawGlyphs(page.graphics, layout, 0, layout.glyphs.size(), font, brush);
        std::fill(status.begin(), status.end(), all);
    }
    for (size_t i = 0; i < layout.lines.size(); ++i)
        if (status[i] != Gdiplus::Ok)
            LogError("[%s():%d] Call DrawString() Fail. Status=%d", "CPrintWater::PrintStringWater",
                     layout.lines[i].callNumber, static_cast<int>(status[i]));
    if (saved) GdipRestoreGraphics(page.graphics, state);
}
