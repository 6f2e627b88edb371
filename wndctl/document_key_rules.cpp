#include "wndctl/document_key_rules.h"

#include "identify/common_doc.h"
#include "identify/window_rules.h"
#include "store/hook_records.h"
#include "wndctl/read_only_keys.h"
#include "wndctl/window_texts.h"

namespace {

enum class Outcome { kRefuse, kPass, kNext };

// The protected document without "A" that the key is typed into, with its
// record. A key goes to the focus inside the active window: when that window
// lies in a registered document window of this process, that is the document
// in front, found without the window search of the document object (every
// key of the user passes here). A KORB record is left to the document object,
// which applies the client's own rules to it.
bool LimitedDocumentOfKey(const MSG& msg, CCommonDoc& doc, _ZEL_HOOK_INFO_& rec) {
    if (msg.hwnd && store::GetHookInfoByWndOrChild(msg.hwnd, &rec) >= 0 &&
        rec.dwProcessId == GetCurrentProcessId() && rec.byDocType != kDocKORB)
        return !HasPermission(rec, 'A');
    rec = _ZEL_HOOK_INFO_{};
    return doc.IsLimitedZelDoc(rec);
}

// Enter in a window whose parent is a save or print-to-file dialog.
bool EnterInSaveDialog(const MSG& msg, WPARAM key) {
    if (key != VK_RETURN) return false;
    HWND parent = GetParent(msg.hwnd);
    return parent && IsSaveDlgTitle(wndctl::UpperWindowText(parent).c_str());
}

// Ctrl+P and Ctrl+Shift+F12 print. In the office applications Ctrl+Shift+P
// is a formatting key: it is left to the read-only rule.
Outcome PrintKeys(const CCommonDoc& doc, const _ZEL_HOOK_INFO_& rec, WPARAM key, wndctl::KeyStates& keys) {
    const bool ctrl = keys.Down(VK_CONTROL), shift = keys.Down(VK_SHIFT);
    if (HasPermission(rec, 'P')) {
        if (ctrl && key == 'P') return Outcome::kPass;
        if (shift && ctrl && keys.Down(VK_F12)) return Outcome::kPass;
        return Outcome::kNext;
    }
    if (shift && ctrl && key == 'P') return doc.nDocType == kDocPdf ? Outcome::kRefuse : Outcome::kNext;
    if (ctrl && keys.Down('P')) return Outcome::kRefuse;
    if (shift && ctrl && keys.Down(VK_F12)) return Outcome::kRefuse;
    return Outcome::kNext;
}

}  // namespace

bool RefuseDocumentKey(const MSG& msg, CCommonDoc& doc, wndctl::KeyStates& keys) {
    if (!wndctl::IsKeyMessage(msg.message)) return false;
    _ZEL_HOOK_INFO_ rec{};
    if (!LimitedDocumentOfKey(msg, doc, rec)) return false;
    const WPARAM key = msg.wParam;
    if (EnterInSaveDialog(msg, key)) return true;
    // Alt+F8 (macros) and Alt+F11 (the macro editor).
    if (keys.Down(VK_MENU) && (key == VK_F8 || key == VK_F11)) return true;
    switch (PrintKeys(doc, rec, key, keys)) {
        case Outcome::kRefuse: return true;
        case Outcome::kPass: return false;
        case Outcome::kNext: break;
    }
    // F12 is the spreadsheet's "save as".
    if (HasPermission(rec, 'W') && doc.nDocType == kDocExcel && keys.Down(VK_F12)) return true;
    if (HasPermission(rec, 'R')) return RefuseReadOnlyKey(doc, key, keys);
    return false;
}
