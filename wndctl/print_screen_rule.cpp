#include "wndctl/print_screen_rule.h"

#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"

bool PrintScreenDown(const MSG& msg, wndctl::KeyStates& keys) {
    // The key's own messages only: any key message of every process passes
    // here, and the key state is a request to the window server under Wine.
    return wndctl::IsKeyMessage(msg.message) && msg.wParam == VK_SNAPSHOT && keys.Down(VK_SNAPSHOT);
}

void EmptyClipboardAfterPrintScreen() {
    // The system's own OpenClipboard: the spreadsheet's replacement may wait
    // for another process to finish emptying, and this runs for a key message
    // on the application's UI thread. The slot leads to a callable function
    // also where the clipboard rows are not attached.
    if (!intercept::CallReal(Trampoline_OpenClipboard, static_cast<HWND>(nullptr))) {
        LogError("In CallWndProc() OpenClipboard 2 Error");
        return;
    }
    // Through the clipboard guard's replacement where it is attached: content
    // the library withholds goes too.
    EmptyClipboard();
    CloseClipboard();
}
