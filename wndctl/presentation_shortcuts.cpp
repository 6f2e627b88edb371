#include "wndctl/presentation_shortcuts.h"

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "wndctl/key_state.h"

bool ConsumePresentationShortcut(const MSG& msg, bool& protectedFront) {
    // Every shortcut here is a key press: other messages need no look-up.
    const UINT m = msg.message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) return false;
    CCommonDoc* doc = DocObject();
    if (!doc || doc->nDocType != kDocPowerPoint) return false;
    _ZEL_HOOK_INFO_ rec{};
    if (!doc->IsZelDoc(rec)) return false;
    protectedFront = true;
    const WPARAM key = msg.wParam;
    wndctl::KeyStates keys;
    const bool ctrl = keys.Down(VK_CONTROL), shift = keys.Down(VK_SHIFT), alt = keys.Down(VK_MENU);
    const bool down = m == WM_KEYDOWN;
    const bool v12 = doc->IsVersion12();
    if (HasPermission(rec, 'A')) {
        if (ctrl && shift && down && key == VK_F12) return false;
        if (down && key == VK_F12) return !v12;
    }
    if (ctrl && shift && down && key == VK_F12) return !HasPermission(rec, 'P');
    if (ctrl && down && (key == 'O' || key == 'N' || key == VK_F1 || key == VK_F12)) return true;
    if (alt && ctrl && down && (key == VK_F2 || key == 'L')) return true;
    if (alt && key == VK_F11) return true;  // with or without Shift, key or system key
    if (down && (key == VK_F12 || key == VK_F1)) return !v12;
    return false;
}
