// The print guard's replacements of spooler functions: the printer rules of
// spooler jobs, the PDF application's print dialog, and the device the
// application last asked about.
#include "guards/print/job_grant.h"
#include "guards/print/print_dialog_close.h"
#include "guards/print/print_text.h"
#include "guards/print/printer_names.h"
#include "guards/print/spooler_job_rule.h"
#include "guards/print/virtual_printer.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "support/refusal_messages.h"

namespace {

// Alt+D: the advanced-settings button of the PDF application's print dialog,
// whose dialog the message hook turns to printing as an image.
void PressAltD() {
    constexpr BYTE kScan = 0x45;
    constexpr DWORD kDown = KEYEVENTF_EXTENDEDKEY;
    constexpr DWORD kUp = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
    keybd_event(VK_MENU, kScan, kDown, 0);
    keybd_event('D', kScan, kDown, 0);
    keybd_event('D', kScan, kUp, 0);
    keybd_event(VK_MENU, kScan, kUp, 0);
}

// The spooler's own failure for a job without a printer, with the error of a
// print the user cancelled: the user has been told, the application shows
// nothing of its own.
DWORD RefuseSpoolerJob(DWORD level, LPBYTE pDocInfo) {
    const DWORD job = intercept::CallReal(Trampoline_StartDocPrinterW, nullptr, level, pDocInfo);
    SetLastError(ERROR_CANCELLED);
    return job;
}

}  // namespace

DWORD WINAPI Detour_StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
    // Whose rules the job follows: the StartDocW that started it on this
    // thread, else (a spooler job of the application's own) the document in
    // front. Known before anything can fail.
    JobGrant* const grant = CurrentJobGrant();
    // The real call is the last thing each path does: an exception comes
    // before it, and the exception path decides instead.
    return RunReplacement(
        HookId::kStartDocPrinterW, Trampoline_StartDocPrinterW,
        [&](contained::Frame& run) -> DWORD {
            const DWORD callerError = GetLastError();
            bool limited = false;
            HWND docWnd = nullptr;
            std::string zelFile;
            if (grant) {
                grant->spooled = true;
                limited = grant->isZelDoc && !grant->allRight;
                docWnd = grant->docWnd;
                zelFile = grant->zelFile;
            } else if (CCommonDoc* doc = DocObject()) {
                _ZEL_HOOK_INFO_ rec{};
                limited = doc->IsLimitedZelDoc(rec);
                docWnd = DocWndOf(rec);
                zelFile = text::FromField(rec.szZelFileName);
            }
            const PrinterRefusal refusal =
                limited && hPrinter ? CheckSpoolerJob(hPrinter, Level, pDocInfo, docWnd, zelFile) : PrinterRefusal::kNone;
            if (refusal != PrinterRefusal::kNone) {
                if (grant) grant->refused = refusal;
                return RefuseSpoolerJob(Level, pDocInfo);
            }
            SetLastError(callerError);
            return intercept::CallReal(run, Trampoline_StartDocPrinterW, hPrinter, Level, pDocInfo);
        },
        [&]() -> DWORD {
            LogError("Detour_StartDocPrinterW:Exception");
            // Only a job known to print no protected document goes on.
            _ZEL_HOOK_INFO_ rec{};
            const bool open = grant ? !grant->isZelDoc || grant->allRight
                                    : !IsProcessProtected(GetCurrentProcessId(), rec);
            if (open) return intercept::CallReal(Trampoline_StartDocPrinterW, hPrinter, Level, pDocInfo);
            if (grant) grant->refused = PrinterRefusal::kUnknown;
            return RefuseSpoolerJob(Level, pDocInfo);
        },
        hPrinter, Level, pDocInfo);
}

namespace {

// OpenPrinterA and OpenPrinterW alike: the PDF application opens the printer
// of its print dialog, which closes without the print right.
template <class Fn, class Name, class Defaults>
BOOL OpenPrinterWith(HookId id, Fn trampoline, const char* where, Name name, LPHANDLE phPrinter, Defaults pDefault) {
    return RunReplacement(
        id, trampoline,
        [&](contained::Frame& run) -> BOOL {
            const DWORD callerError = GetLastError();
            CCommonDoc* doc = DocObject();
            _ZEL_HOOK_INFO_ rec{};
            if (IsProcessDocType(kDocPdf) && doc->IsLimitedZelDoc(rec) && !HasPermission(rec, 'P')) {
                if (HWND dialog = FindOwnPrintDialog()) {
                    PostMessageA(dialog, WM_CLOSE, 0, 0);
                    StartMessageThread(HasPermission(rec, 'Q') ? ShowPrintLimitMsg : ShowCantPrintMsg,
                                       DocWndOf(rec));
                    LogError("[%s] Not Allow Print. Close Print Dialog.", where);
                }
            }
            SetLastError(callerError);
            return intercept::CallReal(run, trampoline, name, phPrinter, pDefault);
        },
        [&]() -> BOOL {
            LogError("%s:Exception", where);
            return intercept::CallReal(trampoline, name, phPrinter, pDefault);
        },
        name, phPrinter, pDefault);
}

}  // namespace

BOOL WINAPI Detour_OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    return OpenPrinterWith(HookId::kOpenPrinterW, Trampoline_OpenPrinterW, "Detour_OpenPrinterW", pPrinterName,
                           phPrinter, pDefault);
}

BOOL WINAPI Detour_OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
    return OpenPrinterWith(HookId::kOpenPrinterA, Trampoline_OpenPrinterA, "Detour_OpenPrinterA", pPrinterName,
                           phPrinter, pDefault);
}

LONG WINAPI Detour_DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                                       PDEVMODEW pDevModeInput, DWORD fMode) {
    return RunReplacement(
        HookId::kDocumentPropertiesW, Trampoline_DocumentPropertiesW,
        [&](contained::Frame& run) -> LONG {
            const DWORD callerError = GetLastError();
            // Read outside the names' lock: the spooler may take its time.
            const std::string driver = hPrinter ? ReadPrinterFacts(hPrinter).driver : std::string();
            const std::string deviceName = AnsiOf(pDeviceName);
            if (ReplaceLastDeviceName(deviceName)) {
                CCommonDoc* doc = DocObject();
                _ZEL_HOOK_INFO_ rec{};
                if (IsProcessDocType(kDocPdf) && doc->IsZelDoc(rec) && !IsVirtualPrinterDriver(driver) &&
                    !text::Contains(text::ToUpper(deviceName), "\\CSR|")) {
                    HWND active = GetActiveWindow();
                    if (IsWindow(active)) {
                        SetFocus(active);
                        PressAltD();
                    }
                }
            }
            SetLastError(callerError);
            return intercept::CallReal(run, Trampoline_DocumentPropertiesW, hWnd, hPrinter, pDeviceName, pDevModeOutput,
                                       pDevModeInput, fMode);
        },
        [&]() -> LONG {
            LogError("Detour_DocumentPropertiesW:Exception");
            return intercept::CallReal(Trampoline_DocumentPropertiesW, hWnd, hPrinter, pDeviceName, pDevModeOutput,
                                       pDevModeInput, fMode);
        },
        hWnd, hPrinter, pDeviceName, pDevModeOutput, pDevModeInput, fMode);
}
