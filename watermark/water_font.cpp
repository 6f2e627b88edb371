#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>
#include <iterator>

#include "support/wide_text.h"
#include "watermark/print_water.h"
#include "support/held_locks.h"

using namespace Gdiplus::DllExports;

namespace {

// The SimSun family under its code page 936 name.
const char kSimSunAnsi[] = "\xCB\xCE\xCC\xE5";

// Sizes tried when the record leaves the size to the page, smallest first.
constexpr float kFitSizes[] = {5, 8, 10, 12, 14, 16, 18, 20, 24, 26, 28, 36, 40, 44, 48, 54, 60, 66, 72};
constexpr float kLargestSize = 72;
// What every size, configured or fitted, is drawn at.
constexpr float kDrawnShare = 0.7f;

int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM names) {
    if (font && names) reinterpret_cast<std::set<std::string>*>(names)->insert(font->lfFaceName);
    return 1;
}

// Whether the whole text fits on one line of the box.
bool FitsOnOneLine(const WaterSurface& page, Gdiplus::GpFont* font, const std::wstring& text,
                   float length) {
    const Gdiplus::RectF box(0, 0, length, WaterLineHeight(page, font));
    Gdiplus::RectF bounds;
    INT fitted = 0, lines = 0;
    const Gdiplus::GpStatus status = GdipMeasureString(page.graphics, text.c_str(), static_cast<INT>(text.size()),
                                                       font, &box, nullptr, &bounds, &fitted, &lines);
    return status == Gdiplus::Ok && fitted == static_cast<INT>(text.size()) && lines == 1;
}

}  // namespace

void CPrintWater::SelectWaterFont(HDC hdc) {
    // One call per family and character set; the device may be slow to list
    // them, so the lock waits for nobody meanwhile.
    std::set<std::string> names;
    LOGFONTA all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(hdc, &all, CollectFamily, reinterpret_cast<LPARAM>(&names), 0);

    support::CriticalHold lock(m_csLock);
    m_setFontNames.swap(names);
    memset(m_szFontName, 0, sizeof m_szFontName);
    const std::wstring name =
        m_setFontNames.count(kSimSunAnsi) ? text::AnsiToWide(kSimSunAnsi) : std::wstring(L"Arial");
    name.copy(m_szFontName, std::size(m_szFontName) - 1);
}

void CPrintWater::FitWaterFontSize(const WaterSurface& page) {
    float size;
    char layout;
    std::wstring content, family;
    {
        support::CriticalHold lock(m_csLock);
        size = m_WaterInfo.fFontSize;
        layout = m_WaterInfo.chLayout;
        content = m_pszContent ? m_pszContent.get() : L"";
        family = m_szFontName;
    }
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
    size *= kDrawnShare;
    support::CriticalHold lock(m_csLock);
    m_fFontSize = size;
}
