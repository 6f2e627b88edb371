#pragma once
// The seven hook tables and the operations that install and remove them.
#include <windows.h>

#include <cstddef>

#include "intercept/hook_catalog.h"

enum class HookTable { AccelCursor, Menu, File, Print, Screen, Ole, Clipboard };

// When a row is installed. The document object and its type code come from
// the process's document object; the system code from GetOSVersion.
enum class HookCondition {
    Always,
    DocWordExcelPpt,       // document object of type 1, 2 or 3
    DocWordExcelPptOs110,  // the same, on system code 110 (version 6.1)
    DocPdf,                // type 4
    DocPrintable,          // type 1, 2, 3 or 4
    DocAny,                // a document object exists
    DocExcel,              // type 2
    DocPpt,                // type 3
};

#define GATREL_HOOK_ID(table, module, api, slotFunction, condition, state) k##api,
enum class HookId : int { GATREL_HOOK_CATALOG(GATREL_HOOK_ID) kCount };
#undef GATREL_HOOK_ID
constexpr size_t kHookCount = static_cast<size_t>(HookId::kCount);

struct HookRow {
    HookTable table;
    const char* strDllName;
    const char* strApiName;
    HookCondition condition;
    PVOID* ppSlot;   // the row's Trampoline_ variable
    PVOID pDetour;   // Detour_ of a row switched on; null until then
};

// The rows, in catalog order. A test may give an OFF row a replacement of its
// own before installing the tables.
HookRow& CatalogRow(HookId id);
HookRow& CatalogRow(size_t index);

// True when the row's condition holds in this process now.
bool ConditionHolds(HookCondition condition);

void HookAccelCursorApi();
void UnHookAccelCursorApi();
void HookMenuApi();
void UnHookMenuApi();
void HookFileApi();
void UnHookFileApi();
void HookPrintApi();
void UnHookPrintApi();
void HookScreenApi();
void UnHookScreenApi();
void HookOleApi();
void UnHookOleApi();
void HookClipboardApi();
void UnHookClipboardApi();

// All seven tables in order, the other threads stopped at most once. Always 1.
int HookAllApi();
int UnHookAllApi();
