#include "wndctl/pdf_right_click_rule.h"

#include "identify/common_doc.h"
#include "identify/window_rules.h"

bool RefusePdfRightClick(const MSG& msg, const CCommonDoc& doc) {
    if (msg.message != WM_RBUTTONDOWN && msg.message != WM_RBUTTONUP && msg.message != WM_RBUTTONDBLCLK)
        return false;
    if (doc.nDocType != kDocPdf) return false;
    _ZEL_HOOK_INFO_ rec{};
    return IsWndInZelDoc(&msg, rec) && !HasPermission(rec, 'A');
}
