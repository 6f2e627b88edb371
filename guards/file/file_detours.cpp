// The file replacements of the office applications: working files of a
// protected document are created, found, tested, copied and deleted under the
// names the temporary-file rules give them, so the application never notices
// that they live in the protected area.
#include <cwchar>

#include "guards/file/redirected_call.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

namespace {

bool ValidHandle(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
bool Succeeded(BOOL ok) { return ok != FALSE; }

// A found working file shows the name the application asked for, as the
// system would show it had the file been made there; its short name is not
// the application's.
void ShowApplicationsName(const WorkingName& w, WIN32_FIND_DATAW* found) {
    const std::wstring name = FileNamePart(w.app.full);
    wcsncpy(found->cFileName, name.c_str(), MAX_PATH - 1);
    found->cFileName[MAX_PATH - 1] = L'\0';
    found->cAlternateFileName[0] = L'\0';
}

// The replacement of a call that only finds (queries, deletes) a file by
// name: on the name the application's call reaches, or, when it cannot
// decide, a refusal for a possible working file of a protected document.
template <class Trampoline, class Result, class Real, class Ok, class... Args>
Result FindingReplacement(HookId id, Trampoline trampoline, const char* caller, LPCWSTR path, Result failure,
                          Real real, Ok succeeded, Args... args) {
    return RunReplacement(
        id, trampoline,
        [&]() -> Result {
            return CallWorkingName(DecideWorkingName(path), path, Reach::kFinds, caller, real, succeeded);
        },
        [&]() -> Result {
            return Undecided(caller, MayBeProtectedWork(path), failure, [&] { return real(path); });
        },
        args...);
}

}  // namespace

HANDLE WINAPI Detour_CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                 LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                 DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    auto real = [&](LPCWSTR name) {
        return intercept::CallReal(Trampoline_CreateFileW, name, dwDesiredAccess, dwShareMode,
                                   lpSecurityAttributes, dwCreationDisposition, dwFlagsAndAttributes,
                                   hTemplateFile);
    };
    return RunReplacement(
        HookId::kCreateFileW, Trampoline_CreateFileW,
        [&]() -> HANDLE {
            const WorkingName w = DecideWorkingName(lpFileName);
            if (w.refused) {
                SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
            const bool opensOnly =
                dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING;
            return CallWorkingName(w, lpFileName, opensOnly ? Reach::kFinds : Reach::kMakes,
                                   "Detour_CreateFileW", real, ValidHandle);
        },
        [&]() -> HANDLE {
            return Undecided("Detour_CreateFileW", MayBeProtectedWork(lpFileName), INVALID_HANDLE_VALUE,
                             [&] { return real(lpFileName); });
        },
        lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
        dwFlagsAndAttributes, hTemplateFile);
}

DWORD WINAPI Detour_GetFileAttributesW(LPCWSTR lpFileName) {
    return FindingReplacement(
        HookId::kGetFileAttributesW, Trampoline_GetFileAttributesW, "Detour_GetFileAttributesW", lpFileName,
        INVALID_FILE_ATTRIBUTES,
        [](LPCWSTR name) { return intercept::CallReal(Trampoline_GetFileAttributesW, name); },
        [](DWORD a) { return a != INVALID_FILE_ATTRIBUTES; }, lpFileName);
}

BOOL WINAPI Detour_GetFileAttributesExW(LPCWSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId,
                                        LPVOID lpFileInformation) {
    return FindingReplacement(
        HookId::kGetFileAttributesExW, Trampoline_GetFileAttributesExW, "Detour_GetFileAttributesExW",
        lpFileName, FALSE,
        [&](LPCWSTR name) {
            return intercept::CallReal(Trampoline_GetFileAttributesExW, name, fInfoLevelId,
                                       lpFileInformation);
        },
        Succeeded, lpFileName, fInfoLevelId, lpFileInformation);
}

BOOL WINAPI Detour_DeleteFileW(LPCWSTR lpFileName) {
    return FindingReplacement(
        HookId::kDeleteFileW, Trampoline_DeleteFileW, "Detour_DeleteFileW", lpFileName, FALSE,
        [](LPCWSTR name) { return intercept::CallReal(Trampoline_DeleteFileW, name); }, Succeeded,
        lpFileName);
}

HANDLE WINAPI Detour_FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    auto real = [&](LPCWSTR name) {
        return intercept::CallReal(Trampoline_FindFirstFileW, name, lpFindFileData);
    };
    return RunReplacement(
        HookId::kFindFirstFileW, Trampoline_FindFirstFileW,
        [&]() -> HANDLE {
            const WorkingName w = DecideWorkingName(lpFileName);
            return CallWorkingName(
                w, lpFileName, Reach::kFinds, "Detour_FindFirstFileW",
                [&](LPCWSTR name) {
                    const HANDLE h = real(name);
                    if (h != INVALID_HANDLE_VALUE && name != lpFileName && lpFindFileData)
                        ShowApplicationsName(w, lpFindFileData);
                    return h;
                },
                ValidHandle);
        },
        [&]() -> HANDLE {
            return Undecided("Detour_FindFirstFileW", MayBeProtectedWork(lpFileName), INVALID_HANDLE_VALUE,
                             [&] { return real(lpFileName); });
        },
        lpFileName, lpFindFileData);
}

