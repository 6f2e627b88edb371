#include "watermark/water_strokes.h"

#include <algorithm>

#include "watermark/gdiplus_session.h"
#include "watermark/water_mapping.h"

using namespace Gdiplus::DllExports;

namespace {

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

}  // namespace

std::vector<Gdiplus::GpStatus> DrawWaterLines(const WaterSurface& page, const WaterLayout& layout,
                                              Gdiplus::GpFont* font, Gdiplus::GpBrush* brush, bool translucent) {
    const bool running = EnsureGdiplus();
    std::vector<Gdiplus::GpStatus> status(layout.lines.size(),
                                          running ? Gdiplus::Ok : Gdiplus::GdiplusNotInitialized);
    if (!running) return status;
    // No drawing state of the watermark's survives the call.
    Gdiplus::GraphicsState state = 0;
    const bool saved = page.graphics && GdipSaveGraphics(page.graphics, &state) == Gdiplus::Ok;
    if (page.graphics) {
        GdipSetTextRenderingHint(page.graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
        CompensateDeviceMapping(page);
        if (layout.byGlyphs && layout.angle != 0)
            GdipRotateWorldTransform(page.graphics, layout.angle, Gdiplus::MatrixOrderPrepend);
    }
    if (!layout.byGlyphs) {
        const GdipStringFormatPtr format = page.isDevice ? OneRowFormat() : nullptr;
        for (size_t i = 0; i < layout.lines.size(); ++i)
            status[i] = DrawLine(page, layout.key.content, font, format.get(), brush, layout.lines[i],
                                 layout.key.lineHeight, !page.isDevice);
    } else if (translucent) {
        for (size_t i = 0; i < layout.rows.size(); ++i)
            status[i] = DrawInRuns(page.graphics, layout, layout.rows[i], font, brush);
    } else {
        // Opaque ink goes to the device as text: all lines in one call, one
        // clip and one font for the printer to receive.
        const Gdiplus::GpStatus all = DrawGlyphs(page.graphics, layout, 0, layout.glyphs.size(), font, brush);
        std::fill(status.begin(), status.end(), all);
    }
    if (saved) GdipRestoreGraphics(page.graphics, state);
    return status;
}
