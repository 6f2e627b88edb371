// Moves: a file moved into the client's document folder is copied there, so
// the application's own file stays where it was; working files of a protected
// document are moved under their redirected names.
#include "guards/file/redirected_call.h"
#include "guards/file/temp_file_rules.h"
#include "host/process_context.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/wide_text.h"

namespace {

bool IntoClientDocFolder(const std::string& newName) {
    return text::Contains(text::ToUpper(newName), GetProcessContext().strClientDocPath.c_str());
}

bool IntoClientDocFolder(const wchar_t* newName) {
    return intercept::IsName(newName) && IntoClientDocFolder(text::WideToAnsi(newName));
}

}  // namespace

BOOL WINAPI Detour_MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    return RunReplacement(
        HookId::kMoveFileExW, Trampoline_MoveFileExW,
        [&]() -> BOOL {
            // A null new name deletes (at reboot): there is nothing to copy.
            if (intercept::IsName(lpExistingFileName) && IntoClientDocFolder(lpNewFileName))
                return CopyFileW(lpExistingFileName, lpNewFileName, FALSE);
            return intercept::CallReal(Trampoline_MoveFileExW, lpExistingFileName, lpNewFileName, dwFlags);
        },
        [&]() -> BOOL {
            return intercept::CallReal(Trampoline_MoveFileExW, lpExistingFileName, lpNewFileName, dwFlags);
        },
        lpExistingFileName, lpNewFileName, dwFlags);
}

BOOL WINAPI Detour_MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    return RunReplacement(
        HookId::kMoveFileA, Trampoline_MoveFileA,
        [&]() -> BOOL {
            if (intercept::IsName(lpExistingFileName) && intercept::IsName(lpNewFileName) &&
                IntoClientDocFolder(std::string(lpNewFileName)))
                return CopyFileA(lpExistingFileName, lpNewFileName, FALSE);
            return intercept::CallReal(Trampoline_MoveFileA, lpExistingFileName, lpNewFileName);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_MoveFileA, lpExistingFileName, lpNewFileName); },
        lpExistingFileName, lpNewFileName);
}

BOOL WINAPI Detour_MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    return RunReplacement(
        HookId::kMoveFileW, Trampoline_MoveFileW,
        [&]() -> BOOL {
            if (!intercept::IsName(lpExistingFileName) || !intercept::IsName(lpNewFileName))
                return intercept::CallReal(Trampoline_MoveFileW, lpExistingFileName, lpNewFileName);
            if (IntoClientDocFolder(lpNewFileName))
                return CopyFileW(lpExistingFileName, lpNewFileName, FALSE);
            std::wstring from, to;
            if (MayConcernFileRules(lpExistingFileName) || MayConcernFileRules(lpNewFileName)) {
                const intercept::LastErrorKeeper keep;
                _ZEL_HOOK_INFO_ rec;
                std::string upper;
                if (FileRulesRecord(rec)) {
                    if (RulePath(lpExistingFileName, upper, "Detour_MoveFileW"))
                        from = RedirectedWideName(rec, upper);
                    if (RulePath(lpNewFileName, upper, "Detour_MoveFileW"))
                        to = RedirectedWideName(rec, upper);
                }
            }
            if (!from.empty() || !to.empty()) {
                const DWORD callerError = GetLastError();
                if (intercept::CallReal(Trampoline_MoveFileW, from.empty() ? lpExistingFileName : from.c_str(),
                                         to.empty() ? lpNewFileName : to.c_str()))
                    return TRUE;
                SetLastError(callerError);
            }
            return intercept::CallReal(Trampoline_MoveFileW, lpExistingFileName, lpNewFileName);
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_MoveFileW, lpExistingFileName, lpNewFileName); },
        lpExistingFileName, lpNewFileName);
}
