#include "wndctl/alt_tab_rule.h"

#include "store/shared_settings.h"
#include "wndctl/key_state.h"

void RecordAltTab(const MSG& msg) {
    if (!wndctl::IsKeyMessage(msg.message)) return;
    // Tab first: the asynchronous state of Alt costs a round trip to the
    // server, and most key messages come without Tab.
    if (!wndctl::KeyDown(VK_TAB)) return;
    if (!wndctl::KeyDown(VK_MENU) && GetAsyncKeyState(VK_MENU) >= 0) return;
    // The flag is written under the store's lock: only when it changes.
    if (store::GetAltTabFlag() != 1) store::SetAltTabFlag(1);
}
