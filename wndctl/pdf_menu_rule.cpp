#include "wndctl/pdf_menu_rule.h"

#include <algorithm>

#include "host/process_context.h"
#include "identify/common_doc.h"

namespace {

constexpr UINT kEnabledByPosition = 0x400;   // MF_BYPOSITION
constexpr UINT kGreyedByPosition = 0x403;    // MF_BYPOSITION | MF_GRAYED | MF_DISABLED
constexpr UINT kEnabledByCommand = MF_BYCOMMAND | MF_ENABLED;
constexpr UINT kGreyedByCommand = MF_BYCOMMAND | MF_GRAYED | MF_DISABLED;

bool Listed(UINT id) {
    // The PDF query chose the list (with or without the print commands) just
    // now; both lists live as long as the process context.
    const std::vector<uint32_t>* list = GetProcessContext().pActiveMenuIds;
    return list && std::find(list->begin(), list->end(), id) != list->end();
}

}  // namespace

UINT PdfMenuItemState(HMENU hMenu, UINT uIDEnableItem, UINT uEnable, bool& limitedFront) {
    CCommonDoc* doc = DocObject();
    if (!doc || doc->nDocType != kDocPdf) return uEnable;
    const bool byPosition = (uEnable & MF_BYPOSITION) != 0;
    // A pop-up's position has no command (-1), which no list holds.
    const UINT id = byPosition ? GetMenuItemID(hMenu, static_cast<int>(uIDEnableItem)) : uIDEnableItem;
    _ZEL_HOOK_INFO_ rec{};
    if (doc->IsLimitedZelDoc(rec)) {
        limitedFront = true;
        if (!Listed(id)) return uEnable;
        return byPosition ? kGreyedByPosition : kGreyedByCommand;
    }
    return byPosition ? kEnabledByPosition : kEnabledByCommand;
}
