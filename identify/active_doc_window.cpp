#include "identify/active_doc_window.h"

#include <string>

#include "host/process_context.h"
#include "identify/app_windows.h"
#include "identify/common_doc.h"
#include "store/shared_settings.h"
#include "support/ansi_text.h"
#include "support/process_lifetime.h"

bool g_bKORBDocWndSet = false;

namespace {

// The PDF search keeps the main class it saw first: the detection runs once
// before any search, and a later change must not switch a running search.
const std::string& PdfMainClass() {
    static ProcessLifetime<std::string> cls(GetProcessContext().strPdfWndClass);
    return *cls;
}

HWND FindPdfDocWnd() {
    const std::string& main = PdfMainClass();
    if (text::EqualsNoCase(main.c_str(), "AdobeAcrobat"))
        return FindAppWindow("AdobeAcrobat", "MDIClient", "");
    if (main != kPdfPairClass) return FindAppWindow("AcrobatSDIWindow", "", "");
    // The layout is this application's: a reader of the other layout on the
    // same desktop says nothing about it.
    if (FindOwnTopLevel("AcrobatSDIWindow")) return FindAppWindow("AcrobatSDIWindow", "", "");
    return FindAppWindow("AdobeAcrobat", "MDIClient", "AcrobatMDIWindow");
}

// The KORB client is known only by its class name: without one there is no
// KORB window to look for, in any of the searches.
HWND FindWordDocWnd() {
    if (store::GetKORBInfo() == 1) {
        const std::string korb = store::GetKORBClassName();
        if (!korb.empty()) {
            if (HWND w = FindAppWindow(korb.c_str(), "", "")) return w;
        }
    }
    return FindAppWindow("OpusApp", "_WwF", "_WwB");
}

HWND FindKORBDocWnd() {
    const std::string korb = store::GetKORBClassName();
    if (korb.empty()) return nullptr;
    return FindAncestorByClass(GetActiveWindow(), korb.c_str());
}

}  // namespace

HWND FindActiveDocWnd() {
    try {
        CCommonDoc* doc = DocObject();
        if (!doc) return nullptr;
        switch (doc->nDocType) {
            case kDocWord:
                return FindWordDocWnd();
            case kDocExcel:
                return FindAppWindow("XLMAIN", "XLDESK", "EXCEL7");
            case kDocPowerPoint:
                return doc->IsVersion12() ? FindAppWindow("PP12FrameClass", "MDIClient", "mdiClass")
                                          : FindAppWindow("PP11FrameClass", "MDIClient", "mdiClass");
            case kDocPdf:
                return FindPdfDocWnd();
            case kDocKORB:
                return FindKORBDocWnd();
            default:
                return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

void UpdateKORBDocWnd() {
    try {
        ProcessContext& ctx = GetProcessContext();
        HWND recorded = WindowOf(ctx.hMDIClient);
        if (g_bKORBDocWndSet && IsWindowVisible(recorded)) return;
        const std::string cls = store::GetKORBClassName();
        if (cls.empty()) return;
        HWND w = FindAppWindow(cls.c_str(), "MDIClient", "");
        if (!w) return;
        if ((!g_bKORBDocWndSet && IsWindowVisible(w)) || !IsWindowVisible(recorded)) {
            ctx.hMDIClient = HandleWord(w);
            g_bKORBDocWndSet = true;
        }
    } catch (...) {
    }
}
