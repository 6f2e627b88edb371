#include "watermark/water_job.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <set>

#include "support/wide_text.h"
#include "support/ansi_text.h"
#include "watermark/gdip_owned.h"
#include "watermark/water_text.h"

using namespace Gdiplus::DllExports;

namespace {

// The SimSun family under its code page 936 name.
const char kSimSunAnsi[] = "\xCB\xCE\xCC\xE5";

// Sizes tried when the record leaves the size to the page, smallest first.
constexpr float kFitSizes[] = {5, 8, 10, 12, 14, 16, 18, 20, 24, 26, 28, 36, 40, 44, 48, 54, 60, 66, 72};
constexpr float kLargestSize = 72;
// What every size, configured or fitted, is drawn at.
constexpr float kDrawnShare = 0.7f;
// The drawn text runs past the end of every line; the renderer cuts it there.
constexpr size_t kMinDrawnChars = 200;

struct FamilyNames {
    std::set<std::string> names;
    bool failed = false;
};

// Runs inside the system's enumeration: nothing may leave it as an
// exception, which would cross the system's frames and end the application.
// A name that cannot be kept ends the enumeration with what was found.
int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) {
    auto* found = reinterpret_cast<FamilyNames*>(param);
    if (!font || !found) return 1;
    try {
        found->names.insert(text::FromField(font->lfFaceName));
        return 1;
    } catch (...) {
        found->failed = true;
        return 0;
    }
}

// Whether the whole text fits on one line of the box.
bool FitsOnOneLine(const WaterSurface& page, Gdiplus::GpFont* font, const std::wstring& text, float length) {
    const Gdiplus::RectF box(0, 0, length, WaterLineHeight(page, font));
    Gdiplus::RectF bounds;
    INT fitted = 0, lines = 0;
    const Gdiplus::GpStatus status = GdipMeasureString(page.graphics, text.c_str(), static_cast<INT>(text.size()),
                                                       font, &box, nullptr, &bounds, &fitted, &lines);
    return status == Gdiplus::Ok && fitted == static_cast<INT>(text.size()) && lines == 1;
}

}  // namespace

float RecordFontSize(float fFontSize) { return std::isfinite(fFontSize) && fFontSize > 0 ? fFontSize : 0; }

std::wstring BuildWaterContent(const WaterInfo& info, time_t when) {
    // The controller is to end the text within the field; one that does not
    // is cut at the field's end, never read beyond it.
    return text::AnsiToWide(ExpandWaterContent(text::FromField(info.szContent), when));
}

std::wstring SelectWaterFont(HDC hdc) {
    // One call per family and character set.
    FamilyNames found;
    LOGFONTA all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(hdc, &all, CollectFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found.names.count(kSimSunAnsi) ? text::AnsiToWide(kSimSunAnsi) : std::wstring(L"Arial");
}

float FitWaterFontSize(const WaterSurface& page, const std::wstring& content, const std::wstring& family,
                       float recordSize, char layout) {
    float size = RecordFontSize(recordSize);
    if (size == 0) {
        // Along the line: the page width, or its diagonal.
        const float w = static_cast<float>(page.width);
        const float h = static_cast<float>(page.height);
        const float length = layout == 'L' ? w : std::sqrt(w * w + h * h);
        size = kFitSizes[0];
        for (float candidate : kFitSizes) {
            if (!page.graphics) break;
            const WaterFont font = CreateWaterFont(family.c_str(), candidate);
            if (!FitsOnOneLine(page, font.font.get(), content, length)) break;
            size = candidate;
        }
    }
    if (size > kLargestSize) size = kLargestSize;
    return size * kDrawnShare;
}

std::wstring RepeatWaterContent(const std::wstring& content) {
    const size_t n = content.size();
    if (n == 0 || n >= kMinDrawnChars) return content;
    const size_t copies = kMinDrawnChars / n + 1;
    // Repeated as the template's ANSI text, as the controller wrote it.
    const std::string once = text::WideToAnsi(content);
    std::string repeated;
    repeated.reserve(once.size() * copies);
    for (size_t i = 0; i < copies; ++i) repeated += once;
    return text::AnsiToWide(repeated);
}

WaterJob PrepareWaterJob(const WaterInfo& info, HDC fontDevice, const WaterSurface& page, time_t when) {
    WaterJob job;
    job.layout = info.chLayout;
    job.lineCount = info.wLineCount;
    job.opacity = info.wOpacity;
    const std::wstring content = BuildWaterContent(info, when);
    job.fontName = SelectWaterFont(fontDevice);
    job.fontSize = FitWaterFontSize(page, content, job.fontName, info.fFontSize, info.chLayout);
    job.content = RepeatWaterContent(content);
    return job;
}
