#include "wndctl/creation_rules.h"

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "wndctl/pdf_print_texts.h"
#include "wndctl/print_window_followup.h"
#include "wndctl/window_texts.h"

namespace {

const char* const kPrintWindow[] = {
    "\xB4\xF2\xD3\xA1",  // "print"
    "PRINT",
    nullptr,
};

const char* const kChartErrors[] = {
    // "This object was created in MSGraph"
    "\xB4\xCB\xB6\xD4\xCF\xF3\xB4\xB4\xBD\xA8\xD3\xDA MSGraph \xD6\xD0",
    // "The server application, source file, or item can't be found, ..."
    "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD \xB7\xFE\xCE\xF1\xC6\xF7\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2\xA1\xA2"
    "\xD4\xB4\xCE\xC4\xBC\xFE\xA1\xA2\xBA\xCD\xCF\xEE\xC4\xBF\xA3\xAC\xBB\xF2\xB7\xB5\xBB\xD8\xB5\xC4"
    "\xCE\xB4\xD6\xAA\xB4\xED\xCE\xF3",
    // "Microsoft Office Word can't start the application required to open this object"
    "Microsoft Office Word \xCE\xDE\xB7\xA8\xBF\xAA\xCA\xBC\xD4\xCB\xD0\xD0\xB4\xF2\xBF\xAA\xB4\xCB"
    "\xC4\xBF\xB1\xEA\xCB\xF9\xD0\xE8\xB5\xC4\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2",
    // "Some chart types cannot be combined with other chart types. ..."
    "\xB2\xBF\xB7\xD6\xCD\xBC\xB1\xED\xC0\xE0\xD0\xCD\xB2\xBB\xC4\xDC\xD3\xEB\xC6\xE4\xCB\xFB\xCD\xBC"
    "\xB1\xED\xC0\xE0\xD0\xCD\xD7\xE9\xBA\xCF\xA1\xA3\xC7\xEB\xD1\xA1\xD4\xF1\xC6\xE4\xCB\xFB\xCD\xBC"
    "\xB1\xED\xC0\xE0\xD0\xCD",
    "This object was created in MSGraph",
    "The server application, source file, or item can't be found, or returned an unknown error",
    "Microsoft Office Word can't start the application required to open this object",
    nullptr,
};

// Zero size and position: the control exists, as the dialog expects, but
// cannot be seen or clicked.
void Hide(CREATESTRUCTA& cs) { cs.cy = cs.cx = cs.y = cs.x = 0; }

enum class PdfName { kNone, kPrintToFile, kPrintWindow, kAdvanced };

PdfName PdfNameOf(const char* name) {
    const std::string n = name;
    if (wndctl::ContainsAny(n, wndctl::kPrintToFileName)) return PdfName::kPrintToFile;
    if (wndctl::EqualsAnyNoCase(n, kPrintWindow)) return PdfName::kPrintWindow;
    if (wndctl::EqualsAnyNoCase(n, wndctl::kAdvancedButton)) return PdfName::kAdvanced;
    return PdfName::kNone;
}

}  // namespace

void ApplyPdfPrintCreationRule(HWND w, CREATESTRUCTA& cs, const char* name, CCommonDoc& doc) {
    if (doc.nDocType != kDocPdf) return;
    // Names first: every window the application creates passes here, and
    // only these three concern the rule.
    const PdfName what = PdfNameOf(name);
    if (what == PdfName::kNone) return;
    _ZEL_HOOK_INFO_ rec{};
    if (!doc.IsZelDoc(rec)) return;
    switch (what) {
        case PdfName::kPrintToFile:
            if (!HasPermission(rec, 'A')) Hide(cs);
            return;
        case PdfName::kPrintWindow:
            if (!(cs.style & WS_CHILD)) NotePrintWindowCreated(w);
            return;
        case PdfName::kAdvanced:
            Hide(cs);
            return;
        case PdfName::kNone:
            return;
    }
}

CreationVerdict ApplyChartErrorRule(const char* name, const CCommonDoc& doc) {
    if (doc.nDocType != kDocWord && doc.nDocType != kDocPowerPoint) return CreationVerdict::kPass;
    if (g_nGraphErrorBoxes <= 0 || !wndctl::BeginsWithAny(name, kChartErrors)) return CreationVerdict::kPass;
    // Counted down once per refused window, also by two threads at once.
    for (LONG n = g_nGraphErrorBoxes; n > 0; n = g_nGraphErrorBoxes)
        if (InterlockedCompareExchange(&g_nGraphErrorBoxes, n - 1, n) == n) return CreationVerdict::kRefuse;
    return CreationVerdict::kPass;
}
