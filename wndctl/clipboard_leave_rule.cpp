#include "wndctl/clipboard_leave_rule.h"

#include "guards/clipboard/clipboard_detours.h"
#include "guards/clipboard/clipboard_memory.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/clipboard_state.h"
#include "store/hook_records.h"

namespace {

// Typing and clicking inside the owning document is the common case and needs
// no look-up of the document in front (which costs several window-manager
// round trips): a key goes to the focus inside the active window, a click
// activates what it hits. The shortcut holds only while the store still has
// that document's record for the owner: a record the controller deleted or
// moved since must take the full rule.
bool InsideOwningDocument(const MSG& msg) {
    HWND ownerWnd;
    DWORD ownerPid;
    store::GetClipOwner(ownerWnd, ownerPid);
    if (ownerPid != GetCurrentProcessId() || !ownerWnd || !msg.hwnd) return false;
    if (msg.hwnd != ownerWnd && !IsChild(ownerWnd, msg.hwnd)) return false;
    _ZEL_HOOK_INFO_ rec;
    return store::GetHookInfoByWnd(ownerWnd, &rec) >= 0 && rec.dwProcessId == ownerPid;
}

}  // namespace

void DropClipboardIfOwnerLeft(const MSG& msg) {
    // Every message of every hooked thread passes here: the cheapest tests first.
    if (msg.message != WM_LBUTTONDOWN && msg.message != WM_LBUTTONDBLCLK &&
        msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return;
    CCommonDoc* doc = DocObject();
    if (!doc) return;
    if (doc->nDocType != kDocWord && doc->nDocType != kDocExcel &&
        doc->nDocType != kDocPowerPoint)
        return;
    if (!store::GetProtectedContent()) return;
    if (InsideOwningDocument(msg)) return;
    _ZEL_HOOK_INFO_ rec{};
    const bool inOwner = doc->IsZelDoc(rec) && rec.hDocWnd != 0 &&
                         store::IsClipOwner(DocWndOf(rec), rec.dwProcessId);
    if (!inOwner) DelClipboardData();
}
