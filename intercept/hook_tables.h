#pragma once
// The seven hook tables and the operations that install and remove them.
#include <windows.h>

#include <cstddef>

#include "intercept/hook_catalog.h"
#include "store/hook_info.h"

enum class HookTable { AccelCursor, Menu, File, Print, Screen, Ole, Clipboard };

// When a row is installed, tested against the process's HookFacts.
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

// What the row conditions test, handed over by the library's entry: the
// engine itself knows nothing of roles and documents.
struct HookFacts {
    bool hasDocObject = false;
    int docType = kDocNone;  // the document object's nDocType
    int osCode = -1;         // GetOSVersion's code; only needed for office documents
    // A row whose module is not loaded yet waits for it (HookRowsOfModule)
    // instead of failing to resolve: for processes that load some modules
    // only later, if ever.
    bool waitForModules = false;
};

#define GATREL_HOOK_ID(table, module, api, slotFunction, condition) k##api,
enum class HookId : int { GATREL_HOOK_CATALOG(GATREL_HOOK_ID) kCount };
#undef GATREL_HOOK_ID
constexpr size_t kHookCount = static_cast<size_t>(HookId::kCount);

struct HookRow {
    HookTable table;
    const char* strDllName;
    const char* strApiName;
    HookCondition condition;
    PVOID* ppSlot;    // the row's Trampoline_ variable
    PVOID pDetour;    // the guard's Detour_; null leaves the row out
    // Recorded at install: the code the detour was put in front of (null when
    // it was not attached), and whether resolving the row failed.
    PVOID pTarget;
    bool bUnresolved;
    bool bWaiting;    // waits for its module to be loaded (HookFacts::waitForModules)
};

// A guard's replacement for a catalog row; the name must be a catalog api.
struct DetourRow {
    HookId id;
    PVOID detour;
};
#define GATREL_DETOUR_ROW(api) DetourRow{HookId::k##api, reinterpret_cast<PVOID>(&Detour_##api)}

// Hands the guards' replacements to the rows, before the tables are installed.
void UseDetours(const DetourRow* rows, size_t count);
template <size_t N>
void UseDetours(const DetourRow (&rows)[N]) {
    UseDetours(rows, N);
}

// The rows, in catalog order. A test may give a row a replacement of its own
// before installing the tables.
HookRow& CatalogRow(HookId id);
HookRow& CatalogRow(size_t index);

bool ConditionHolds(HookCondition condition, const HookFacts& facts);

void HookAccelCursorApi(const HookFacts& facts);
void UnHookAccelCursorApi(const HookFacts& facts);
void HookMenuApi(const HookFacts& facts);
void UnHookMenuApi(const HookFacts& facts);
void HookFileApi(const HookFacts& facts);
void UnHookFileApi(const HookFacts& facts);
void HookPrintApi(const HookFacts& facts);
void UnHookPrintApi(const HookFacts& facts);
void HookScreenApi(const HookFacts& facts);
void UnHookScreenApi(const HookFacts& facts);
void HookOleApi(const HookFacts& facts);
void UnHookOleApi(const HookFacts& facts);
void HookClipboardApi(const HookFacts& facts);
void UnHookClipboardApi(const HookFacts& facts);

// All seven tables in order, the other threads stopped at most once. Always 1.
int HookAllApi(const HookFacts& facts);
int UnHookAllApi(const HookFacts& facts);

// True when any row is attached in this process now.
bool AnyRowAttached();

// Whether rows wait for the module (named as the rows name it, compared
// ignoring case), and installing them now that it is loaded; the number of
// rows attached. One stop of the other threads for all of them.
bool RowsWaitFor(const char* moduleName);
int HookRowsOfModule(const char* moduleName, const HookFacts& facts);
