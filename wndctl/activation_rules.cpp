#include "wndctl/activation_rules.h"

#include "identify/common_doc.h"
#include "identify/window_rules.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "wndctl/cancel_buttons.h"
#include "wndctl/document_folder.h"
#include "wndctl/posted_input.h"
#include "wndctl/print_dialog_controls.h"
#include "wndctl/print_window_followup.h"
#include "wndctl/window_texts.h"

namespace {

// The applications' own main and document windows: never touched.
const char* const kAppWndClassTable[] = {
    "OpusApp", "_Wwb", "_WwF", "XLMAIN", "EXCEL7", "AcrobatSDIWindow", "AdobeAcrobat",
    "AcrobatMDIChildWnd", "PP11FrameClass", "PP12FrameClass", "mdiclass", nullptr,
};

enum Apps : unsigned {
    kAnyApp = ~0u,
    kWordApp = 1u << kDocWord,
    kExcelApp = 1u << kDocExcel,
    kOfficeApps = (1u << kDocWord) | (1u << kDocExcel) | (1u << kDocPowerPoint),
    kPdfApp = 1u << kDocPdf,
};

enum class TitleTest {
    kSaveTitle,       // IsSaveDlgTitle
    kContains,        // contains one of the titles (case-sensitive)
    kEquals,          // is one of the titles, without regard to case
    kDocumentFolder,  // is the protected document's folder, without regard to case
};

enum class Action {
    kClose,             // posts WM_CLOSE
    kPrintDialog,       // unchecks print-to-file (keeps it out of reach without "A"); the first time, Alt+D
    kPrintAsImage,      // the advanced setup gets print-as-image and OK
    kCloseAndCancel,    // posts WM_CLOSE, then clicks the panes' cancel buttons
    kCloseFolder,       // logs the title, posts WM_CLOSE
};

struct ActivationRule {
    unsigned apps;
    const char* const* classes;  // the class contains one of them; null: any class
    bool withoutAllRights;       // only when the document lacks "A"
    TitleTest test;
    const char* const* titles;
    Action action;
};

const char* const kDialogClasses[] = {"bosa_sdm", "#32770", nullptr};

const char* const kLocationUnavailable[] = {
    "\xCE\xBB\xD6\xC3\xB2\xBB\xBF\xC9\xD3\xC3",  // "location is not available"
    "LOCATION IS NOT AVAILABLE", nullptr,
};
const char* const kMacroDialogs[] = {
    "\xC2\xBC\xD6\xC6\xD0\xC2\xBA\xEA",  // "record new macro"
    "\xC2\xBC\xD6\xC6\xBA\xEA",          // "record macro"
    "RECORD MACRO",
    "\xD6\xB8\xB6\xA8\xBA\xEA",          // "assign macro"
    "ASSIGN MACRO", nullptr,
};
const char* const kAutoCorrect[] = {
    "\xD7\xD4\xB6\xAF\xB8\xFC\xD5\xFD",      // "autocorrect"
    "AUTOCORRECT",
    "\xD7\xD4\xB6\xAF\xCD\xBC\xCE\xC4\xBC\xAF",  // "autotext"
    "CREATE AUTOTEXT", nullptr,
};
const char* const kWordDialogs[] = {
    "\xC4\xA3\xB0\xE5\xBA\xCD\xBC\xD3\xD4\xD8\xCF\xEE",  // "templates and add-ins"
    "TEMPLATES AND ADD-INS",
    "\xB1\xC8\xBD\xCF\xB2\xA2\xBA\xCF\xB2\xA2\xCE\xC4\xB5\xB5",  // "compare and merge documents"
    "COMPARE AND MERGE DOCUMENTS",
    "\xD7\xD4\xB6\xAF\xB1\xE0\xD0\xB4\xD5\xAA\xD2\xAA",  // "autosummarize"
    "AUTOSUMMARIZE",
    "\xB5\xE7\xD7\xD3\xD3\xCA\xBC\xFE\xD1\xA1\xCF\xEE",  // "e-mail options"
    "E-MAIL OPTIONS", nullptr,
};
const char* const kSpreadsheetDialogs[] = {
    "\xD2\xC6\xB6\xAF\xBB\xF2\xB8\xB4\xD6\xC6\xB9\xA4\xD7\xF7\xB1\xED",  // "move or copy sheet"
    "MOVE OR COPY",
    "\xBC\xD3\xD4\xD8\xBA\xEA",  // "add-ins"
    "ADD-INS", nullptr,
};
const char* const kImportCustomLists[] = {
    "\xB5\xBC\xC8\xEB\xD7\xD4\xB6\xA8\xD2\xE5\xD0\xF2\xC1\xD0",  // "import custom lists"
    "IMPORT CUSTOM LISTS", nullptr,
};
const char* const kPrintDialog[] = {"\xB4\xF2\xD3\xA1" /* "print" */, "Print", nullptr};
const char* const kAdvancedPrintSetup[] = {
    "\xB8\xDF\xBC\xB6\xB4\xF2\xD3\xA1\xC9\xE8\xD6\xC3",  // "advanced print setup"
    "Advanced Print Setup", nullptr,
};
const char* const kOnlineDialogs[] = {
    "ACROBAT.COM",
    "\xB5\xC7\xC2\xBC",  // "log in"
    "LOG IN", "SIGN IN", "START MEETING", nullptr,
};

// In order; the first rule whose conditions hold acts.
const ActivationRule kRules[] = {
    {kAnyApp, nullptr, true, TitleTest::kSaveTitle, nullptr, Action::kClose},
    // The system's "Location is not available" box.
    {kOfficeApps, nullptr, false, TitleTest::kContains, kLocationUnavailable, Action::kClose},
    {kAnyApp, nullptr, false, TitleTest::kContains, kMacroDialogs, Action::kClose},
    {kAnyApp, kDialogClasses, true, TitleTest::kContains, kAutoCorrect, Action::kClose},
    {kWordApp, kDialogClasses, true, TitleTest::kContains, kWordDialogs, Action::kClose},
    {kExcelApp, nullptr, true, TitleTest::kContains, kSpreadsheetDialogs, Action::kClose},
    {kAnyApp, nullptr, false, TitleTest::kContains, kImportCustomLists, Action::kClose},
    {kPdfApp, nullptr, false, TitleTest::kEquals, kPrintDialog, Action::kPrintDialog},
    {kPdfApp, nullptr, false, TitleTest::kEquals, kAdvancedPrintSetup, Action::kPrintAsImage},
    {kPdfApp, nullptr, false, TitleTest::kContains, kOnlineDialogs, Action::kCloseAndCancel},
    // A window showing the folder that holds the protected copy.
    {kOfficeApps, nullptr, false, TitleTest::kDocumentFolder, nullptr, Action::kCloseFolder},
};

struct Activated {
    HWND w;
    std::string cls;
    std::string title;  // upper-cased
    const CCommonDoc& doc;
    const _ZEL_HOOK_INFO_& rec;
};

bool TitleHolds(const ActivationRule& rule, const Activated& a) {
    switch (rule.test) {
        case TitleTest::kSaveTitle: return IsSaveDlgTitle(a.title.c_str());
        case TitleTest::kContains: return wndctl::ContainsAny(a.title, rule.titles);
        case TitleTest::kEquals: return wndctl::EqualsAnyNoCase(a.title, rule.titles);
        case TitleTest::kDocumentFolder: {
            const std::string folder = DocumentFolder(a.rec);
            return !folder.empty() && text::EqualsNoCase(a.title, folder);
        }
    }
    return false;
}

bool Holds(const ActivationRule& rule, const Activated& a) {
    if (!(rule.apps & (1u << (a.doc.nDocType & 31)))) return false;
    if (rule.classes && !wndctl::ContainsAny(a.cls, rule.classes)) return false;
    if (rule.withoutAllRights && HasPermission(a.rec, 'A')) return false;
    return TitleHolds(rule, a);
}

void Act(Action action, const Activated& a) {
    switch (action) {
        case Action::kClose:
            return wndctl::PostClose(a.w);
        case Action::kPrintDialog:
            UncheckPrintToFile(a.w);
            if (!HasPermission(a.rec, 'A')) KeepPrintToFileOutOfReach(a.w);
            return FollowUpPrintWindow(a.w);
        case Action::kPrintAsImage:
            return StartForcePrintAsImage(a.w);
        case Action::kCloseAndCancel:
            wndctl::PostClose(a.w);
            return ClickCancelButtons(a.w);
        case Action::kCloseFolder:
            LogError("Close Windows.strTitle=%s", a.title.c_str());
            return wndctl::PostClose(a.w);
    }
}

}  // namespace

void ApplyActivationRules(HWND w, CCommonDoc& doc) {
    // The window's own facts first: they cost no look-up of the document.
    const std::string cls = wndctl::ClassNameOf(w);
    if (cls.empty() || wndctl::EqualsAnyNoCase(cls, kAppWndClassTable)) return;
    const std::string title = wndctl::UpperWindowText(w);
    if (title.empty()) return;
    _ZEL_HOOK_INFO_ rec{};
    if (!doc.IsZelDoc(rec)) return;
    const Activated a{w, cls, title, doc, rec};
    for (const ActivationRule& rule : kRules)
        if (Holds(rule, a)) return Act(rule.action, a);
}
