#include "host/table_modules.h"

#include <winternl.h>

#include "support/contained_run.h"

namespace {

// ntdll's module load notifications (Windows Vista and later, and Wine).
struct DllNotificationData {
    ULONG Flags;
    const UNICODE_STRING* FullDllName;
    const UNICODE_STRING* BaseDllName;
    PVOID DllBase;
    ULONG SizeOfImage;
};
using DllNotificationFn = VOID(CALLBACK*)(ULONG reason, const DllNotificationData* data, PVOID context);
using RegisterFn = LONG(NTAPI*)(ULONG flags, DllNotificationFn fn, PVOID context, PVOID* cookie);
using UnregisterFn = LONG(NTAPI*)(PVOID cookie);
constexpr ULONG kDllLoaded = 1;

HookFacts g_facts;
PVOID g_cookie = nullptr;

FARPROC NtdllProc(const char* name) { return GetProcAddress(GetModuleHandleA("ntdll.dll"), name); }

// Runs on the loading thread, holding the loader lock. Module names are
// plain ASCII; a longer one is no module of the tables.
VOID CALLBACK OnDllNotification(ULONG reason, const DllNotificationData* data, PVOID) {
    if (reason != kDllLoaded || !data || !data->BaseDllName || !data->BaseDllName->Buffer) return;
    const UNICODE_STRING& name = *data->BaseDllName;
    char base[64];
    const size_t length = name.Length / sizeof(WCHAR);
    if (length == 0 || length >= sizeof base) return;
    for (size_t i = 0; i < length; ++i) {
        const WCHAR c = name.Buffer[i];
        if (c == 0 || c > 0x7F) return;
        base[i] = static_cast<char>(c);
    }
    base[length] = 0;
    const DWORD error = GetLastError();
    contained::Run([&] {
        if (RowsWaitFor(base)) HookRowsOfModule(base, g_facts);
    });
    SetLastError(error);
}

}  // namespace

void LoadTableModules(const HookFacts& facts) {
    for (size_t i = 0; i < kHookCount; ++i) {
        const HookRow& row = CatalogRow(i);
        if (!row.pDetour || !ConditionHolds(row.condition, facts) || GetModuleHandleA(row.strDllName)) continue;
        // By name, as an import is found; kept for the life of the process.
        LoadLibraryA(row.strDllName);
    }
}

void WatchModuleLoads(const HookFacts& facts) {
    if (g_cookie) return;
    auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(NtdllProc("LdrRegisterDllNotification")));
    if (!reg) return;
    g_facts = facts;
    PVOID cookie = nullptr;
    if (reg(0, OnDllNotification, nullptr, &cookie) == 0) g_cookie = cookie;
}

void StopWatchingModuleLoads() {
    if (!g_cookie) return;
    auto unreg = reinterpret_cast<UnregisterFn>(reinterpret_cast<void*>(NtdllProc("LdrUnregisterDllNotification")));
    if (unreg) unreg(g_cookie);
    g_cookie = nullptr;
}
