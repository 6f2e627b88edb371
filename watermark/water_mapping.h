#pragma once
// The device's own pixels for the watermark, whatever mapping the
// application left on its device context.
#include "watermark/water_surface.h"

// Undoes the surface's mapping: the page corners (0, 0) and (W, H) land on
// themselves. Prepended to the surface's world transform.
void CompensateDeviceMapping(const WaterSurface& page);
