// EnableMenuItem: the PDF application's listed menu commands stay greyed
// while a protected document is in front (wndctl/pdf_menu_rule.h).
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "wndctl/pdf_menu_rule.h"

namespace {

// In the PDF application. Out of line: the replacement itself stays a test
// and a jump (below).
__attribute__((noinline)) BOOL RuledEnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    bool limitedFront = false;
    return RunReplacement(
        HookId::kEnableMenuItem, Trampoline_EnableMenuItem,
        [&](contained::Frame& run) -> BOOL {
            // No menu: the real function's own answer.
            if (!hMenu) return intercept::CallReal(run, Trampoline_EnableMenuItem, hMenu, uIDEnableItem, uEnable);
            UINT state;
            {
                const intercept::LastErrorKeeper callerError;
                state = PdfMenuItemState(hMenu, uIDEnableItem, uEnable, limitedFront);
            }
            return intercept::CallReal(run, Trampoline_EnableMenuItem, hMenu, uIDEnableItem, state);
        },
        // Undecided while a limited document is in front: the item stays as
        // it is, as when the item does not exist (-1).
        [&]() -> BOOL {
            if (limitedFront) return static_cast<BOOL>(-1);
            return intercept::CallReal(Trampoline_EnableMenuItem, hMenu, uIDEnableItem, uEnable);
        },
        hMenu, uIDEnableItem, uEnable);
}

}  // namespace

// Menus are updated often in every program; only the PDF application's are
// ruled, elsewhere the call goes on at once.
BOOL WINAPI Detour_EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    if (!IsProcessDocType(kDocPdf)) return Trampoline_EnableMenuItem(hMenu, uIDEnableItem, uEnable);
    return RuledEnableMenuItem(hMenu, uIDEnableItem, uEnable);
}
