#include "watermark/water_mapping.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

using namespace Gdiplus::DllExports;

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
