#include "wndctl/hook_procs.h"

#include <cstdint>

#include "guards/clipboard/clipboard_leave_rule.h"
#include "guards/clipboard/clipboard_memory.h"
#include "store/shared_section.h"

namespace {

// The handles given to CallNextHookEx come from the shared section, where the
// controller's StartHook published them. Single aligned words: read without a
// lock, they are either the old or the new value.
HHOOK NextGetMsgHook() {
    return reinterpret_cast<HHOOK>(
        static_cast<uintptr_t>(__atomic_load_n(&g_shared.hGetMsgHook, __ATOMIC_RELAXED)));
}

HHOOK NextCBTHook() {
    return reinterpret_cast<HHOOK>(
        static_cast<uintptr_t>(__atomic_load_n(&g_shared.hCBTHook, __ATOMIC_RELAXED)));
}

}  // namespace

LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    // A negative code must be passed on untouched.
    if (code >= 0 && lParam) {
        try {
            MSG& msg = *reinterpret_cast<MSG*>(lParam);
            // Rules on the queued message, in this order. A rule that refuses
            // the message turns it into WM_NULL for window 0; the message is
            // passed on below in every case.
            //   - keyboard rules of every process: PrintScreen empties the
            //     clipboard, Alt+Tab is recorded for the drag source;
            //   - without a document object nothing more applies;
            //   - mouse button tracking, the PDF application's right button,
            //     the presentation program's double click;
            //   - clipboard: in the office applications, a click or key press
            //     while the document in front is not the one that owns the
            //     withheld clipboard content drops that content
            //     (DelClipboardData);
            //   - the protected document's keys: Enter in save dialogs, print
            //     keys, read-only keys.
            ReleaseOrphanedClipboardHandles();
            DropClipboardIfOwnerLeft(msg);
        } catch (...) {
        }
    }
    return CallNextHookEx(NextGetMsgHook(), code, wParam, lParam);
}

LRESULT CALLBACK CallControlWndProc(int code, WPARAM wParam, LPARAM lParam) {
    // Rules on window creation (hide or refuse dialogs and their controls)
    // and activation (close dialogs that let content out) in the protected
    // applications; a refused creation returns -1 instead of passing on.
    return CallNextHookEx(NextCBTHook(), code, wParam, lParam);
}
