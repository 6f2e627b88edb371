// The print guard's replacements of the four GDI calls of a print job. A job
// is decided when it starts; the pages of a watermarked job get the watermark
// in opaque grey under their content and translucent black over it (the PDF
// application: only over it, twice as dark).
//
// A device context's need-watermark entry belongs to the job that last
// started on it: it is set only once the real StartDocW has succeeded, and a
// refused or failed start leaves the entry as it was (a second StartDocW on a
// device context that is printing fails, and must not strip the running job
// of its watermark). A job ended by AbortDoc or DeleteDC leaves its entry
// behind, and the next job that starts on that handle value replaces it.
#include "guards/print/print_event.h"
#include "guards/print/print_permission.h"
#include "guards/print/print_text.h"
#include "guards/print/printer_names.h"
#include "guards/print/virtual_printer.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "support/refusal_messages.h"
#include "watermark/print_water.h"

namespace {

// A refused job fails as a print the user cancelled: the application shows
// no error of its own; the user has seen why.
int Refuse() {
    SetLastError(ERROR_CANCELLED);
    return 0;
}

}  // namespace

int WINAPI Detour_StartDocW(HDC hdc, const DOCINFOW* lpdi) {
    bool called = false;  // an exception after the real call must not start a second job
    return RunReplacement(
        HookId::kStartDocW, Trampoline_StartDocW,
        [&]() -> int {
            const DWORD callerError = GetLastError();
            const std::string strPrintDocName = lpdi ? AnsiOf(lpdi->lpszDocName) : std::string();
            const std::string strOutput = lpdi ? AnsiOf(lpdi->lpszOutput) : std::string();
            const PrintGrant grant = AllowStartDoc(hdc, strPrintDocName, strOutput);
            if (!grant.allowed) {
                LogError("[%s] Not Allow Print. hdc=%x,strPrintDocName=%s", "Detour_StartDocW", HandleWord(hdc),
                         strPrintDocName.c_str());
                return Refuse();
            }
            // The printer the application last asked the spooler about.
            if (grant.isZelDoc && !grant.allRight && IsVirtualPrinterDriver(GetPrinterDriverName())) {
                StartMessageThread(ShowVirtualPrinterMsg, grant.docWnd);
                LogError("[%s] Not Allow Virtual Printer. hdc=%x,strPrintDocName=%s", "Detour_StartDocW",
                         HandleWord(hdc), strPrintDocName.c_str());
                return Refuse();
            }
            SetLastError(callerError);
            called = true;
            const int iRet = intercept::CallReal(Trampoline_StartDocW, hdc, lpdi);
            const DWORD error = GetLastError();
            if (iRet > 0) {
                if (grant.watermark) g_printWater.AddNeedPrintWaterHDC(hdc);
                else g_printWater.DeleteNeedPrintWaterHDC(hdc);
                // Counted only once the spooler has taken the job.
                if (grant.isZelDoc) SignalPrintEvent(grant.ownerPid);
            }
            LogError("[%s] hdc=%x,iRet=%d,strPrintDocName=%s", "Detour_StartDocW", HandleWord(hdc), iRet,
                     strPrintDocName.c_str());
            SetLastError(error);
            return iRet;
        },
        [&]() -> int {
            LogError("Detour_StartDocW:Exception");
            return called ? 0 : intercept::CallReal(Trampoline_StartDocW, hdc, lpdi);
        },
        hdc, lpdi);
}

int WINAPI Detour_EndDoc(HDC hdc) {
    bool called = false;
    int iRet = 0;
    return RunReplacement(
        HookId::kEndDoc, Trampoline_EndDoc,
        [&]() -> int {
            const DWORD callerError = GetLastError();
            g_printWater.DeleteNeedPrintWaterHDC(hdc);
            SetLastError(callerError);
            called = true;
            iRet = intercept::CallReal(Trampoline_EndDoc, hdc);
            const DWORD error = GetLastError();
            LogError("[%s] hdc=%x,iRet=%d", "Detour_EndDoc", HandleWord(hdc), iRet);
            SetLastError(error);
            return iRet;
        },
        [&]() -> int { return called ? iRet : intercept::CallReal(Trampoline_EndDoc, hdc); }, hdc);
}

int WINAPI Detour_StartPage(HDC hdc) {
    bool called = false;
    int iRet = 0;
    return RunReplacement(
        HookId::kStartPage, Trampoline_StartPage,
        [&]() -> int {
            called = true;
            iRet = intercept::CallReal(Trampoline_StartPage, hdc);
            const DWORD error = GetLastError();
            if (iRet > 0) g_printWater.ClearPageWaterAdded(hdc);
            // Drawn right after the page begins, before the application draws
            // on it: under the page's content.
            if (iRet > 0 && g_printWater.IsNeedPrintWaterHDC(hdc) && !IsProcessDocType(kDocPdf))
                g_printWater.PrintStringWater(hdc, WaterPass::kUnderlay);
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
            const DWORD callerError = GetLastError();
            const bool bNeedAddWater = g_printWater.IsNeedPrintWaterHDC(hdc);
            // Once per page and device context: the page's own flag, set by
            // the one caller that draws.
            if (bNeedAddWater && g_printWater.MarkPageWaterAdded(hdc))
                g_printWater.PrintStringWater(hdc, IsProcessDocType(kDocPdf) ? WaterPass::kPdfOverlay : WaterPass::kOverlay);
            SetLastError(callerError);
            called = true;
            iRet = intercept::CallReal(Trampoline_EndPage, hdc);
            const DWORD error = GetLastError();
            LogError("[%s] hdc=%x,iRet=%d,bNeedAddWater=%d,g_bAddWater=%d", "Detour_EndPage", HandleWord(hdc), iRet,
                     bNeedAddWater, g_printWater.IsPageWaterAdded(hdc));
            SetLastError(error);
            return iRet;
        },
        [&]() -> int { return called ? iRet : intercept::CallReal(Trampoline_EndPage, hdc); }, hdc);
}
