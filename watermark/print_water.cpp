#include "watermark/print_water.h"

#include <algorithm>
#include <cstring>

#include "support/ansi_text.h"
#include "support/log.h"
#include "support/process_lifetime.h"
#include "support/wide_text.h"
#include "support/held_locks.h"
#include "watermark/water_text.h"

namespace {

// Never destroyed, not even when the library is unloaded: its destructor
// releases GDI+ and GDI objects, which must not happen under the loader lock.
// Only a process that prints through the library's replacements fills it, and
// there the library stays loaded until the process ends.
CPrintWater& ProcessWatermark() {
    static NeverDestroyed<CPrintWater> water;
    return *water;
}

// The drawn text runs past the end of every line; the renderer cuts it there.
constexpr size_t kMinDrawnChars = 200;

std::unique_ptr<wchar_t[]> OwnedCopy(const std::wstring& s) {
    std::unique_ptr<wchar_t[]> p(new wchar_t[s.size() + 1]);
    std::copy(s.begin(), s.end(), p.get());
    p[s.size()] = L'\0';
    return p;
}

std::wstring TextOf(const std::unique_ptr<wchar_t[]>& p) { return p ? std::wstring(p.get()) : std::wstring(); }

}  // namespace

CPrintWater& g_printWater = ProcessWatermark();

CPrintWater::CPrintWater() : m_fFontSize(0) {
    memset(m_szFontName, 0, sizeof m_szFontName);
    memset(&m_WaterInfo, 0, sizeof m_WaterInfo);
    // Without debug information, a lock allocates nothing: the process's
    // watermark, built at load, keeps nothing behind when the library is
    // unloaded.
    InitializeCriticalSectionEx(&m_csLock, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
}

CPrintWater::~CPrintWater() { DeleteCriticalSection(&m_csLock); }

void CPrintWater::LoadWaterInfo(const WaterInfo& info, HDC fontDevice, const WaterSurface& page) {
    {
        support::CriticalHold lock(m_csLock);
        m_WaterInfo = info;
    }
    PrepareWaterInfo(fontDevice, page);
}

void CPrintWater::PrepareWaterInfo(HDC fontDevice, const WaterSurface& page) {
    SetPdfOverlayBrush();
    BuildWaterContent();
    SelectWaterFont(fontDevice);
    FitWaterFontSize(page);
    RepeatWaterContent();
    const Prepared p = GetPrepared();
    LogError("FontName=%s,FontSize=%f,WaterContent=%s", text::WideToAnsi(p.fontName).c_str(),
             static_cast<double>(p.fontSize), text::WideToAnsi(p.content).c_str());
}

void CPrintWater::BuildWaterContent() {
    std::string ansi;
    {
        support::CriticalHold lock(m_csLock);
        // The controller is to end the text within the field; one that does
        // not is cut at the field's end, never read beyond it.
        ansi = text::FromField(m_WaterInfo.szContent);
    }
    std::unique_ptr<wchar_t[]> content = OwnedCopy(text::AnsiToWide(ExpandWaterContent(ansi)));
    support::CriticalHold lock(m_csLock);
    m_pszContent.swap(content);
}

void CPrintWater::RepeatWaterContent() {
    support::CriticalHold lock(m_csLock);
    const std::wstring once = TextOf(m_pszContent);
    const size_t n = once.size();
    if (n == 0 || n >= kMinDrawnChars) return;
    const size_t copies = kMinDrawnChars / n + 1;
    std::wstring repeated;
    repeated.reserve(n * copies);
    for (size_t i = 0; i < copies; ++i) repeated += once;
    m_pszContent = OwnedCopy(repeated);
}

CPrintWater::Prepared CPrintWater::GetPrepared() {
    support::CriticalHold lock(m_csLock);
    return PreparedLocked();
}

CPrintWater::Prepared CPrintWater::PreparedLocked() const {
    Prepared p;
    p.content = TextOf(m_pszContent);
    p.fontName = m_szFontName;
    p.fontSize = m_fFontSize;
    p.layout = m_WaterInfo.chLayout;
    p.lineCount = m_WaterInfo.wLineCount;
    p.opacity = m_WaterInfo.wOpacity;
    return p;
}

void CPrintWater::SetBrush(WaterPass pass) {
    WORD opacity;
    GdipBrushPtr old;
    {
        support::CriticalHold lock(m_csLock);
        opacity = m_WaterInfo.wOpacity;
        old = std::move(m_pBrush);
    }
    old.reset();
    GdipBrushPtr brush = CreateWaterBrush(pass, opacity);
    support::CriticalHold lock(m_csLock);
    m_pBrush = std::move(brush);
}

void CPrintWater::SetUnderlayBrush() { SetBrush(WaterPass::kUnderlay); }
void CPrintWater::SetOverlayBrush() { SetBrush(WaterPass::kOverlay); }
void CPrintWater::SetPdfOverlayBrush() { SetBrush(WaterPass::kPdfOverlay); }
