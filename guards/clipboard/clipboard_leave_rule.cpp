#include "guards/clipboard/clipboard_leave_rule.h"

#include "guards/clipboard/clipboard_detours.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/zel_gatrel.h"

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
    CZELGatrel store;
    if (!store.GetProtectedContent()) return;
    // Typing and clicking inside the owning document is the common case and
    // needs no look-up of the document in front (which costs several window
    // manager round trips): a key goes to the focus inside the active window,
    // a click activates what it hits.
    HWND ownerWnd;
    DWORD ownerPid;
    store.GetClipOwner(ownerWnd, ownerPid);
    if (ownerPid == GetCurrentProcessId() && ownerWnd && msg.hwnd &&
        (msg.hwnd == ownerWnd || IsChild(ownerWnd, msg.hwnd)))
        return;
    _ZEL_HOOK_INFO_ rec{};
    const bool inOwner =
        doc->IsZelDoc(rec) && rec.hDocWnd != 0 &&
        store.IsClipOwner(reinterpret_cast<HWND>(static_cast<uintptr_t>(rec.hDocWnd)),
                          rec.dwProcessId);
    if (!inOwner) DelClipboardData();
}
