#include "wndctl/read_only_keys.h"

#include "identify/common_doc.h"
#include "identify/window_rules.h"
#include "wndctl/window_texts.h"

bool IsReadOnlyKeyAllowed(const CCommonDoc& doc, WPARAM key, wndctl::KeyStates& keys) {
    switch (key) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END:
        case VK_ESCAPE:
            return true;
        case 'F': case 'A':
            return keys.Down(VK_CONTROL);
        case VK_F4:
            return keys.Down(VK_MENU);
        case VK_F5:
            return doc.nDocType == kDocPowerPoint;
        case VK_F1:
            return (doc.nDocType == kDocWord || doc.nDocType == kDocExcel ||
                    doc.nDocType == kDocPowerPoint) && doc.IsVersion12();
        default:
            return false;
    }
}

bool RefuseReadOnlyKey(const CCommonDoc& doc, WPARAM key, wndctl::KeyStates& keys) {
    const bool ctrl = keys.Down(VK_CONTROL);
    if (doc.nDocType == kDocPdf) {
        // The reader's only shortcut left is Find.
        if (!ctrl) return false;
        return key != 'F';
    }
    // The applications' own dialogs (find, go to, options) take typing.
    if (IsDialogClass(wndctl::ClassNameOf(GetActiveWindow()).c_str())) return false;
    if (IsReadOnlyKeyAllowed(doc, key, keys)) return false;
    // Ctrl+Shift combinations pass, except with O.
    if (keys.Down(VK_SHIFT) && ctrl && key != 'O') return false;
    return true;
}
