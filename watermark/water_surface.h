#pragma once
// What the watermark is measured and drawn on: a GDI+ drawing surface in
// device pixels, and the size and resolution of the page it covers.
#include <windows.h>

#include "watermark/gdip_owned.h"

struct WaterSurface {
    Gdiplus::GpGraphics* graphics = nullptr;  // null: GDI+ cannot draw there
    int width = 0;   // pixels across the printable page (HORZRES)
    int height = 0;  // pixels down (VERTRES)
    int dpi = 0;     // horizontal resolution (LOGPIXELSX)
    bool isDevice = false;  // a device context's page (not a bitmap)
};

// The surface of a device context's current page: GDI+ graphics switched to
// pixel units, the page metrics read from the device. The page unit goes back
// and the graphics is deleted when it ends.
class DeviceWaterSurface {
public:
    explicit DeviceWaterSurface(HDC hdc);
    ~DeviceWaterSurface();
    DeviceWaterSurface(const DeviceWaterSurface&) = delete;
    DeviceWaterSurface& operator=(const DeviceWaterSurface&) = delete;
    const WaterSurface& surface() const { return surface_; }
    // The page metrics of hdc alone, without a drawing surface.
    static WaterSurface MetricsOf(HDC hdc);

private:
    GdipGraphicsPtr graphics_;
    WaterSurface surface_;
    int savedUnit_ = -1;
};

// The line height of font on the surface, in pixels; 0 when either is missing.
float WaterLineHeight(const WaterSurface& page, Gdiplus::GpFont* font);
