#include "intercept/hook_tables.h"

#include "intercept/hook_slots.h"  // OLE headers, needed before GDI+'s
#include <gdiplus.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/os_version.h"
#include "intercept/detour.h"
#include "intercept/hook_function.h"
#include "intercept/hook_log.h"
#include "intercept/hook_slots.h"
#include "intercept/module_file_cache.h"

namespace {

#define GATREL_DETOUR_ADDRESS_ON(detourName) reinterpret_cast<PVOID>(&detourName)
#define GATREL_DETOUR_ADDRESS_OFF(detourName) nullptr
#define GATREL_ROW(table, module, api, slotFunction, condition, state)                      \
    HookRow{HookTable::table, module, #api, HookCondition::condition,                       \
            reinterpret_cast<PVOID*>(&Trampoline_##api), GATREL_DETOUR_ADDRESS_##state(Detour_##api)},

HookRow g_rows[] = {GATREL_HOOK_CATALOG(GATREL_ROW)};

#undef GATREL_ROW
#undef GATREL_DETOUR_ADDRESS_ON
#undef GATREL_DETOUR_ADDRESS_OFF

static_assert(sizeof g_rows / sizeof g_rows[0] == kHookCount);

ULONG_PTR g_gdiplusToken = 0;

void Install(const HookRow& row) {
    if (!row.pDetour || !ConditionHolds(row.condition)) return;
    HookFuntion(row.strDllName, row.strApiName, row.ppSlot, row.pDetour);
}

void Remove(const HookRow& row) {
    if (!row.pDetour || !ConditionHolds(row.condition)) return;
    UnHookFuntion(row.strApiName, row.ppSlot, row.pDetour);
}

void InstallTable(HookTable table) {
    for (const HookRow& row : g_rows)
        if (row.table == table) Install(row);
}

void RemoveTable(HookTable table) {
    for (const HookRow& row : g_rows)
        if (row.table == table) Remove(row);
}

bool DocTypeIn(std::initializer_list<int> types) {
    const CCommonDoc* doc = DocObject();
    if (!doc) return false;
    for (int t : types)
        if (doc->nDocType == t) return true;
    return false;
}

// Opens and closes one stopped-threads batch, with its deferred log lines and
// its kept module files, around a whole installation or removal.
class AllTablesRun {
public:
    AllTablesRun() : batch_(detour::BeginBatch()) {}
    ~AllTablesRun() {
        if (batch_) detour::EndBatch();
    }

private:
    DeferredHookLog log_;   // destroyed last: written once the threads run again
    KeptModuleFiles files_;
    bool batch_;
};

}  // namespace

HookRow& CatalogRow(HookId id) { return g_rows[static_cast<size_t>(id)]; }
HookRow& CatalogRow(size_t index) { return g_rows[index]; }

bool ConditionHolds(HookCondition condition) {
    switch (condition) {
        case HookCondition::Always: return true;
        case HookCondition::DocWordExcelPpt: return DocTypeIn({kDocWord, kDocExcel, kDocPowerPoint});
        case HookCondition::DocWordExcelPptOs110: {
            if (!DocTypeIn({kDocWord, kDocExcel, kDocPowerPoint})) return false;
            int code = -1, servicePack = -1;
            GetOSVersion(code, servicePack);
            return code == 110;
        }
        case HookCondition::DocPdf: return DocTypeIn({kDocPdf});
        case HookCondition::DocPrintable:
            return DocTypeIn({kDocWord, kDocExcel, kDocPowerPoint, kDocPdf});
        case HookCondition::DocAny: return DocObject() != nullptr;
        case HookCondition::DocExcel: return DocTypeIn({kDocExcel});
        case HookCondition::DocPpt: return DocTypeIn({kDocPowerPoint});
    }
    return false;
}

void HookAccelCursorApi() { InstallTable(HookTable::AccelCursor); }
void UnHookAccelCursorApi() { RemoveTable(HookTable::AccelCursor); }
void HookMenuApi() { InstallTable(HookTable::Menu); }
void UnHookMenuApi() { RemoveTable(HookTable::Menu); }

void HookFileApi() { InstallTable(HookTable::File); }

void UnHookFileApi() {
    // The one table removed in another order than installed: OpenProcess
    // comes out right after LoadLibraryA, before the save dialogs and
    // RegisterDragDrop.
    const HookRow& openProcess = CatalogRow(HookId::kOpenProcess);
    for (const HookRow& row : g_rows) {
        if (row.table != HookTable::File || &row == &openProcess) continue;
        Remove(row);
        if (&row == &CatalogRow(HookId::kLoadLibraryA)) Remove(openProcess);
    }
}

void HookPrintApi() {
    if (ConditionHolds(HookCondition::DocPrintable)) {
        // The watermark draws with GDI+; a failed start leaves the hooks in
        // place all the same.
        Gdiplus::GdiplusStartupInput input;
        const Gdiplus::Status status = Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);
        if (status != Gdiplus::Ok) {
            g_gdiplusToken = 0;
            HookLogError("GdiplusStartup Error=%d.", static_cast<int>(status));
        }
    }
    InstallTable(HookTable::Print);
}

void UnHookPrintApi() {
    if (ConditionHolds(HookCondition::DocPrintable) && g_gdiplusToken) {
        Gdiplus::GdiplusShutdown(g_gdiplusToken);
        g_gdiplusToken = 0;
    }
    RemoveTable(HookTable::Print);
}

void HookScreenApi() { InstallTable(HookTable::Screen); }
void UnHookScreenApi() { RemoveTable(HookTable::Screen); }
void HookOleApi() { InstallTable(HookTable::Ole); }
void UnHookOleApi() { RemoveTable(HookTable::Ole); }
void HookClipboardApi() { InstallTable(HookTable::Clipboard); }
void UnHookClipboardApi() { RemoveTable(HookTable::Clipboard); }

int HookAllApi() {
    try {
        AllTablesRun run;
        HookAccelCursorApi();
        HookMenuApi();
        HookFileApi();
        HookPrintApi();
        HookScreenApi();
        HookOleApi();
        HookClipboardApi();
    } catch (...) {
        // The tables after the failing one stay out; what was prepared is applied.
    }
    return 1;
}

int UnHookAllApi() {
    try {
        AllTablesRun run;
        UnHookAccelCursorApi();
        UnHookMenuApi();
        UnHookFileApi();
        UnHookPrintApi();
        UnHookScreenApi();
        UnHookOleApi();
        UnHookClipboardApi();
    } catch (...) {
    }
    return 1;
}
