// Saving under another name: the dialog opens only when the document's rights
// grant everything; the presentation program's export to PDF is never offered.
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/refusal_messages.h"
#include "support/wide_text.h"

namespace {

// "另存 ADOBE PDF" in code page 936: the Chinese title of the export.
constexpr const char kSaveAsPdfGbk[] = "\xC1\xED\xB4\xE6 ADOBE PDF";
constexpr const char kSaveAsPdf[] = "SAVEAS ADOBE PDF";

enum class SaveDialog { Open, Refuse };

bool IsPdfExportTitle(std::string title) {
    title = text::ToUpper(std::move(title));
    return text::Contains(title, kSaveAsPdfGbk) || text::Contains(title, kSaveAsPdf);
}

// title: the dialog's title in the ANSI code page; null when it has none.
template <class TitleOf>
SaveDialog DecideSaveDialog(TitleOf titleOf) {
    const intercept::LastErrorKeeper keep;
    CCommonDoc* doc = DocObject();
    _ZEL_HOOK_INFO_ rec{};
    if (!doc || !doc->IsZelDoc(rec)) return SaveDialog::Open;
    if (!HasPermission(rec, 'A')) {
        StartMessageThread(ShowSaveAsMsg, DocWndOf(rec));
        return SaveDialog::Refuse;
    }
    if (doc->nDocType != kDocPowerPoint) return SaveDialog::Open;
    std::string title;
    if (!titleOf(title)) return SaveDialog::Open;
    return IsPdfExportTitle(std::move(title)) ? SaveDialog::Refuse : SaveDialog::Open;
}

}  // namespace

BOOL WINAPI Detour_GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return RunReplacement(
        HookId::kGetSaveFileNameW, Trampoline_GetSaveFileNameW,
        [&]() -> BOOL {
            if (!ofn) return intercept::CallReal(Trampoline_GetSaveFileNameW, ofn);
            const SaveDialog d = DecideSaveDialog([&](std::string& title) {
                const wchar_t* t = ofn->lpstrTitle;
                if (!intercept::IsName(t)) return false;
                title = text::WideToAnsi(t);
                return true;
            });
            // A refusal looks like a cancelled dialog.
            return d == SaveDialog::Refuse ? FALSE : intercept::CallReal(Trampoline_GetSaveFileNameW, ofn);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_GetSaveFileNameW, ofn); }, ofn);
}

BOOL WINAPI Detour_GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return RunReplacement(
        HookId::kGetSaveFileNameA, Trampoline_GetSaveFileNameA,
        [&]() -> BOOL {
            if (!ofn) return intercept::CallReal(Trampoline_GetSaveFileNameA, ofn);
            const SaveDialog d = DecideSaveDialog([&](std::string& title) {
                const char* t = ofn->lpstrTitle;
                if (!intercept::IsName(t)) return false;
                title = t;
                return true;
            });
            return d == SaveDialog::Refuse ? FALSE : intercept::CallReal(Trampoline_GetSaveFileNameA, ofn);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_GetSaveFileNameA, ofn); }, ofn);
}
