#include "companions/zelctl/water_preview.h"

#include <windows.h>

#include "companions/zelctl/preview_page.h"
#include "support/wide_text.h"
#include "watermark/print_water.h"
#include "watermark/water_geometry.h"

namespace zelctl {

PreviewResult RenderWaterPreview(const WaterInfo& info, const PreviewOptions& options) {
    PreviewResult r;
    PreviewPage page(options.dpi, options.landscape);
    if (!page.ok()) {
        r.error = "cannot make a page of that size";
        return r;
    }
    r.width = page.surface().width;
    r.height = page.surface().height;
    // The font families a printer would offer are the system's.
    HDC fonts = CreateCompatibleDC(nullptr);
    g_printWater.LoadWaterInfo(info, fonts, page.surface());
    DeleteDC(fonts);
    if (!options.pdf) {
        g_printWater.SetUnderlayBrush();
        g_printWater.PrintStringWater(page.surface());
        g_printWater.SetOverlayBrush();
    } else {
        g_printWater.SetPdfOverlayBrush();
    }
    g_printWater.PrintStringWater(page.surface());

    const CPrintWater::Prepared p = g_printWater.GetPrepared();
    r.fontName = text::WideToAnsi(p.fontName);
    r.fontSize = p.fontSize;
    r.lines = WaterLineRows(p.lineCount);
    r.error = page.SavePng(text::AnsiToWide(options.out));
    return r;
}

}  // namespace zelctl
