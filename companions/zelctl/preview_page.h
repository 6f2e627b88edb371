#pragma once
// A blank A4 page as a GDI+ bitmap at a chosen resolution, in device pixels,
// that the print watermark can be drawn on and that can be written as a PNG.
#include <string>

#include "watermark/water_surface.h"

namespace Gdiplus {
class GpBitmap;
}

namespace zelctl {

class PreviewPage {
public:
    // White, portrait or landscape. ok() is false when the bitmap cannot be
    // made (GDI+ missing, not enough memory).
    PreviewPage(int dpi, bool landscape);
    ~PreviewPage();
    PreviewPage(const PreviewPage&) = delete;
    PreviewPage& operator=(const PreviewPage&) = delete;

    bool ok() const { return surface_.graphics != nullptr; }
    const WaterSurface& surface() const { return surface_; }
    Gdiplus::GpBitmap* bitmap() const { return bitmap_; }
    // "" when written, else what failed.
    std::string SavePng(const std::wstring& path) const;

private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
    GdipGraphicsPtr graphics_;
    WaterSurface surface_;
};

// A4 in pixels at dpi: 210 x 297 mm.
int A4WidthPixels(int dpi);
int A4HeightPixels(int dpi);

}  // namespace zelctl
