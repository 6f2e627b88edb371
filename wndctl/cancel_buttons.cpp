#include "wndctl/cancel_buttons.h"

#include "wndctl/posted_input.h"
#include "wndctl/window_texts.h"

namespace {

const char* const kCancel[] = {
    "\xC8\xA1\xCF\xFB",  // "cancel"
    "CANCEL",
    "CLOSE",
    nullptr,
};

}  // namespace

void ClickCancelButtons(HWND dialog) {
    HWND first = GetWindow(dialog, GW_CHILD);
    HWND c = first ? GetWindow(first, GW_CHILD) : nullptr;
    for (; c; c = GetWindow(c, GW_HWNDNEXT)) {
        for (HWND b = GetWindow(c, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT)) {
            if (!wndctl::ContainsAny(wndctl::UpperWindowText(b), kCancel)) continue;
            wndctl::PostClick(b);
            break;
        }
    }
}
