// The automation guard's drag-and-drop replacements: a drag runs with the
// document's drop source wrapped, and a protected document's window going
// away takes the protected clipboard content with it.
#include "guards/automation/automation_rules.h"
#include "guards/automation/zel_drop_source.h"
#include "host/process_context.h"
#include "identify/button_tracking.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/clipboard_state.h"
#include "store/shared_settings.h"
#include "support/log.h"

namespace {

HRESULT CancelDrag(DWORD* pdwEffect) {
    if (pdwEffect) *pdwEffect = DROPEFFECT_NONE;  // as a cancelled drag leaves it
    return DRAGDROP_S_CANCEL;
}

bool IsOfficeDoc(const CCommonDoc* doc) {
    return doc && (doc->nDocType == kDocWord || doc->nDocType == kDocExcel || doc->nDocType == kDocPowerPoint);
}

}  // namespace

HRESULT WINAPI Detour_DoDragDrop(LPDATAOBJECT pDataObj, LPDROPSOURCE pDropSource, DWORD dwOKEffects,
                                 LPDWORD pdwEffect) {
    return RunReplacement(
        HookId::kDoDragDrop, Trampoline_DoDragDrop,
        [&](contained::Frame& run) -> HRESULT {
            if (!pDataObj || !pDropSource)
                return intercept::CallReal(run, Trampoline_DoDragDrop, pDataObj, pDropSource, dwOKEffects, pdwEffect);
            const ButtonTracks t = CurrentButtonTracks();
            // A drag of this press has already left a protected document.
            if (t.left.blocked || t.right.blocked) return CancelDrag(pdwEffect);
            // Inside a document application a drag starts from a press the
            // message hook saw.
            if (DocObject() && !t.left.downWnd && !t.right.downWnd) return CancelDrag(pdwEffect);
            const HWND docWnd = t.left.docWnd ? t.left.docWnd : t.right.docWnd;
            const int flag = GetDocDropFlag(docWnd);
            // Only an Alt+Tab made during this drag ends it.
            if (store::GetAltTabFlag()) store::SetAltTabFlag(0);
            CZelDropSource source(pDropSource, t.left.downWnd, t.right.downWnd, docWnd, flag);
            return intercept::CallReal(run, Trampoline_DoDragDrop, pDataObj, static_cast<IDropSource*>(&source),
                                       dwOKEffects, pdwEffect);
        },
        [&]() -> HRESULT {
            // Undecided: no drag out of a document application.
            if (DocObject()) return DRAGDROP_S_CANCEL;
            return intercept::CallReal(Trampoline_DoDragDrop, pDataObj, pDropSource, dwOKEffects, pdwEffect);
        },
        pDataObj, pDropSource, dwOKEffects, pdwEffect);
}

HRESULT WINAPI Detour_RevokeDragDrop(HWND hwnd) {
    return RunReplacement(
        HookId::kRevokeDragDrop, Trampoline_RevokeDragDrop,
        [&](contained::Frame& run) -> HRESULT {
            CCommonDoc* doc = DocObject();
            _ZEL_HOOK_INFO_ rec{};
            if (hwnd && IsOfficeDoc(doc) && store::GetProtectedContent() && doc->IsLimitedZelDoc(rec)) {
                const HWND docWnd = DocWndOf(rec);
                // The protected document's window is being torn down: its
                // content must not outlive it on the clipboard. Both calls
                // pass through the clipboard guard, which drops the
                // withheld data too.
                if (docWnd && (hwnd == docWnd || IsChild(docWnd, hwnd))) {
                    if (OpenClipboard(nullptr)) {
                        EmptyClipboard();
                        CloseClipboard();
                    } else if (OpenClipboard(GetOpenClipboardWindow())) {
                        LogError("In Detour_RevokeDragDrop ::OpenClipboard(NULL) Error");
                        EmptyClipboard();
                        CloseClipboard();
                    } else {
                        LogError("In Detour_RevokeDragDrop ::OpenClipboard(::GetOpenClipboardWindow()) Error");
                    }
                }
            }
            return intercept::CallReal(run, Trampoline_RevokeDragDrop, hwnd);
        },
        [&]() -> HRESULT { return intercept::CallReal(Trampoline_RevokeDragDrop, hwnd); }, hwnd);
}
