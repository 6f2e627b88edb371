#pragma once
// The print watermark of this process. The controller publishes one
// watermark record for every protected document; when a watermarked print job
// is allowed, LoadWaterInfo turns it into what the pages get: the text with its
// date and time filled in and repeated, the font family and size for the job's
// printer. The page detours choose the brush of each pass and draw with
// PrintStringWater. The need-watermark set says which device contexts print a
// watermarked job, and whether the current page of each already has its
// overlay.
//
// Every member is guarded by m_csLock, held only for copies in and out:
// fonts are enumerated, text is measured and pages are drawn outside it, on
// snapshots, so a page drawn in one thread never holds up another thread's
// StartPage or EndPage.
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/hook_info.h"
#include "watermark/water_brush.h"
#include "watermark/water_surface.h"

struct WaterLayout;
struct WaterLayoutKey;
class ScreenStripes;

class CPrintWater {
public:
    CPrintWater();
    ~CPrintWater();
    CPrintWater(const CPrintWater&) = delete;
    CPrintWater& operator=(const CPrintWater&) = delete;

    // Prepares text, font and size for one print job on hdc from the store's
    // watermark record. The date and time are fixed here for the whole job.
    void LoadWaterInfo(HDC hdc);
    // The same from a given record, for a page that is not a device context of
    // its own (a preview bitmap): the font families are those of fontDevice,
    // the size is fitted to page.
    void LoadWaterInfo(const WaterInfo& info, HDC fontDevice, const WaterSurface& page);
    // Copies the store's watermark record into m_WaterInfo.
    void GetWaterInfo();

    // The steps of LoadWaterInfo, each taking the lock for its own copies.
    void BuildWaterContent();
    void SelectWaterFont(HDC hdc);
    void FitWaterFontSize(HDC hdc);
    void FitWaterFontSize(const WaterSurface& page);
    void RepeatWaterContent();

    // The brush of the next drawing pass. There is one for the process: two
    // threads drawing passes at the same moment may draw with each other's.
    // Print jobs draw with PrintStringWater(hdc, pass) instead.
    void SetUnderlayBrush();
    void SetOverlayBrush();
    void SetPdfOverlayBrush();

    // Draws the prepared watermark on the current page of hdc with the brush
    // set for the next pass. Failed drawing calls are logged; the page is
    // never refused. Translucent ink on a device that cannot blend is drawn
    // as a screen (watermark/water_screen.h).
    void PrintStringWater(HDC hdc);
    // The same with the brush of pass, made for this call alone: pages of
    // several jobs drawn at once in different threads keep their own passes.
    void PrintStringWater(HDC hdc, WaterPass pass);
    void PrintStringWater(const WaterSurface& page);

    // The need-watermark set. Adding a present handle changes nothing;
    // deleting an absent one is ignored. Both log the handle.
    void AddNeedPrintWaterHDC(HDC hdc);
    void DeleteNeedPrintWaterHDC(HDC hdc);
    bool IsNeedPrintWaterHDC(HDC hdc);
    // Per device context of the set: whether the overlay of its current page
    // has been drawn. A page that begins clears it; MarkPageWaterAdded sets it
    // and answers true only for the one caller that set it, and only while hdc
    // is in the set, so the page's end draws the overlay when it answers true.
    // Absent handles read as not added.
    void ClearPageWaterAdded(HDC hdc);
    bool MarkPageWaterAdded(HDC hdc);
    bool IsPageWaterAdded(HDC hdc);

    // What LoadWaterInfo prepared, as one consistent copy.
    struct Prepared {
        std::wstring content;   // expanded and repeated
        std::wstring fontName;
        float fontSize = 0;     // points, as drawn
        char layout = 0;
        WORD lineCount = 0;
        WORD opacity = 0;
    };
    Prepared GetPrepared();

private:
    struct PageState {
        bool bAddWater = false;  // the overlay of the current page is drawn
        // What every page of the job draws alike, made on its first page and
        // made again when the watermark or the page's size changes.
        std::shared_ptr<const WaterLayout> layout;
        std::shared_ptr<const ScreenStripes> stripes;
    };
    void PrepareWaterInfo(HDC fontDevice, const WaterSurface& page);
    void DrawOnDevice(HDC hdc, const Prepared& p, GdipBrushPtr brush);
    static void Draw(const WaterSurface& page, const WaterLayout& layout, Gdiplus::GpFont* font,
                     Gdiplus::GpBrush* brush);
    static WaterLayoutKey KeyOf(const Prepared& p, const WaterSurface& page, float lineHeight);
    // The layout and the screen's stripes of hdc's pages: those kept for
    // hdc while it is in the need-watermark set and they still fit, else
    // new ones (kept when hdc is in the set).
    std::shared_ptr<const WaterLayout> LayoutFor(HDC hdc, const WaterLayoutKey& key);
    std::shared_ptr<const ScreenStripes> StripesFor(HDC hdc, float coverage, const std::vector<RECT>& areas);
    Prepared PreparedLocked() const;  // m_csLock held
    // The prepared watermark and a copy of the current brush (null before a
    // brush is set or without GDI+), taken together.
    Prepared PreparedWithBrush(GdipBrushPtr& brush);
    void SetBrush(WaterPass pass);

    std::set<std::string> m_setFontNames;
    wchar_t m_szFontName[261];
    std::unique_ptr<wchar_t[]> m_pszContent;
    WaterInfo m_WaterInfo;
    float m_fFontSize;
    std::map<HDC, PageState> m_mapNeedWaterHDC;
    CRITICAL_SECTION m_csLock;
    GdipBrushPtr m_pBrush;
};

// The process's watermark. It lives as long as the process and is never
// destroyed: replacements called from other libraries' detach code as the
// process ends may still reach it.
extern CPrintWater& g_printWater;
