// The clipboard guard's replacements. Protected content is kept out of the
// system clipboard: its formats are announced without data and the handles
// wait in the shared section until the owning document pastes them.
#include "guards/clipboard/clipboard_detours.h"

#include "guards/clipboard/clipboard_memory.h"
#include "guards/clipboard/clipboard_rules.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/clipboard_state.h"
#include "support/log.h"

namespace {

// How long the spreadsheet waits for another process to finish emptying the
// clipboard: a process that died while emptying must not hang it for good.
constexpr int kEmptyingWaitRoundMs = 20;
constexpr int kEmptyingWaitRounds = 150;

// Drops the withheld content and the protection state.
void ForgetProtectedContent() {
    store::ClearProtectedData(DelClipbrdMem);
    store::SetProtectedContent(false);
    store::SetClipOwner(nullptr, 0);
    store::SetAfterEmpty(true);
}

}  // namespace

BOOL WINAPI Detour_EmptyClipboard() {
    return RunReplacement(
        HookId::kEmptyClipboard, Trampoline_EmptyClipboard,
        [](contained::Frame& run) -> BOOL {
            ReleaseOrphanedClipboardHandles();
            // Only an emptying that happened clears the state: the real call
            // fails for a thread that does not hold the clipboard open, and
            // the system clipboard then still lists the owner's formats (and
            // another thread of the owner may be using a handle just handed out).
            const BOOL emptied = intercept::CallReal(run, Trampoline_EmptyClipboard);
            if (emptied) {
                const DWORD error = GetLastError();
                ForgetProtectedContent();
                SetLastError(error);
            }
            return emptied;
        },
        []() -> BOOL { return intercept::CallReal(Trampoline_EmptyClipboard); });
}

HANDLE WINAPI Detour_SetClipboardData(UINT uFormat, HANDLE hMem) {
    return RunReplacement(
        HookId::kSetClipboardData, Trampoline_SetClipboardData,
        [&](contained::Frame& run) -> HANDLE {
            ReleaseOrphanedClipboardHandles();
            const ClipboardSource src = GetClipboardSource();
            store::SetAfterEmpty(false);
            if (!src.isProtected) {
                if (store::GetProtectedContent()) Detour_EmptyClipboard();
                store::SetProtectedContent(false);
                return intercept::CallReal(run, Trampoline_SetClipboardData, uFormat, hMem);
            }
            // Content of another owner is discarded before the new owner's
            // first format is kept.
            if (store::IsClipOwnerDifferent(src.ownerWnd, src.ownerPid)) Detour_EmptyClipboard();
            store::SetProtectedContent(true);
            store::SetClipOwner(src.ownerWnd, src.ownerPid);
            if (!hMem) return intercept::CallReal(run, Trampoline_SetClipboardData, uFormat, nullptr);
            store::SetProtectedData(uFormat, hMem, DelClipbrdMem);
            // Only the announcement reaches the system; the caller sees success.
            intercept::CallReal(run, Trampoline_SetClipboardData, uFormat, nullptr);
            return hMem;
        },
        []() -> HANDLE {
            LogError("Detour_SetClipboardData:Exception");
            return nullptr;
        },
        uFormat, hMem);
}

HANDLE WINAPI Detour_GetClipboardData(UINT uFormat) {
    return RunReplacement(
        HookId::kGetClipboardData, Trampoline_GetClipboardData,
        [&](contained::Frame& run) -> HANDLE {
            ReleaseOrphanedClipboardHandles();
            if (!store::GetProtectedContent()) return intercept::CallReal(run, Trampoline_GetClipboardData, uFormat);
            if (CanPasteProtectedData()) {
                // A thread without the clipboard open gets the system's own failure.
                if (HANDLE kept = store::GetProtectedData(uFormat))
                    return ThreadHasClipboardOpen() ? kept
                                                    : intercept::CallReal(run, Trampoline_GetClipboardData, uFormat);
                if (HANDLE real = intercept::CallReal(run, Trampoline_GetClipboardData, uFormat)) return real;
                return store::GetProtectedData(uFormat);
            }
            if (store::IsClipOwnerPid(GetCurrentProcessId())) Detour_EmptyClipboard();
            return nullptr;
        },
        []() -> HANDLE {
            LogError("Detour_GetClipboardData:Exception");
            return nullptr;
        },
        uFormat);
}

int WINAPI Detour_CountClipboardFormats() {
    return RunReplacement(
        HookId::kCountClipboardFormats, Trampoline_CountClipboardFormats,
        [](contained::Frame& run) -> int {
            ReleaseOrphanedClipboardHandles();
            if (store::GetProtectedContent() && store::IsClipOwnerPid(GetCurrentProcessId()))
                return 0;
            return intercept::CallReal(run, Trampoline_CountClipboardFormats);
        },
        []() -> int { return intercept::CallReal(Trampoline_CountClipboardFormats); });
}

BOOL WINAPI Detour_OpenClipboard(HWND hWndNewOwner) {
    return RunReplacement(
        HookId::kOpenClipboard, Trampoline_OpenClipboard,
        [&](contained::Frame& run) -> BOOL {
            ReleaseOrphanedClipboardHandles();
            if (intercept::CallReal(run, Trampoline_OpenClipboard, hWndNewOwner)) return TRUE;
            if (!IsProcessDocType(kDocExcel) || !IsClipboardCopyDenied()) return FALSE;
            if (store::GetZelEmptying()) {
                LogError("Is Zel Empty Clipboard, Wait End");
                int rounds = 0;
                do {
                    Sleep(kEmptyingWaitRoundMs);
                } while (store::GetZelEmptying() && ++rounds < kEmptyingWaitRounds);
                if (store::GetZelEmptying())
                    LogError("Zel Empty Clipboard wait given up after %d ms",
                             kEmptyingWaitRoundMs * kEmptyingWaitRounds);
                else
                    LogError("Zel Empty Clipboard End");
                if (intercept::CallReal(run, Trampoline_OpenClipboard, hWndNewOwner)) return TRUE;
            }
            LogError("Open Clipboard Error, Try Close Clipboard.");
            intercept::CallReal(run, Trampoline_OpenClipboard, GetOpenClipboardWindow());
            CloseClipboard();
            return intercept::CallReal(run, Trampoline_OpenClipboard, hWndNewOwner);
        },
        [&]() -> BOOL { return FALSE; }, hWndNewOwner);
}

void DelClipboardData() {
    store::SetZelEmptying(true);
    // The real OpenClipboard: our replacement would wait on the flag just set.
    // The slot always leads to a callable function, also when the clipboard
    // rows are not attached in this process.
    if (intercept::CallReal(Trampoline_OpenClipboard, GetOpenClipboardWindow())) {
        Detour_EmptyClipboard();  // drops the withheld data, attached in this process or not
        CloseClipboard();
    } else {
        LogError("In DelClipboardData() Error");
    }
    store::SetZelEmptying(false);
}
