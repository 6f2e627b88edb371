#pragma once
// The print watermark of this process: the need-watermark set, which says
// which device contexts print a watermarked job, with each job's own
// prepared watermark and the state of its current page.
//
// LoadWaterInfo prepares a job from the store's watermark record when the job
// is allowed; the job's entry keeps it, so the pages of every job draw their
// own text, date and size whatever other jobs start meanwhile. The page
// detours draw each pass with PrintStringWater.
//
// m_csLock guards the set and is held only to copy in and out: the store is
// read, fonts are enumerated, text is measured and pages are drawn outside
// it, so neither a slow page nor a store write stalled in another process
// holds up another thread's StartPage or EndPage.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "watermark/water_brush.h"
#include "watermark/water_job.h"
#include "watermark/water_pass.h"

class CPrintWater {
public:
    CPrintWater();
    ~CPrintWater();
    CPrintWater(const CPrintWater&) = delete;
    CPrintWater& operator=(const CPrintWater&) = delete;

    // Prepares a job on hdc from the store's watermark record, with the date
    // and time of now for all its pages, and logs it. Null when the record
    // cannot be read: the job must not print without its watermark.
    std::shared_ptr<const WaterJob> LoadWaterInfo(HDC hdc);

    // The need-watermark set. Adding replaces whatever the handle had (a job
    // that ended without EndDoc), and drops the entries of handles that are
    // no longer device contexts. Deleting an absent handle is ignored. Both
    // log the handle.
    void AddNeedPrintWaterHDC(HDC hdc, std::shared_ptr<const WaterJob> job);
    void DeleteNeedPrintWaterHDC(HDC hdc);
    bool IsNeedPrintWaterHDC(HDC hdc);
    size_t NeedPrintWaterCount();
    // The job of hdc's entry; null outside the set.
    std::shared_ptr<const WaterJob> JobOf(HDC hdc);

    // The current page of each device context of the set: which passes it
    // has. A page that begins or ends clears both; each Mark answers true only
    // for the one caller that set it, and only while hdc is in the set, so
    // that caller draws the pass. Absent handles read as not drawn.
    void ClearPageWaterAdded(HDC hdc);
    bool MarkPageWaterAdded(HDC hdc);  // the overlay
    bool MarkPageUnderlaid(HDC hdc);   // the underlay
    bool IsPageWaterAdded(HDC hdc);

    // Draws one pass of hdc's job on its current page, with the layout and
    // screen its earlier pages made. "" when drawn; otherwise the reason, also
    // logged. The page is never refused for it.
    std::string PrintStringWater(HDC hdc, WaterPass pass);

private:
    struct PageState {
        std::shared_ptr<const WaterJob> job;
        bool bAddWater = false;  // the overlay of the current page is drawn
        bool bUnderlay = false;  // the underlay of the current page is drawn
        WaterPageCache cache;
    };
    void PurgeEndedDeviceContexts(HDC keep);

    std::map<HDC, PageState> m_mapNeedWaterHDC;
    CRITICAL_SECTION m_csLock;
};

// The process's watermark. It lives as long as the process and is never
// destroyed: replacements called from other libraries' detach code as the
// process ends may still reach it.
extern CPrintWater& g_printWater;
