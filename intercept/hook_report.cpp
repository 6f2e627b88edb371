#include "intercept/hook_report.h"

#include <cstring>
#include <string>

#include "intercept/detour.h"
#include "intercept/hook_tables.h"

int GatrelHookReport(char* names, int cap) {
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
            list += row.strApiName;
        }
    } catch (...) {
    }
    if (names && cap > 0) {
        strncpy(names, list.c_str(), static_cast<size_t>(cap) - 1);
        names[cap - 1] = '\0';
    }
    return count;
}
