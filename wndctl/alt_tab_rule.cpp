#include "wndctl/alt_tab_rule.h"

#include "store/shared_settings.h"

void RecordAltTab(const MSG& msg, wndctl::KeyStates& keys) {
    // The Tab key's own messages only, and its state first: the key state is a
    // request to the window server under Wine, the asynchronous state of Alt
    // one more.
    if (!wndctl::IsKeyMessage(msg.message) || msg.wParam != VK_TAB || !keys.Down(VK_TAB)) return;
    if (!keys.Down(VK_MENU) && GetAsyncKeyState(VK_MENU) >= 0) return;
    // The flag is written under the store's lock: only when it changes.
    if (store::GetAltTabFlag() != 1) store::SetAltTabFlag(1);
}
