// The KORB client's document window is looked up again whenever a drop target
// is registered: the client registers one on each document window it opens.
#include "identify/active_doc_window.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

HRESULT WINAPI Detour_RegisterDragDrop(HWND hwnd, LPDROPTARGET pDropTarget) {
    return RunReplacement(
        HookId::kRegisterDragDrop, Trampoline_RegisterDragDrop,
        [&](contained::Frame& run) -> HRESULT {
            {
                const intercept::LastErrorKeeper keep;
                UpdateKORBDocWnd();
            }
            return intercept::CallReal(run, Trampoline_RegisterDragDrop, hwnd, pDropTarget);
        },
        [&]() -> HRESULT { return intercept::CallReal(Trampoline_RegisterDragDrop, hwnd, pDropTarget); },
        hwnd, pDropTarget);
}
