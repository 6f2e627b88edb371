#include "identify/active_doc_window.h"

#include <string>

#include "host/process_context.h"
#include "identify/app_windows.h"
#include "identify/common_doc.h"
#include "store/zel_gatrel.h"
#include "support/ansi_text.h"

bool g_bKORBDocWndSet = false;

namespace {

HWND ToHwnd(uint32_t h) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(h)); }
uint32_t FromHwnd(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

// The PDF search keeps the main class it saw first: the detection runs once
// before any search, and a later change must not switch a running search.
const std::string& PdfMainClass() {
    static const std::string cls = GetProcessContext().strPdfWndClass;
    return cls;
}

HWND FindPdfDocWnd() {
    const std::string& main = PdfMainClass();
    if (text::EqualsNoCase(main.c_str(), "AdobeAcrobat"))
        return FindAppWindow("AdobeAcrobat", "MDIClient", "");
    if (main != kPdfPairClass) return FindAppWindow("AcrobatSDIWindow", "", "");
    if (FindWindowA("AcrobatSDIWindow", nullptr)) return FindAppWindow("AcrobatSDIWindow", "", "");
    return FindAppWindow("AdobeAcrobat", "MDIClient", "AcrobatMDIWindow");
}

HWND FindWordDocWnd() {
    CZELGatrel store;
    if (store.GetKORBInfo() == 1) {
        const std::string korb = store.GetKORBClassName();
        if (!korb.empty()) {
            if (HWND w = FindAppWindow(korb.c_str(), "", "")) return w;
        }
    }
    return FindAppWindow("OpusApp", "_WwF", "_WwB");
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
                return FindAncestorByClass(GetActiveWindow(),
                                           CZELGatrel().GetKORBClassName().c_str());
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
        HWND recorded = ToHwnd(ctx.hMDIClient);
        if (g_bKORBDocWndSet && IsWindowVisible(recorded)) return;
        const std::string cls = CZELGatrel().GetKORBClassName();
        if (cls.empty()) return;
        HWND w = FindAppWindow(cls.c_str(), "MDIClient", "");
        if (!w) return;
        if ((!g_bKORBDocWndSet && IsWindowVisible(w)) || !IsWindowVisible(recorded)) {
            ctx.hMDIClient = FromHwnd(w);
            g_bKORBDocWndSet = true;
        }
    } catch (...) {
    }
}
