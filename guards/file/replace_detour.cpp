// The application's last save step: the document file is replaced by the one
// just written. Inside the protected area the replace is completed by copying,
// or, for a document in the protected temporary area, retried and reported to
// the Ostrum process.
#include <optional>

#include "guards/file/ostrum_handshake.h"
#include "guards/file/redirected_call.h"
#include "guards/file/temp_file_rules.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
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

std::string UpperAnsi(const wchar_t* path) { return text::ToUpper(text::WideToAnsi(path)); }

struct ReplaceCall {
    LPCWSTR replaced, replacement, backup;
    DWORD flags;
    LPVOID exclude, reserved;
    BOOL operator()() const {
        return intercept::CallReal(Trampoline_ReplaceFileW, replaced, replacement, backup, flags, exclude, reserved);
    }
};

// The application wrote its replacement under the redirected name M: M is put
// back under the name the replace expects, over anything left there, and the
// replace runs. Empty when there is no such name or the replace failed in a
// way another attempt may mend; else the result to return. When M exists but
// cannot be put in place the replace fails: run with whatever lies under the
// expected name, it would report an old file as saved.
std::optional<BOOL> ReplaceRedirected(const ReplaceCall& replace) {
    if (!MayConcernFileRules(replace.replacement)) return std::nullopt;
    std::wstring moved;
    {
        const intercept::LastErrorKeeper keep;
        _ZEL_HOOK_INFO_ rec;
        std::string upper;
        if (FileRulesRecord(rec) && RulePath(replace.replacement, upper, "Detour_ReplaceFileW"))
            moved = RedirectedWideName(rec, upper);
    }
    if (moved.empty()) return std::nullopt;
    const DWORD callerError = GetLastError();
    if (!intercept::CallReal(Trampoline_MoveFileExW, moved.c_str(), replace.replacement,
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        const DWORD error = GetLastError();
        if (intercept::CallReal(Trampoline_GetFileAttributesW, moved.c_str()) != INVALID_FILE_ATTRIBUTES) {
            LogError("[Detour_ReplaceFileW]: the written file could not be put back, error %lu",
                     static_cast<unsigned long>(error));
            SetLastError(error);
            return FALSE;
        }
    }
    SetLastError(callerError);
    if (replace()) return TRUE;
    if (IsFinalReplaceError(GetLastError())) return FALSE;
    return std::nullopt;
}

BOOL ReplaceWithRetries(const ReplaceCall& replace) {
    BOOL r = replace();
    for (int n = 1; !r && n <= kReplaceRetries && !IsFinalReplaceError(GetLastError()); ++n) {
        LogError("[Detour_ReplaceFileW]: Trampoline_ReplaceFileW Failed,try again %d!", n);
        Sleep(kReplaceRetryPauseMs);
        r = replace();
    }
    return r;
}

BOOL GuardedReplaceFile(const ReplaceCall& replace) {
    if (!intercept::IsName(replace.replaced) || !intercept::IsName(replace.replacement))
        return replace();
    CCommonDoc* doc = DocObject();
    if (doc) {
        if (const std::optional<BOOL> done = ReplaceRedirected(replace)) return *done;
    }
    const ProcessContext& ctx = GetProcessContext();
    std::string r1, r2;
    {
        const intercept::LastErrorKeeper keep;
        r1 = UpperAnsi(replace.replaced);
        r2 = UpperAnsi(replace.replacement);
    }
    if (doc && doc->nDocType != kDocPowerPoint) {
        LogError("[Detour_ReplaceFileW]:ReplacedFileName%s", r1.c_str());
        LogError("[Detour_ReplaceFileW]:ReplacementFileName%s", r2.c_str());
        if (text::Contains(r1, ctx.strFileTempPath.c_str()) &&
            text::Contains(r2, ctx.strFileTempPath.c_str())) {
            const std::string folder = SaveFolderOf(r1);
            const BOOL r = ReplaceWithRetries(replace);
            if (r && !folder.empty()) {
                const intercept::LastErrorKeeper keep;
                ReportSaveToOstrum(folder);
            }
            return r;
        }
    }
    if (IsProcessDocType(kDocWord)) return replace();
    if (text::Contains(r1, ctx.strFileTempPath.c_str()) ||
        text::Contains(r1, ctx.strClientDocPath.c_str()))
        return CopyFileW(replace.replacement, replace.replaced, FALSE);
    return replace();
}

}  // namespace

BOOL WINAPI Detour_ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName,
                                LPCWSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                                LPVOID lpReserved) {
    const ReplaceCall replace{lpReplacedFileName, lpReplacementFileName,
                              lpBackupFileName,   dwReplaceFlags,
                              lpExclude,          lpReserved};
    return RunReplacement(
        HookId::kReplaceFileW, Trampoline_ReplaceFileW,
        [&]() -> BOOL { return GuardedReplaceFile(replace); },
        []() -> BOOL {
            // Only an allocation can fail, and only before the files are touched.
            LogError("Detour_ReplaceFileW:Exception");
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        },
        lpReplacedFileName, lpReplacementFileName, lpBackupFileName, dwReplaceFlags, lpExclude,
        lpReserved);
}
