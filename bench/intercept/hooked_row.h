#pragma once
// Measuring one catalog row's replacement: the row's real replacement is put
// in front of the function while fn measures, and removed after.
#include "intercept/hook_function.h"
#include "intercept/hook_tables.h"

// The row's real replacement in place while fn runs.
template <class F>
double Hooked(HookId id, F&& fn) {
    HookRow& row = CatalogRow(id);
    HookFuntion(row.strDllName, row.strApiName, row.ppSlot, row.pDetour);
    const double ns = fn();
    UnHookFuntion(row.strApiName, row.ppSlot, row.pDetour);
    return ns;
}
