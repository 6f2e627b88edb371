// The print guard's replacements of the calls that begin and end a page. The
// pages of a watermarked job get the watermark in opaque grey under their
// content and translucent black over it (the PDF application: only over it,
// twice as dark).
//
// Applications page a job in more ways than StartPage and EndPage: the old
// escapes begin the first page with STARTDOC and end each page with NEWFRAME,
// and a page after NEWFRAME or a band begins when the driver meets the first
// drawing. So a page's passes are cleared both when a page begins and when one
// ends, and each end of a page draws the overlay its page lacks.
#include "guards/print/job_end.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "watermark/print_water.h"

namespace {

// Right after the page begins, before the application draws on it: under
// the page's content.
void DrawUnderlay(HDC hdc) {
    if (!IsProcessDocType(kDocPdf) && g_printWater.IsNeedPrintWaterHDC(hdc) && g_printWater.MarkPageUnderlaid(hdc))
        g_printWater.PrintStringWater(hdc, WaterPass::kUnderlay);
}

// Before the page ends: over its content. Once per page and device context:
// the one caller that marks it draws.
bool DrawOverlay(HDC hdc) {
    const bool bNeedAddWater = g_printWater.IsNeedPrintWaterHDC(hdc);
    if (bNeedAddWater && g_printWater.MarkPageWaterAdded(hdc))
        g_printWater.PrintStringWater(hdc, IsProcessDocType(kDocPdf) ? WaterPass::kPdfOverlay : WaterPass::kOverlay);
    return bNeedAddWater;
}

// A page end and what follows it, for EndPage and Escape(NEWFRAME).
template <class Real>
int EndPageWith(HDC hdc, const char* where, Real&& real, bool& called, int& iRet) {
    const DWORD callerError = GetLastError();
    const bool bNeedAddWater = DrawOverlay(hdc);
    SetLastError(callerError);
    called = true;
    iRet = real();
    const DWORD error = GetLastError();
    // The next page may begin without StartPage.
    if (iRet > 0) g_printWater.ClearPageWaterAdded(hdc);
    LogError("[%s] hdc=%x,iRet=%d,bNeedAddWater=%d,g_bAddWater=%d", where, HandleWord(hdc), iRet, bNeedAddWater,
             g_printWater.IsPageWaterAdded(hdc));
    SetLastError(error);
    return iRet;
}

}  // namespace

int WINAPI Detour_StartPage(HDC hdc) {
    bool called = false;
    int iRet = 0;
    return RunReplacement(
        HookId::kStartPage, Trampoline_StartPage,
        [&](contained::Frame& run) -> int {
            called = true;
            iRet = intercept::CallReal(run, Trampoline_StartPage, hdc);
            const DWORD error = GetLastError();
            if (iRet > 0) {
                g_printWater.ClearPageWaterAdded(hdc);
                DrawUnderlay(hdc);
            }
            LogError("[%s] hdc=%x,iRet=%d,g_bAddWater=%d", "Detour_StartPage", HandleWord(hdc), iRet,
                     g_printWater.IsPageWaterAdded(hdc));
            SetLastError(error);
            return iRet;
        },
        [&]() -> int { return called ? iRet : intercept::CallReal(Trampoline_StartPage, hdc); }, hdc);
}

int WINAPI Detour_EndPage(HDC hdc) {
    bool called = false;
    int iRet = 0;
    return RunReplacement(
        HookId::kEndPage, Trampoline_EndPage,
        [&]() -> int {
            return EndPageWith(hdc, "Detour_EndPage", [&] { return intercept::CallReal(Trampoline_EndPage, hdc); },
                               called, iRet);
        },
        [&]() -> int { return called ? iRet : intercept::CallReal(Trampoline_EndPage, hdc); }, hdc);
}

// The escapes that page or end a job. STARTDOC starts the job through
// StartDocA, which meets the StartDocW rules, and then begins its first page.
// Every other escape passes untouched (a driver's NEXTBAND ends its page
// through EndPage).
int WINAPI Detour_Escape(HDC hdc, int nEscape, int cbInput, LPCSTR lpvInData, LPVOID lpvOutData) {
    bool called = false;
    int iRet = 0;
    const auto real = [&] { return intercept::CallReal(Trampoline_Escape, hdc, nEscape, cbInput, lpvInData, lpvOutData); };
    return RunReplacement(
        HookId::kEscape, Trampoline_Escape,
        [&]() -> int {
            switch (nEscape) {
                case NEWFRAME: return EndPageWith(hdc, "Detour_Escape", real, called, iRet);
                case ENDDOC: return iRet = EndJobWith(JobEnd::kEnd, hdc, real, called);
                case ABORTDOC: return iRet = EndJobWith(JobEnd::kAbort, hdc, real, called);
                case STARTDOC: {
                    called = true;
                    iRet = real();
                    const DWORD error = GetLastError();
                    if (iRet > 0) DrawUnderlay(hdc);
                    LogError("[%s] hdc=%x,nEscape=%d,iRet=%d", "Detour_Escape", HandleWord(hdc), nEscape, iRet);
                    SetLastError(error);
                    return iRet;
                }
                default: called = true; return iRet = real();
            }
        },
        [&]() -> int { return called ? iRet : real(); }, hdc, nEscape, cbInput, lpvInData, lpvOutData);
}
