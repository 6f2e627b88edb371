#pragma once
// The watermark's lines on a drawing surface, as the layout says: each line as
// a string where the glyph rows cannot show the text, else as glyph runs.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "watermark/water_layout.h"
#include "watermark/water_surface.h"

// Draws every line of the layout with font and brush (translucent: the
// brush's ink is blended by GDI+ itself). The status of each line, in drawing
// order; a missing surface, font or brush fails every line. The surface is
// left as it was found.
std::vector<Gdiplus::GpStatus> DrawWaterLines(const WaterSurface& page, const WaterLayout& layout,
                                              Gdiplus::GpFont* font, Gdiplus::GpBrush* brush, bool translucent);
