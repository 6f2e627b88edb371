// Saving under another name: the dialog opens only when the document's rights
// grant everything; the presentation program's export to PDF is never offered.
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "identify/protect_paths.h"
#include "support/refusal_messages.h"

namespace {

// "另存 ADOBE PDF": the Chinese title of the export, whatever the code page of
// the process (the ANSI dialog's title is read in the process's code page).
constexpr const wchar_t kSaveAsPdfChinese[] = L"\u53E6\u5B58 ADOBE PDF";
constexpr const wchar_t kSaveAsPdf[] = L"SAVEAS ADOBE PDF";

enum class SaveDialog { Open, Refuse };

bool IsPdfExportTitle(const std::wstring& title) {
    const std::wstring upper = UpperCase(title);
    return upper.find(kSaveAsPdfChinese) != std::wstring::npos ||
           upper.find(kSaveAsPdf) != std::wstring::npos;
}

std::wstring WideTitle(const char* title) {
    const int n = MultiByteToWideChar(CP_ACP, 0, title, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, title, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return wide;
}

// titleOf(title) gives the dialog's title; false when it has none.
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
    std::wstring title;
    if (!titleOf(title)) return SaveDialog::Open;
    return IsPdfExportTitle(title) ? SaveDialog::Refuse : SaveDialog::Open;
}

}  // namespace

BOOL WINAPI Detour_GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return RunReplacement(
        HookId::kGetSaveFileNameW, Trampoline_GetSaveFileNameW,
        [&](contained::Frame& run) -> BOOL {
            if (!ofn) return intercept::CallReal(run, Trampoline_GetSaveFileNameW, ofn);
            const SaveDialog d = DecideSaveDialog([&](std::wstring& title) {
                const wchar_t* t = ofn->lpstrTitle;
                if (!intercept::IsName(t)) return false;
                title = t;
                return true;
            });
            // A refusal looks like a cancelled dialog.
            return d == SaveDialog::Refuse ? FALSE : intercept::CallReal(run, Trampoline_GetSaveFileNameW, ofn);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_GetSaveFileNameW, ofn); }, ofn);
}

BOOL WINAPI Detour_GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return RunReplacement(
        HookId::kGetSaveFileNameA, Trampoline_GetSaveFileNameA,
        [&](contained::Frame& run) -> BOOL {
            if (!ofn) return intercept::CallReal(run, Trampoline_GetSaveFileNameA, ofn);
            const SaveDialog d = DecideSaveDialog([&](std::wstring& title) {
                const char* t = ofn->lpstrTitle;
                if (!intercept::IsName(t)) return false;
                title = WideTitle(t);
                return true;
            });
            return d == SaveDialog::Refuse ? FALSE : intercept::CallReal(run, Trampoline_GetSaveFileNameA, ofn);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_GetSaveFileNameA, ofn); }, ofn);
}
