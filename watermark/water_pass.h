#pragma once
// Drawing one pass of a job's watermark on one page: the one way the
// watermark reaches paper, a printer's or the preview's.
//
// The pass's brush (watermark/water_brush.h) is made for the call alone. Ink
// that is translucent on a page that cannot blend it (most printers) is drawn
// as a screen of opaque stripes (watermark/water_screen.h); a page that
// blends gets it as it is.
#include <windows.h>

#include <memory>
#include <string>

#include "watermark/water_brush.h"
#include "watermark/water_job.h"
#include "watermark/water_surface.h"

struct WaterLayout;
class ScreenStripes;

// A page a pass is drawn on.
struct WaterPage {
    // A device context's page: its drawing surface is made for each pass and
    // its metrics are the device's. Null for a bitmap's page, whose surface
    // is given.
    HDC hdc = nullptr;
    WaterSurface surface;
    bool blends = true;  // translucent ink is blended where it falls
};

// The page of a device context, as the device reports it.
WaterPage DevicePage(HDC hdc);

// What the pages of one job draw alike: laid out on the first page, made
// again when the page's size changes. Kept by the caller from page to page.
struct WaterPageCache {
    std::shared_ptr<const WaterLayout> layout;
    std::shared_ptr<const ScreenStripes> stripes;
};

// Draws the pass; "" when every line was drawn, else why the page lacks its
// watermark (a drawing call that failed is also logged with the line's call
// number). Never refuses the page.
std::string DrawWaterPass(const WaterJob& job, const WaterPage& page, WaterPass pass, WaterPageCache& cache);
