#include "wndctl/document_key_rules.h"

#include "identify/common_doc.h"
#include "identify/window_rules.h"
#include "wndctl/key_state.h"
#include "wndctl/read_only_keys.h"
#include "wndctl/window_texts.h"

using wndctl::KeyDown;

namespace {

enum class Outcome { kRefuse, kPass, kNext };

// Enter in a window whose parent is a save or print-to-file dialog.
bool EnterInSaveDialog(const MSG& msg, WPARAM key) {
    if (key != VK_RETURN) return false;
    HWND parent = GetParent(msg.hwnd);
    return parent && IsSaveDlgTitle(wndctl::UpperWindowText(parent).c_str());
}

// Alt+F8 (macros) and Alt+F11 (the macro editor).
bool MacroKey(WPARAM key) { return KeyDown(VK_MENU) && (key == VK_F8 || key == VK_F11); }

// Ctrl+P and Ctrl+Shift+F12 print. In the office applications Ctrl+Shift+P
// is a formatting key: it is left to the read-only rule.
Outcome PrintKeys(const CCommonDoc& doc, const _ZEL_HOOK_INFO_& rec, WPARAM key) {
    const bool ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
    if (HasPermission(rec, 'P')) {
        if (ctrl && key == 'P') return Outcome::kPass;
        if (shift && ctrl && KeyDown(VK_F12)) return Outcome::kPass;
        return Outcome::kNext;
    }
    if (shift && ctrl && key == 'P') return doc.nDocType == kDocPdf ? Outcome::kRefuse : Outcome::kNext;
    if (ctrl && KeyDown('P')) return Outcome::kRefuse;
    if (shift && ctrl && KeyDown(VK_F12)) return Outcome::kRefuse;
    return Outcome::kNext;
}

}  // namespace

bool RefuseDocumentKey(const MSG& msg, CCommonDoc& doc) {
    if (!wndctl::IsKeyMessage(msg.message)) return false;
    _ZEL_HOOK_INFO_ rec{};
    if (!doc.IsLimitedZelDoc(rec)) return false;
    const WPARAM key = msg.wParam;
    if (EnterInSaveDialog(msg, key)) return true;
    if (MacroKey(key)) return true;
    switch (PrintKeys(doc, rec, key)) {
        case Outcome::kRefuse: return true;
        case Outcome::kPass: return false;
        case Outcome::kNext: break;
    }
    // F12 is the spreadsheet's "save as".
    if (HasPermission(rec, 'W') && doc.nDocType == kDocExcel && KeyDown(VK_F12)) return true;
    if (HasPermission(rec, 'R')) return RefuseReadOnlyKey(doc, key);
    return false;
}
