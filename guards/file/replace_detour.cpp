// The application's last save step: the document file is replaced by the one
// just written. Inside the protected area the replace is completed by copying,
// or, for a document in the protected temporary area, retried and reported to
// the Ostrum process.
#include <cwchar>

#include "guards/file/message_wait.h"
#include "guards/file/ostrum_handshake.h"
#include "guards/file/redirected_call.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/protect_paths.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "support/wide_text.h"

namespace {

constexpr int kReplaceRetries = 200;
constexpr DWORD kReplaceRetryPauseMs = 100;

// The replaced file is already gone or renamed: the caller must recover the
// replacement, and another attempt could only hide that.
bool IsFinalReplaceError(DWORD error) {
    return error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
}

// The names the replace works on: each the one the application's call
// reaches (a working file's redirected name, or its own), decided once.
struct ReplaceCall {
    LPCWSTR replaced, replacement, backup;
    DWORD flags;
    LPVOID exclude, reserved;
    // The other file written as the replacement, which goes once the replace
    // has succeeded; null when there is none.
    LPCWSTR older = nullptr;
    BOOL operator()() const {
        const BOOL ok = intercept::CallReal(Trampoline_ReplaceFileW, replaced, replacement, backup, flags,
                                            exclude, reserved);
        if (ok && older) {
            const intercept::LastErrorKeeper keep;
            intercept::CallReal(Trampoline_DeleteFileW, older);
        }
        return ok;
    }
};

std::wstring UpperFullName(const wchar_t* name) {
    AppName app;
    return ReadAppName(name, app) ? app.upper : UpperCase(name);
}

std::string Narrow(const std::wstring& text) { return text::WideToAnsi(text); }

// The name a call of the application on path reaches.
const wchar_t* Reached(const WorkingName& w, const wchar_t* path) {
    return w.redirected.empty() ? path : ReachedName(w, path);
}

// The file the application wrote as its replacement: the one under the
// redirected name, or, when its own name holds one too, the newer of the two
// (the choice is logged; the older goes once the replace has succeeded). The
// replace takes it from where it lies, so the written copy of a protected
// document never comes out into the user's folder, whether the replace
// succeeds or fails.
void ChooseWrittenReplacement(const WorkingName& w, ReplaceCall& replace) {
    FILETIME inArea, own;
    if (w.redirected.empty() || !LastWriteTime(w.redirected.c_str(), inArea)) return;
    if (!LastWriteTime(replace.replacement, own)) {
        replace.replacement = w.redirected.c_str();
        return;
    }
    const bool ownIsNewer = CompareFileTime(&own, &inArea) > 0;
    LogError("[Detour_ReplaceFileW]: the replacement was written as %s and as %s; the newer is used: %s",
             Narrow(w.redirected).c_str(), Narrow(w.app.full).c_str(),
             ownIsNewer ? Narrow(w.app.full).c_str() : Narrow(w.redirected).c_str());
    replace.older = ownIsNewer ? w.redirected.c_str() : replace.replacement;
    if (!ownIsNewer) replace.replacement = w.redirected.c_str();
}

BOOL ReplaceWithRetries(const ReplaceCall& replace) {
    BOOL r = replace();
    for (int n = 1; !r && n <= kReplaceRetries && !IsFinalReplaceError(GetLastError()); ++n) {
        LogError("[Detour_ReplaceFileW]: Trampoline_ReplaceFileW Failed,try again %d!", n);
        {
            const intercept::LastErrorKeeper keep;
            intercept::Unmarked([] { return WaitHandlingSentMessages(nullptr, kReplaceRetryPauseMs); });
        }
        r = replace();
    }
    return r;
}

// The replace completed by copying, in the client's folders: the replacement
// is copied beside the document first and then moved over it, so a copy that
// fails part-way leaves the document whole; a backup asked for is a copy of
// the document as it was. The replacement stays.
BOOL CopyOverReplaced(const ReplaceCall& replace) {
    // A name of its own beside the document: process ids come round again,
    // and a copy left by an ended process is never written over.
    static volatile LONG made = 0;
    std::wstring beside;
    for (int tries = 0;; ++tries) {
        wchar_t suffix[48];
        swprintf(suffix, 48, L".%lu-%ld.NEW", GetCurrentProcessId(), InterlockedIncrement(&made));
        beside = std::wstring(replace.replaced) + suffix;
        if (intercept::CallReal(Trampoline_CopyFileExW, replace.replacement, beside.c_str(), nullptr, nullptr,
                                nullptr, COPY_FILE_FAIL_IF_EXISTS))
            break;
        if (GetLastError() != ERROR_FILE_EXISTS || tries == 15) return FALSE;
    }
    const SettledNames settled(beside.c_str());
    BOOL ok = TRUE;
    if (intercept::IsName(replace.backup) && FileExists(replace.replaced))
        ok = intercept::CallReal(Trampoline_CopyFileExW, replace.replaced, replace.backup, nullptr, nullptr,
                                 nullptr, 0);
    if (ok)
        ok = intercept::CallReal(
            Trampoline_MoveFileExW, beside.c_str(), replace.replaced,
            MOVEFILE_REPLACE_EXISTING |
                ((replace.flags & REPLACEFILE_WRITE_THROUGH) ? MOVEFILE_WRITE_THROUGH : 0));
    if (ok) return TRUE;
    const intercept::LastErrorKeeper keep;
    intercept::CallReal(Trampoline_DeleteFileW, beside.c_str());
    return FALSE;
}

BOOL GuardedReplaceFile(const ReplaceCall& asked) {
    if (!intercept::IsName(asked.replaced) || !intercept::IsName(asked.replacement)) return asked();
    const WorkingName replaced = DecideWorkingName(asked.replaced),
                      replacement = DecideWorkingName(asked.replacement),
                      backup = DecideWorkingName(asked.backup);
    ReplaceCall replace = asked;
    {
        const intercept::LastErrorKeeper keep;
        replace.replaced = Reached(replaced, asked.replaced);
        if (intercept::IsName(asked.backup)) replace.backup = Reached(backup, asked.backup);
        ChooseWrittenReplacement(replacement, replace);
    }
    // Decided here once: the moves the system makes inside meet these names.
    const SettledNames settled(replace.replaced, replace.replacement, replace.backup);
    if (replace.replacement != asked.replacement) {
        if (replace()) return TRUE;
        if (IsFinalReplaceError(GetLastError())) return FALSE;
    }
    CCommonDoc* doc = DocObject();
    ProtectedFolders area;
    std::wstring r1, r2;
    {
        const intercept::LastErrorKeeper keep;
        area = ProtectedArea();
        r1 = UpperFullName(asked.replaced);
        r2 = UpperFullName(asked.replacement);
    }
    if (doc && doc->nDocType != kDocPowerPoint) {
        {
            const intercept::LastErrorKeeper keep;
            LogError("[Detour_ReplaceFileW]:ReplacedFileName%s", Narrow(r1).c_str());
            LogError("[Detour_ReplaceFileW]:ReplacementFileName%s", Narrow(r2).c_str());
        }
        if (LiesIn(r1, area.fileTemp) && LiesIn(r2, area.fileTemp)) {
            const std::wstring folder = SaveFolderOf(r1);
            const BOOL r = ReplaceWithRetries(replace);
            if (r && !folder.empty()) {
                const intercept::LastErrorKeeper keep;
                ReportSaveToOstrum(folder);
            }
            return r;
        }
    }
    if (IsProcessDocType(kDocWord)) return replace();
    if (LiesIn(r1, area.fileTemp) || LiesIn(r1, area.clientDoc)) return CopyOverReplaced(replace);
    return replace();
}

}  // namespace

BOOL WINAPI Detour_ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName,
                                LPCWSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                                LPVOID lpReserved) {
    const ReplaceCall replace{
        lpReplacedFileName, lpReplacementFileName, lpBackupFileName, dwReplaceFlags, lpExclude, lpReserved};
    return RunReplacement(
        HookId::kReplaceFileW, Trampoline_ReplaceFileW, [&]() -> BOOL { return GuardedReplaceFile(replace); },
        []() -> BOOL {
            // Only an allocation can fail, and only before the files are touched.
            LogError("Detour_ReplaceFileW:Exception");
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        },
        lpReplacedFileName, lpReplacementFileName, lpBackupFileName, dwReplaceFlags, lpExclude, lpReserved);
}
