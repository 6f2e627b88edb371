// The file replacements of the office applications: working files of a
// protected document are created, found, tested, copied and deleted under the
// names the temporary-file rules give them, so the application never notices
// that they live in the protected area.
#include "guards/file/redirected_call.h"
#include "host/process_context.h"
#include "identify/active_doc_window.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/log.h"

HANDLE WINAPI Detour_CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                 LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                 DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                 HANDLE hTemplateFile) {
    return RunReplacement(
        HookId::kCreateFileW, Trampoline_CreateFileW,
        [&]() -> HANDLE {
            const Redirection r = RedirectionOf(lpFileName, "Detour_CreateFileW");
            if (r.webPreview) {
                SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
            return CallRedirected(
                r.name, lpFileName,
                [&](LPCWSTR name) {
                    return intercept::CallReal(Trampoline_CreateFileW, name, dwDesiredAccess, dwShareMode,
                                                  lpSecurityAttributes, dwCreationDisposition,
                                                  dwFlagsAndAttributes, hTemplateFile);
                },
                [](HANDLE h) { return h != INVALID_HANDLE_VALUE; },
                // A leftover under the redirected name: creating the new file at
                // the application's path would put the working copy exactly
                // where it must not be.
                [](DWORD error) {
                    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
                });
        },
        [&]() -> HANDLE {
            LogError("Detour_CreateFileW:Exception");
            return intercept::CallReal(Trampoline_CreateFileW, lpFileName, dwDesiredAccess, dwShareMode,
                                          lpSecurityAttributes, dwCreationDisposition,
                                          dwFlagsAndAttributes, hTemplateFile);
        },
        lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
        dwFlagsAndAttributes, hTemplateFile);
}

DWORD WINAPI Detour_GetFileAttributesW(LPCWSTR lpFileName) {
    return RunReplacement(
        HookId::kGetFileAttributesW, Trampoline_GetFileAttributesW,
        [&]() -> DWORD {
            return CallRedirected(RedirectionOf(lpFileName, "Detour_GetFileAttributesW").name,
                                  lpFileName, Trampoline_GetFileAttributesW,
                                  [](DWORD a) { return a != INVALID_FILE_ATTRIBUTES; });
        },
        [&]() -> DWORD { return intercept::CallReal(Trampoline_GetFileAttributesW, lpFileName); }, lpFileName);
}

BOOL WINAPI Detour_DeleteFileW(LPCWSTR lpFileName) {
    return RunReplacement(
        HookId::kDeleteFileW, Trampoline_DeleteFileW,
        [&]() -> BOOL {
            return CallRedirected(RedirectionOf(lpFileName, "Detour_DeleteFileW").name, lpFileName,
                                  Trampoline_DeleteFileW, [](BOOL ok) { return ok != FALSE; });
        },
        [&]() -> BOOL { return intercept::CallReal(Trampoline_DeleteFileW, lpFileName); }, lpFileName);
}

HANDLE WINAPI Detour_FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    return RunReplacement(
        HookId::kFindFirstFileW, Trampoline_FindFirstFileW,
        [&]() -> HANDLE {
            return CallRedirected(
                RedirectionOf(lpFileName, "Detour_FindFirstFileW").name, lpFileName,
                [&](LPCWSTR name) { return intercept::CallReal(Trampoline_FindFirstFileW, name, lpFindFileData); },
                [](HANDLE h) { return h != INVALID_HANDLE_VALUE; });
        },
        [&]() -> HANDLE { return intercept::CallReal(Trampoline_FindFirstFileW, lpFileName, lpFindFileData); },
        lpFileName, lpFindFileData);
}

BOOL WINAPI Detour_CopyFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName,
                               LPPROGRESS_ROUTINE lpProgressRoutine, LPVOID lpData, LPBOOL pbCancel,
                               DWORD dwCopyFlags) {
    return RunReplacement(
        HookId::kCopyFileExW, Trampoline_CopyFileExW,
        [&]() -> BOOL {
            return CallRedirected(
                RedirectionOf(lpExistingFileName, "Detour_CopyFileExW").name, lpExistingFileName,
                [&](LPCWSTR source) {
                    return intercept::CallReal(Trampoline_CopyFileExW, source, lpNewFileName, lpProgressRoutine, lpData,
                                                  pbCancel, dwCopyFlags);
                },
                [](BOOL ok) { return ok != FALSE; });
        },
        [&]() -> BOOL {
            return intercept::CallReal(Trampoline_CopyFileExW, lpExistingFileName, lpNewFileName, lpProgressRoutine,
                                          lpData, pbCancel, dwCopyFlags);
        },
        lpExistingFileName, lpNewFileName, lpProgressRoutine, lpData, pbCancel, dwCopyFlags);
}

HMODULE WINAPI Detour_LoadLibraryA(LPCSTR lpLibFileName) {
    return RunReplacement(
        HookId::kLoadLibraryA, Trampoline_LoadLibraryA,
        [&]() -> HMODULE {
            // The name first: every other library costs nothing more.
            if (!intercept::IsName(lpLibFileName) || !text::EqualsNoCase(lpLibFileName, "mapi32.dll"))
                return intercept::CallReal(Trampoline_LoadLibraryA, lpLibFileName);
            CCommonDoc* doc = DocObject();
            _ZEL_HOOK_INFO_ rec{};
            bool limited = false;
            {
                const intercept::LastErrorKeeper keep;
                limited = doc && doc->IsLimitedZelDoc(rec);
            }
            if (!limited) return intercept::CallReal(Trampoline_LoadLibraryA, lpLibFileName);
            // A restricted document must not leave by mail.
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        },
        [&]() -> HMODULE { return intercept::CallReal(Trampoline_LoadLibraryA, lpLibFileName); }, lpLibFileName);
}

HRESULT WINAPI Detour_RegisterDragDrop(HWND hwnd, LPDROPTARGET pDropTarget) {
    return RunReplacement(
        HookId::kRegisterDragDrop, Trampoline_RegisterDragDrop,
        [&]() -> HRESULT {
            {
                const intercept::LastErrorKeeper keep;
                UpdateKORBDocWnd();
            }
            return intercept::CallReal(Trampoline_RegisterDragDrop, hwnd, pDropTarget);
        },
        [&]() -> HRESULT { return intercept::CallReal(Trampoline_RegisterDragDrop, hwnd, pDropTarget); }, hwnd,
        pDropTarget);
}
