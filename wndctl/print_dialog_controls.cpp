#include "wndctl/print_dialog_controls.h"

#include "host/process_context.h"
#include "support/contained_run.h"
#include "support/held_locks.h"
#include "support/process_lifetime.h"
#include "wndctl/posted_input.h"
#include "wndctl/window_texts.h"

namespace {

const char* const kPrintToFile[] = {
    "\xB4\xF2\xD3\xA1\xB5\xBD\xCE\xC4\xBC\xFE",  // "print to file"
    "PRINT TO &FILE",
    nullptr,
};

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

// How long the thread waits for the dialog's thread to tell the box's state.
constexpr UINT kCheckStateWaitMs = 2000;

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

// Asked of the box itself, with a bound: the dialog's thread may be busy.
bool Checked(HWND box) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kCheckStateWaitMs, &state))
        return false;
    return state == BST_CHECKED;
}

void ForcePrintAsImage(HWND dialog) {
    const AdvancedControls found = FindAdvancedControls(dialog);
    // Read before the lock is taken: nothing waits while it is held.
    const bool checked = found.imageBox && Checked(found.imageBox);
    support::CriticalHold hold(PrintSetupLock());
    if (found.imageBox) {
        PostMessageA(found.imageBox, WM_LBUTTONDOWN, 0, 0);
        if (!checked) {
            PostMessageA(found.imageBox, BM_SETCHECK, BST_UNCHECKED, 0);
            wndctl::PostClick(found.imageBox);
        }
    }
    if (found.okButton) wndctl::PostClick(found.okButton);
}

}  // namespace

void UncheckPrintToFile(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!wndctl::ContainsAny(wndctl::UpperWindowText(c), kPrintToFile)) continue;
        PostMessageA(c, BM_SETCHECK, BST_UNCHECKED, 0);
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
