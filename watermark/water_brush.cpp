#include "watermark/water_brush.h"

#include <algorithm>

namespace {

uint32_t Argb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace

uint32_t WaterBrushColor(WaterPass pass, unsigned opacity) {
    const unsigned v = std::min(opacity, 255u);
    switch (pass) {
        case WaterPass::kUnderlay: return Argb(255, 255 - v, 255 - v, 255 - v);
        case WaterPass::kOverlay: return Argb(v, 0, 0, 0);
        case WaterPass::kPdfOverlay: return Argb(std::min(2 * v, 255u), 0, 0, 0);
    }
    return 0;
}
