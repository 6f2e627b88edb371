#include "wndctl/print_dialog_controls.h"

#include "host/process_context.h"
#include "support/contained_run.h"
#include "support/held_locks.h"
#include "support/process_lifetime.h"
#include "wndctl/pdf_print_texts.h"
#include "wndctl/posted_input.h"
#include "wndctl/window_texts.h"

namespace {

const char* const kPrintAsImage[] = {
    "\xD7\xF7\xCE\xAA\xCD\xBC\xCF\xF1\xB4\xF2\xD3\xA1",  // "print as image"
    "PRINT AS IMAGE",
    "PRINT AS &IMAGE",
    nullptr,
};

const char* const kOk[] = {
    "\xC8\xB7\xB6\xA8",  // "OK"
    "OK",
    nullptr,
};

struct PrintSetupSection {
    PrintSetupSection() { InitializeCriticalSection(&cs); }
    ~PrintSetupSection() { DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
};

// g_csPrintSetup: two threads never post to an advanced dialog at the same time.
CRITICAL_SECTION& PrintSetupLock() {
    static ProcessLifetime<PrintSetupSection> g_csPrintSetup;
    return g_csPrintSetup->cs;
}

struct AdvancedControls {
    HWND imageBox = nullptr;
    HWND okButton = nullptr;
};

AdvancedControls FindAdvancedControls(HWND dialog) {
    AdvancedControls found;
    HWND c = GetWindow(dialog, GW_CHILD);
    // Version 7 holds the controls in the dialog itself, the others in a pane.
    if (c && GetProcessContext().dwAcrobatVersion != 7) c = GetWindow(c, GW_CHILD);
    for (; c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string text = wndctl::UpperWindowText(c);
        if (wndctl::ContainsAny(text, kPrintAsImage)) found.imageBox = c;
        if (wndctl::ContainsAny(text, kOk)) found.okButton = c;
    }
    return found;
}

// The box ends checked whatever its state: it is unchecked, then clicked.
// Its state is not asked for: the dialog belongs to another thread, which
// may be busy, and nothing here waits for it.
void ForcePrintAsImage(HWND dialog) {
    const AdvancedControls found = FindAdvancedControls(dialog);
    support::CriticalHold hold(PrintSetupLock());
    if (found.imageBox) {
        PostMessageA(found.imageBox, WM_LBUTTONDOWN, 0, 0);
        PostMessageA(found.imageBox, BM_SETCHECK, BST_UNCHECKED, 0);
        wndctl::PostClick(found.imageBox);
    }
    if (found.okButton) wndctl::PostClick(found.okButton);
}

}  // namespace

void UncheckPrintToFile(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!wndctl::ContainsAny(wndctl::UpperWindowText(c), wndctl::kPrintToFileUpper)) continue;
        PostMessageA(c, BM_SETCHECK, BST_UNCHECKED, 0);
        return;
    }
}

void KeepPrintToFileOutOfReach(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!wndctl::ContainsAny(wndctl::UpperWindowText(c), wndctl::kPrintToFileUpper)) continue;
        RECT rc;
        if (GetWindowRect(c, &rc) && rc.left == rc.right && rc.top == rc.bottom) return;
        // Asynchronous: the box may belong to another thread.
        SetWindowPos(c, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        return;
    }
}

DWORD WINAPI ForcePrintAsImageProc(LPVOID dialog) {
    contained::Run([&] { ForcePrintAsImage(static_cast<HWND>(dialog)); });
    return 1;
}

void StartForcePrintAsImage(HWND dialog) {
    if (HANDLE t = CreateThread(nullptr, 0, ForcePrintAsImageProc, dialog, 0, nullptr)) CloseHandle(t);
}
