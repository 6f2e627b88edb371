// The print guard's replacements of spooler functions: the virtual-printer
// refusal of spooler jobs, the PDF application's print dialog, and the
// printer the application last asked about.
#include "guards/print/print_dialog_close.h"
#include "guards/print/print_text.h"
#include "guards/print/printer_names.h"
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

}  // namespace

DWORD WINAPI Detour_StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
    // The real call is the last thing each path does: an exception comes
    // before it, and the exception path makes it instead.
    return RunReplacement(
        HookId::kStartDocPrinterW, Trampoline_StartDocPrinterW,
        [&]() -> DWORD {
            const DWORD callerError = GetLastError();
            CCommonDoc* doc = DocObject();
            _ZEL_HOOK_INFO_ rec{};
            if (doc && hPrinter && doc->IsLimitedZelDoc(rec) && IsVirtualPrinter(hPrinter)) {
                StartMessageThread(ShowVirtualPrinterMsg, DocWndOf(rec));
                LogError("In Detour_StartDocPrinterW(): Not Allow Printer.file=%s",
                         text::FromField(rec.szZelFileName).c_str());
                // The spooler's own failure for a job without a printer, and
                // the error of a print the user cancelled: the user has been
                // told, the application shows nothing of its own.
                const DWORD job = intercept::CallReal(Trampoline_StartDocPrinterW, nullptr, Level, pDocInfo);
                SetLastError(ERROR_CANCELLED);
                return job;
            }
            SetLastError(callerError);
            return intercept::CallReal(Trampoline_StartDocPrinterW, hPrinter, Level, pDocInfo);
        },
        [&]() -> DWORD {
            LogError("Detour_StartDocPrinterW:Exception");
            return intercept::CallReal(Trampoline_StartDocPrinterW, hPrinter, Level, pDocInfo);
        },
        hPrinter, Level, pDocInfo);
}

BOOL WINAPI Detour_OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    return RunReplacement(
        HookId::kOpenPrinterW, Trampoline_OpenPrinterW,
        [&]() -> BOOL {
            const DWORD callerError = GetLastError();
            CCommonDoc* doc = DocObject();
            _ZEL_HOOK_INFO_ rec{};
            if (IsProcessDocType(kDocPdf) && doc->IsLimitedZelDoc(rec) && !HasPermission(rec, 'P')) {
                if (HWND dialog = FindOwnPrintDialog()) {
                    PostMessageA(dialog, WM_CLOSE, 0, 0);
                    StartMessageThread(HasPermission(rec, 'Q') ? ShowPrintLimitMsg : ShowCantPrintMsg,
                                       DocWndOf(rec));
                    LogError("[%s] Not Allow Print. Close Print Dialog.", "Detour_OpenPrinterW");
                }
            }
            SetLastError(callerError);
            return intercept::CallReal(Trampoline_OpenPrinterW, pPrinterName, phPrinter, pDefault);
        },
        [&]() -> BOOL {
            LogError("Detour_OpenPrinterW:Exception");
            return intercept::CallReal(Trampoline_OpenPrinterW, pPrinterName, phPrinter, pDefault);
        },
        pPrinterName, phPrinter, pDefault);
}

LONG WINAPI Detour_DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                                       PDEVMODEW pDevModeInput, DWORD fMode) {
    return RunReplacement(
        HookId::kDocumentPropertiesW, Trampoline_DocumentPropertiesW,
        [&]() -> LONG {
            const DWORD callerError = GetLastError();
            // Read outside the names' lock: the spooler may take its time.
            std::string driver;
            if (hPrinter) {
                driver = ReadPrinterDriver(hPrinter);
                SetPrinterDriverName(driver);
            }
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
            return intercept::CallReal(Trampoline_DocumentPropertiesW, hWnd, hPrinter, pDeviceName, pDevModeOutput, pDevModeInput,
                                                  fMode);
        },
        [&]() -> LONG {
            LogError("Detour_DocumentPropertiesW:Exception");
            return intercept::CallReal(Trampoline_DocumentPropertiesW, hWnd, hPrinter, pDeviceName, pDevModeOutput, pDevModeInput,
                                                  fMode);
        },
        hWnd, hPrinter, pDeviceName, pDevModeOutput, pDevModeInput, fMode);
}
