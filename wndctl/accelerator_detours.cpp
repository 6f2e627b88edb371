// TranslateAccelerator in both forms: the presentation program's protected
// shortcuts are consumed before the application's accelerator table sees them.
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "wndctl/presentation_shortcuts.h"

namespace {

// One rule for both forms, in the presentation program. When the rule cannot
// decide (a fault or an exception in its work) a key press is consumed if a
// protected presentation was found in front; otherwise the call goes on as
// the application made it. Out of line: the replacements themselves stay a
// test and a jump (below).
template <class Fn>
__attribute__((noinline)) int TranslateOrConsume(HookId row, Fn real, HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    bool protectedFront = false;
    return RunReplacement(
        row, real,
        [&](contained::Frame& run) -> int {
            // A null message is the real function's to answer.
            bool consume;
            {
                const intercept::LastErrorKeeper callerError;
                consume = lpMsg && ConsumePresentationShortcut(*lpMsg, protectedFront);
            }
            return consume ? 1 : intercept::CallReal(run, real, hWnd, hAccTable, lpMsg);
        },
        [&]() -> int {
            if (protectedFront) return 1;
            return intercept::CallReal(real, hWnd, hAccTable, lpMsg);
        },
        hWnd, hAccTable, lpMsg);
}

}  // namespace

// The call runs for every message of every program; only the presentation
// program has shortcuts to consume. Everywhere else it goes on at once.
int WINAPI Detour_TranslateAccelerator(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    if (!IsProcessDocType(kDocPowerPoint)) return Trampoline_TranslateAccelerator(hWnd, hAccTable, lpMsg);
    return TranslateOrConsume(HookId::kTranslateAccelerator, Trampoline_TranslateAccelerator, hWnd, hAccTable,
                              lpMsg);
}

int WINAPI Detour_TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
    if (!IsProcessDocType(kDocPowerPoint)) return Trampoline_TranslateAcceleratorW(hWnd, hAccTable, lpMsg);
    return TranslateOrConsume(HookId::kTranslateAcceleratorW, Trampoline_TranslateAcceleratorW, hWnd, hAccTable,
                              lpMsg);
}
