// zelctl preview: the store's watermark, or one given on the command line,
// drawn on an A4 page and written as a PNG.
#include <cstring>

#include "companions/zelctl/command_error.h"
#include "companions/zelctl/controller.h"
#include "companions/zelctl/values.h"
#include "companions/zelctl/water_preview.h"
#include "host/diagnostics.h"
#include "store/gatrel_interface.h"

namespace zelctl {

namespace {

constexpr const char* kPreviewUsage =
    "preview --out FILE.png [--text T] [--layout L|D] [--size POINTS] [--opacity 0-255] "
    "[--lines N] [--landscape] [--dpi N] [--pdf] [--device printer|blend]";
constexpr uint32_t kMinDpi = 30;
constexpr uint32_t kMaxDpi = 600;

}  // namespace

void Controller::Preview(const std::vector<std::string>& w) {
    if (!iface_.m_pStore) throw CommandError("preview: no store");
    // The store's settings, as the library in this process sees them.
    static WaterInfo info;
    GatrelDiagnosticTable()->GetWaterInfo(&info);
    PreviewOptions options;
    for (size_t i = 1; i < w.size(); ++i) {
        const std::string& opt = w[i];
        if (opt == "--landscape") {
            options.landscape = true;
            continue;
        }
        if (opt == "--pdf") {
            options.pdf = true;
            continue;
        }
        if (i + 1 >= w.size()) throw CommandError(std::string("usage: ") + kPreviewUsage);
        const std::string& value = w[++i];
        if (opt == "--out") {
            options.out = value;
        } else if (opt == "--text") {
            CopyField(info.szContent, sizeof info.szContent, value, "text");
        } else if (opt == "--layout") {
            if (value != "L" && value != "D") throw CommandError("layout: L (horizontal) or D (diagonal)");
            info.chLayout = value[0];
        } else if (opt == "--size") {
            info.fFontSize = ParseFloat(value, "size");
            if (!(info.fFontSize >= 0)) throw CommandError("size: 0 (fit to the page) or more points");
        } else if (opt == "--opacity") {
            info.wOpacity = static_cast<uint16_t>(ParseBounded(value, "opacity", 0xFFFF));
        } else if (opt == "--lines") {
            info.wLineCount = static_cast<uint16_t>(ParseBounded(value, "lines", 0xFFFF));
        } else if (opt == "--device") {
            if (value != "printer" && value != "blend")
                throw CommandError("device: printer (a screen of stripes) or blend (smooth)");
            options.blends = value == "blend";
        } else if (opt == "--dpi") {
            options.dpi = static_cast<int>(ParseBounded(value, "dpi", kMaxDpi));
            if (options.dpi < static_cast<int>(kMinDpi))
                throw CommandError("dpi: " + value + " is below " + std::to_string(kMinDpi));
        } else {
            throw CommandError("preview: unknown option \"" + opt + "\" (" + kPreviewUsage + ")");
        }
    }
    if (options.out.empty()) throw CommandError(std::string("usage: ") + kPreviewUsage);
    const PreviewResult r = RenderWaterPreview(info, options);
    if (!r.error.empty()) throw CommandError("preview: " + r.error);
    fprintf(out_, "preview: ok (%s, %dx%d at %d dpi, font %s %.1f pt, %u lines)\n", options.out.c_str(),
            r.width, r.height, options.dpi, r.fontName.c_str(), static_cast<double>(r.fontSize), r.lines);
}

}  // namespace zelctl
