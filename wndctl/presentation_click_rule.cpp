#include "wndctl/presentation_click_rule.h"

#include "identify/common_doc.h"

namespace {

constexpr DWORD kAfterDoubleClickMs = 1000;

// Written and read on the application's UI threads; a single aligned word.
volatile DWORD g_dwLastDblClickTick = 0;

bool ReadOnlyInFront(CCommonDoc& doc) {
    _ZEL_HOOK_INFO_ rec{};
    return doc.IsLimitedZelDoc(rec) && HasPermission(rec, 'R');
}

}  // namespace

bool RefusePresentationClick(const MSG& msg, CCommonDoc& doc) {
    if (doc.nDocType != kDocPowerPoint) return false;
    switch (msg.message) {
        case WM_LBUTTONDBLCLK:
            g_dwLastDblClickTick = GetTickCount();
            return ReadOnlyInFront(doc);
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return ReadOnlyInFront(doc);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            return GetTickCount() - g_dwLastDblClickTick < kAfterDoubleClickMs && ReadOnlyInFront(doc);
        default:
            return false;
    }
}
