#include "watermark/gdip_owned.h"

#include <windows.h>
// GDI+'s headers need the OLE types first.
#include <objidl.h>
#include <gdiplus.h>

using namespace Gdiplus::DllExports;

void GdipDeleter::operator()(Gdiplus::GpBrush* p) const { GdipDeleteBrush(p); }
void GdipDeleter::operator()(Gdiplus::GpFont* p) const { GdipDeleteFont(p); }
void GdipDeleter::operator()(Gdiplus::GpFontFamily* p) const { GdipDeleteFontFamily(p); }
void GdipDeleter::operator()(Gdiplus::GpGraphics* p) const { GdipDeleteGraphics(p); }
void GdipDeleter::operator()(Gdiplus::GpStringFormat* p) const { GdipDeleteStringFormat(p); }

WaterFont CreateWaterFont(const wchar_t* familyName, float points) {
    WaterFont f;
    Gdiplus::GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(familyName, nullptr, &family);
    f.family.reset(family);
    Gdiplus::GpFont* font = nullptr;
    if (family) GdipCreateFont(family, points, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint, &font);
    f.font.reset(font);
    return f;
}
