#pragma once
// zelctl preview: a page as a protected document prints it, drawn by the print
// watermark's own code (the same preparation, passes and screen).
#include <string>

#include "store/hook_info.h"

namespace zelctl {

struct PreviewOptions {
    std::string out;         // PNG file
    int dpi = 150;
    bool landscape = false;
    bool pdf = false;        // as the PDF application prints: one overlay, doubled alpha
    // The printer the page goes to: one that cannot blend translucent ink
    // (most printers, the test world's among them) gets it as a screen of
    // stripes; one that blends gets it smooth.
    bool blends = false;
};

struct PreviewResult {
    std::string error;       // empty when the PNG was written
    int width = 0, height = 0;
    std::string fontName;    // ANSI
    float fontSize = 0;      // points, as drawn
    unsigned lines = 0;
};

// Draws info's watermark on a blank A4 page and writes it as a PNG: the
// underlay under where the content would be, then the overlay over it.
PreviewResult RenderWaterPreview(const WaterInfo& info, const PreviewOptions& options);

}  // namespace zelctl