HANDLE WINAPI Detour_FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId,
                                      LPVOID lpFindFileData, FINDEX_SEARCH_OPS fSearchOp,
                                      LPVOID lpSearchFilter, DWORD dwAdditionalFlags) {
    auto real = [&](LPCWSTR name) {
        return intercept::CallReal(Trampoline_FindFirstFileExW, name, fInfoLevelId, lpFindFileData, fSearchOp,
                                   lpSearchFilter, dwAdditionalFlags);
    };
    return RunReplacement(
        HookId::kFindFirstFileExW, Trampoline_FindFirstFileExW,
        [&]() -> HANDLE {
            const WorkingName w = DecideWorkingName(lpFileName);
            const bool findData = fInfoLevelId == FindExInfoStandard || fInfoLevelId == FindExInfoBasic;
            return CallWorkingName(
                w, lpFileName, Reach::kFinds, "Detour_FindFirstFileExW",
                [&](LPCWSTR name) {
                    const HANDLE h = real(name);
                    if (h != INVALID_HANDLE_VALUE && name != lpFileName && lpFindFileData && findData)
                        ShowApplicationsName(w, static_cast<WIN32_FIND_DATAW*>(lpFindFileData));
                    return h;
                },
                ValidHandle);
        },
        [&]() -> HANDLE {
            return Undecided("Detour_FindFirstFileExW", MayBeProtectedWork(lpFileName), INVALID_HANDLE_VALUE,
                             [&] { return real(lpFileName); });
        },
        lpFileName, fInfoLevelId, lpFindFileData, fSearchOp, lpSearchFilter, dwAdditionalFlags);
}

// A second name for a file makes the file reachable under it as a copy
// would: the new name is a working name like a copy's, and the existing one
// is found where the rules keep it. CreateHardLinkA reaches this one.
BOOL WINAPI Detour_CreateHardLinkW(LPCWSTR lpFileName, LPCWSTR lpExistingFileName,
                                   LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    auto real = [&](LPCWSTR existing, LPCWSTR name) {
        return intercept::CallReal(Trampoline_CreateHardLinkW, name, existing, lpSecurityAttributes);
    };
    return RunReplacement(
        HookId::kCreateHardLinkW, Trampoline_CreateHardLinkW,
        [&]() -> BOOL { return CallWorkingNames(lpExistingFileName, lpFileName, "Detour_CreateHardLinkW", real); },
        [&]() -> BOOL {
            return Undecided("Detour_CreateHardLinkW",
                             MayBeProtectedWork(lpExistingFileName) || MayBeProtectedWork(lpFileName), FALSE,
                             [&] { return real(lpExistingFileName, lpFileName); });
        },
        lpFileName, lpExistingFileName, lpSecurityAttributes);
}

BOOL WINAPI Detour_CopyFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName,
                               LPPROGRESS_ROUTINE lpProgressRoutine, LPVOID lpData, LPBOOL pbCancel,
                               DWORD dwCopyFlags) {
    auto real = [&](LPCWSTR from, LPCWSTR to) {
        return intercept::CallReal(Trampoline_CopyFileExW, from, to, lpProgressRoutine, lpData, pbCancel,
                                   dwCopyFlags);
    };
    return RunReplacement(
        HookId::kCopyFileExW, Trampoline_CopyFileExW,
        [&]() -> BOOL {
            // The copy is decided here once: the opens it makes inside meet
            // the names settled.
            return CallWorkingNames(lpExistingFileName, lpNewFileName, "Detour_CopyFileExW", real);
        },
        [&]() -> BOOL {
            return Undecided("Detour_CopyFileExW",
                             MayBeProtectedWork(lpExistingFileName) || MayBeProtectedWork(lpNewFileName),
                             FALSE, [&] { return real(lpExistingFileName, lpNewFileName); });
        },
        lpExistingFileName, lpNewFileName, lpProgressRoutine, lpData, pbCancel, dwCopyFlags);
}
