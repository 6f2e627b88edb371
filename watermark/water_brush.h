#pragma once
// The brushes of the three drawing passes. With v the record's opacity:
//   underlay     opaque grey (255, 255-v, 255-v, 255-v), drawn under the page
//                content of the word processor, spreadsheet and presentation
//   overlay      translucent black (v, 0, 0, 0), over their content
//   PDF overlay  translucent black (2v, 0, 0, 0), over the PDF application's
// v above 255 counts as 255 and 2v stops at 255: a component never wraps
// round into a fainter mark.
#include <cstdint>

enum class WaterPass { kUnderlay, kOverlay, kPdfOverlay };

// 0xAARRGGBB.
uint32_t WaterBrushColor(WaterPass pass, unsigned opacity);
