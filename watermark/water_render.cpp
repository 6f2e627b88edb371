#include <objidl.h>
#include <gdiplus.h>

#include "support/log.h"
#include "watermark/gdiplus_session.h"
#include "watermark/print_water.h"
#include "watermark/water_geometry.h"
#include "watermark/water_lock.h"

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

Gdiplus::GpStatus DrawLine(const WaterSurface& page, const std::wstring& text, Gdiplus::GpFont* font,
                           Gdiplus::GpBrush* brush, const WaterLine& line, float lineHeight) {
    // The line's box: the text wraps inside it and only its first row shows.
    // The clip says so explicitly; not every GDI+ clips a bitmap's text to
    // the layout box by itself. The surface is left as it was found.
    Gdiplus::GraphicsState state = 0;
    const bool saved = GdipSaveGraphics(page.graphics, &state) == Gdiplus::Ok;
    Gdiplus::RectF box(line.x, line.y, line.length, lineHeight);
    if (line.angle != 0) {
        // Turned about the line's start.
        GdipTranslateWorldTransform(page.graphics, line.x, line.y, Gdiplus::MatrixOrderPrepend);
        GdipRotateWorldTransform(page.graphics, line.angle, Gdiplus::MatrixOrderPrepend);
        box.X = box.Y = 0;
    }
    GdipSetClipRect(page.graphics, box.X, box.Y, box.Width, box.Height, Gdiplus::CombineModeIntersect);
    const Gdiplus::GpStatus status = GdipDrawString(page.graphics, text.c_str(), static_cast<INT>(text.size()),
                                                    font, &box, nullptr, brush);
    if (saved) GdipRestoreGraphics(page.graphics, state);
    return status;
}

}  // namespace

void CPrintWater::PrintStringWater(HDC hdc) {
    LogError("Print Water. hdc=%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(hdc)));
    DeviceWaterSurface device(hdc);
    PrintStringWater(device.surface());
}

void CPrintWater::PrintStringWater(const WaterSurface& page) {
    // The page's text, font and brush as one consistent copy: a job prepared
    // meanwhile in another thread changes the next page, not this one.
    Prepared p;
    GdipBrushPtr brush;
    const bool running = EnsureGdiplus();
    {
        WaterLock lock(m_csLock);
        p = PreparedLocked();
        if (running && m_pBrush) {
            Gdiplus::GpBrush* copy = nullptr;
            GdipCloneBrush(m_pBrush.get(), &copy);
            brush.reset(copy);
        }
    }
    // No drawing state of the watermark's survives the call.
    Gdiplus::GraphicsState state = 0;
    const bool saved = running && page.graphics && GdipSaveGraphics(page.graphics, &state) == Gdiplus::Ok;
    WaterFont font;
    if (running) {
        if (page.graphics) {
            GdipSetTextRenderingHint(page.graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
            CompensateDeviceMapping(page);
        }
        font = CreateWaterFont(p.fontName.c_str(), p.fontSize);
    }
    WaterGeometry g;
    g.width = static_cast<float>(page.width);
    g.height = static_cast<float>(page.height);
    g.em = p.fontSize / 72 * static_cast<float>(page.dpi);
    g.lineHeight = WaterLineHeight(page, font.font.get());
    for (const WaterLine& line : WaterLines(g, p.layout, p.lineCount)) {
        const Gdiplus::GpStatus status =
            running ? DrawLine(page, p.content, font.font.get(), brush.get(), line, g.lineHeight)
                    : Gdiplus::GdiplusNotInitialized;
        if (status != Gdiplus::Ok)
            LogError("[%s():%d] Call DrawString() Fail. Status=%d", "CPrintWater::PrintStringWater",
                     line.callNumber, static_cast<int>(status));
    }
    if (saved) GdipRestoreGraphics(page.graphics, state);
}
