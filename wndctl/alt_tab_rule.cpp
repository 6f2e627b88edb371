#include "wndctl/alt_tab_rule.h"

#include "store/shared_settings.h"

void RecordAltTab(const MSG& msg, wndctl::KeyStates& keys) {
    if (!wndctl::IsKeyMessage(msg.message)) return;
    // Tab first: most key messages come without it, and the asynchronous
    // state of Alt is one more request to the server.
    if (!keys.Down(VK_TAB)) return;
    if (!keys.Down(VK_MENU) && GetAsyncKeyState(VK_MENU) >= 0) return;
    // The flag is written under the store's lock: only when it changes.
    if (store::GetAltTabFlag() != 1) store::SetAltTabFlag(1);
}
