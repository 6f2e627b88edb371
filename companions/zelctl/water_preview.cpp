#include "companions/zelctl/water_preview.h"

#include <windows.h>

#include <ctime>

#include "companions/zelctl/preview_page.h"
#include "support/wide_text.h"
#include "watermark/water_geometry.h"
#include "watermark/water_job.h"
#include "watermark/water_pass.h"

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
    const WaterJob job = PrepareWaterJob(info, fonts, page.surface(), time(nullptr));
    DeleteDC(fonts);
    WaterPage paper;
    paper.surface = page.surface();
    paper.blends = options.blends;
    WaterPageCache cache;
    if (!options.pdf) DrawWaterPass(job, paper, WaterPass::kUnderlay, cache);
    DrawWaterPass(job, paper, options.pdf ? WaterPass::kPdfOverlay : WaterPass::kOverlay, cache);

    r.fontName = text::WideToAnsi(job.fontName);
    r.fontSize = job.fontSize;
    r.lines = WaterLineRows(job.lineCount);
    r.error = page.SavePng(text::AnsiToWide(options.out));
    return r;
}

}  // namespace zelctl
