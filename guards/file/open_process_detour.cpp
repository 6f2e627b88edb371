// A process that holds a protected document cannot be opened by other
// programs (which could read its memory or inject into it); the daemon and the
// process itself always can.
#include "host/process_context.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"

HANDLE WINAPI Detour_OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    return RunReplacement(
        HookId::kOpenProcess, Trampoline_OpenProcess,
        [&](contained::Frame& run) -> HANDLE {
            if (dwProcessId == GetCurrentProcessId() || GetProcessContext().bIsDaemon ||
                !store::IsOwnerProcessProtected(dwProcessId))
                return intercept::CallReal(run, Trampoline_OpenProcess, dwDesiredAccess, bInheritHandle, dwProcessId);
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        },
        [&]() -> HANDLE {
            return intercept::CallReal(Trampoline_OpenProcess, dwDesiredAccess, bInheritHandle, dwProcessId);
        },
        dwDesiredAccess, bInheritHandle, dwProcessId);
}
