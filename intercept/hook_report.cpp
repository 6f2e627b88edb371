#include "intercept/hook_report.h"

#include <cstring>
#include <string>

#include "intercept/detour.h"
#include "intercept/hook_tables.h"

namespace {

std::string ModuleNameAt(const void* code) {
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(code), &module) ||
        !GetModuleFileNameA(module, path, MAX_PATH))
        return "?";
    const char* base = strrchr(path, '\\');
    return base ? base + 1 : path;
}

template <class Entry>
int Report(char* out, int cap, Entry entry) {
    std::string list;
    int count = 0;
    try {
        for (size_t i = 0; i < kHookCount; ++i) {
            const HookRow& row = CatalogRow(i);
            if (!row.pDetour || !row.pTarget) continue;
            // The engine keys its records by the code it patched.
            const detour::HookState state = detour::DescribeHook(row.pTarget);
            if (!state.hooked || state.detour != row.pDetour) continue;
            if (count++) list += ',';
            list += entry(row);
        }
    } catch (...) {
    }
    if (out && cap > 0) {
        strncpy(out, list.c_str(), static_cast<size_t>(cap) - 1);
        out[cap - 1] = '\0';
    }
    return count;
}

}  // namespace

int GatrelHookReport(char* names, int cap) {
    return Report(names, cap, [](const HookRow& row) { return std::string(row.strApiName); });
}

int GatrelHookModules(char* rows, int cap) {
    return Report(rows, cap,
                  [](const HookRow& row) { return std::string(row.strApiName) + "=" + ModuleNameAt(row.pTarget); });
}
