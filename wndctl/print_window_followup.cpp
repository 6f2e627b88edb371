#include "wndctl/print_window_followup.h"

#include <cstdint>

namespace {

// g_bPrintWndCreated, bound to the window whose creation set it: its handle
// while set, 0 when clear. Creation and activation may happen on different
// threads of the application.
volatile LONG g_bPrintWndCreated = 0;

LONG WordOf(HWND w) { return static_cast<LONG>(reinterpret_cast<uintptr_t>(w)); }

bool TakePrintWindowCreated(HWND w) {
    const LONG noted = g_bPrintWndCreated;
    if (!noted) return false;
    if (noted == WordOf(w)) return InterlockedCompareExchange(&g_bPrintWndCreated, 0, noted) == noted;
    if (!IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(noted))))
        InterlockedCompareExchange(&g_bPrintWndCreated, 0, noted);
    return false;
}

// Alt+D as the keyboard sends it; the dialog's mnemonic presses its
// "Advanced" button, which the creation rule left without size.
void PressAltD() {
    constexpr BYTE kScan = 69;
    keybd_event(VK_MENU, kScan, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event('D', kScan, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event('D', kScan, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    keybd_event(VK_MENU, kScan, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

}  // namespace

void NotePrintWindowCreated(HWND w) { InterlockedExchange(&g_bPrintWndCreated, WordOf(w)); }

void FollowUpPrintWindow(HWND w) {
    if (!TakePrintWindowCreated(w)) return;
    // Cleared before the focus moves: giving the focus to a dialog that is
    // being activated activates it again, through this hook.
    SetFocus(w);
    PressAltD();
}
