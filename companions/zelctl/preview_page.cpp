#include "companions/zelctl/preview_page.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "watermark/gdiplus_session.h"

using namespace Gdiplus::DllExports;

namespace zelctl {

namespace {

bool PngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<BYTE> buf(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    if (GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

}  // namespace

int A4WidthPixels(int dpi) { return static_cast<int>(std::lround(210.0 / 25.4 * dpi)); }
int A4HeightPixels(int dpi) { return static_cast<int>(std::lround(297.0 / 25.4 * dpi)); }

PreviewPage::PreviewPage(int dpi, bool landscape) {
    if (!EnsureGdiplus()) return;
    const int w = landscape ? A4HeightPixels(dpi) : A4WidthPixels(dpi);
    const int h = landscape ? A4WidthPixels(dpi) : A4HeightPixels(dpi);
    if (GdipCreateBitmapFromScan0(w, h, 0, PixelFormat24bppRGB, nullptr, &bitmap_) != Gdiplus::Ok) {
        bitmap_ = nullptr;
        return;
    }
    GdipBitmapSetResolution(bitmap_, static_cast<float>(dpi), static_cast<float>(dpi));
    Gdiplus::GpGraphics* g = nullptr;
    if (GdipGetImageGraphicsContext(bitmap_, &g) != Gdiplus::Ok) return;
    graphics_.reset(g);
    GdipGraphicsClear(g, 0xFFFFFFFF);
    surface_ = {g, w, h, dpi};
}

PreviewPage::~PreviewPage() {
    graphics_.reset();
    if (bitmap_) GdipDisposeImage(bitmap_);
}

std::string PreviewPage::SavePng(const std::wstring& path) const {
    if (!bitmap_) return "no page";
    CLSID png;
    if (!PngEncoder(png)) return "no PNG encoder";
    // Drawing still queued on the page goes in first.
    if (graphics_) GdipFlush(graphics_.get(), Gdiplus::FlushIntentionSync);
    const Gdiplus::GpStatus status = GdipSaveImageToFile(bitmap_, path.c_str(), &png, nullptr);
    return status == Gdiplus::Ok ? "" : "cannot write the PNG (GDI+ status " + std::to_string(status) + ")";
}

}  // namespace zelctl
