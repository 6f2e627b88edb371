#pragma once
// Objects of GDI+'s flat interface, each released exactly once, by its owner.
#include <memory>

namespace Gdiplus {
class GpBrush;
class GpFont;
class GpFontFamily;
class GpGraphics;
class GpStringFormat;
}  // namespace Gdiplus

struct GdipDeleter {
    void operator()(Gdiplus::GpBrush* p) const;
    void operator()(Gdiplus::GpFont* p) const;
    void operator()(Gdiplus::GpFontFamily* p) const;
    void operator()(Gdiplus::GpGraphics* p) const;
    void operator()(Gdiplus::GpStringFormat* p) const;
};

using GdipBrushPtr = std::unique_ptr<Gdiplus::GpBrush, GdipDeleter>;
using GdipFontPtr = std::unique_ptr<Gdiplus::GpFont, GdipDeleter>;
using GdipFontFamilyPtr = std::unique_ptr<Gdiplus::GpFontFamily, GdipDeleter>;
using GdipGraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, GdipDeleter>;
using GdipStringFormatPtr = std::unique_ptr<Gdiplus::GpStringFormat, GdipDeleter>;

// A regular font of the family in points, and the family it came from. Either
// is null when GDI+ cannot create it.
struct WaterFont {
    GdipFontFamilyPtr family;
    GdipFontPtr font;
};
WaterFont CreateWaterFont(const wchar_t* familyName, float points);
