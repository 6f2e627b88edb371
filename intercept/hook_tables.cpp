#include "intercept/hook_tables.h"

#include "intercept/detour.h"
#include "intercept/hook_function.h"
#include "intercept/hook_log.h"
#include "intercept/hook_slots.h"
#include "intercept/loaded_modules.h"
#include "intercept/module_file_cache.h"
#include "support/ansi_text.h"

namespace {

#define GATREL_ROW(table, module, api, slotFunction, condition)                     \
    HookRow{HookTable::table,                                                       \
            module,                                                                 \
            #api,                                                                   \
            HookCondition::condition,                                               \
            reinterpret_cast<PVOID*>(&Trampoline_##api),                            \
            nullptr,                                                                \
            nullptr,                                                                \
            false,                                                                  \
            false},

HookRow g_rows[] = {GATREL_HOOK_CATALOG(GATREL_ROW)};

#undef GATREL_ROW

static_assert(sizeof g_rows / sizeof g_rows[0] == kHookCount);

// The modules one installation found not loaded (rows share their modules).
class AbsentModules {
public:
    bool Loaded(const char* name) {
        for (int i = 0; i < count_; ++i)
            if (text::EqualsNoCase(names_[i], name)) return false;
        if (IsModuleLoaded(name)) return true;
        if (count_ < kMax) names_[count_++] = name;
        return false;
    }

private:
    static constexpr int kMax = 16;
    const char* names_[kMax] = {};
    int count_ = 0;
};

void Install(HookRow& row, const HookFacts& facts, AbsentModules& absent) {
    if (!row.pDetour || !ConditionHolds(row.condition, facts)) return;
    // Not loaded yet: not a failure to resolve, nothing to log.
    row.bWaiting = facts.waitForModules && !absent.Loaded(row.strDllName);
    if (row.bWaiting) return;
    const PVOID imported = *row.ppSlot;
    row.pTarget = HookFuntion(row.strDllName, row.strApiName, row.ppSlot, row.pDetour);
    // A row that did not resolve leaves its slot null. Code that calls the
    // real function through the slot (outside any detour, too) must never
    // call through null: the slot goes back to the function as imported.
    row.bUnresolved = *row.ppSlot == nullptr;
    if (row.bUnresolved) *row.ppSlot = imported;
}

void Remove(HookRow& row, const HookFacts& facts) {
    if (!row.pDetour || !ConditionHolds(row.condition, facts)) return;
    if (row.bWaiting) {
        row.bWaiting = false;
        return;
    }
    if (row.bUnresolved) {
        // What removal reports for a slot the resolver left empty.
        HookLogError("UnHookFuntion():pApiSrcAddr Is NULL, strApiName=%s", row.strApiName);
        return;
    }
    if (UnHookFuntion(row.strApiName, row.ppSlot, row.pDetour)) row.pTarget = nullptr;
}

void InstallTable(HookTable table, const HookFacts& facts, AbsentModules& absent) {
    for (HookRow& row : g_rows)
        if (row.table == table) Install(row, facts, absent);
}

void InstallTable(HookTable table, const HookFacts& facts) {
    AbsentModules absent;
    InstallTable(table, facts, absent);
}

void RemoveTable(HookTable table, const HookFacts& facts) {
    for (HookRow& row : g_rows)
        if (row.table == table) Remove(row, facts);
}

bool DocTypeIn(const HookFacts& facts, std::initializer_list<int> types) {
    if (!facts.hasDocObject) return false;
    for (int t : types)
        if (facts.docType == t) return true;
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

void UseDetours(const DetourRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const size_t id = static_cast<size_t>(rows[i].id);
        if (id < kHookCount) g_rows[id].pDetour = rows[i].detour;
    }
}

HookRow& CatalogRow(HookId id) { return g_rows[static_cast<size_t>(id)]; }
HookRow& CatalogRow(size_t index) { return g_rows[index]; }

bool ConditionHolds(HookCondition condition, const HookFacts& facts) {
    switch (condition) {
        case HookCondition::Always: return true;
        case HookCondition::DocWordExcelPpt:
            return DocTypeIn(facts, {kDocWord, kDocExcel, kDocPowerPoint});
        case HookCondition::DocWordExcelPptOs110:
            return DocTypeIn(facts, {kDocWord, kDocExcel, kDocPowerPoint}) && facts.osCode == 110;
        case HookCondition::DocPdf: return DocTypeIn(facts, {kDocPdf});
        case HookCondition::DocPrintable:
            return DocTypeIn(facts, {kDocWord, kDocExcel, kDocPowerPoint, kDocPdf});
        case HookCondition::DocAny: return facts.hasDocObject;
        case HookCondition::DocExcel: return DocTypeIn(facts, {kDocExcel});
        case HookCondition::DocPpt: return DocTypeIn(facts, {kDocPowerPoint});
    }
    return false;
}

void HookAccelCursorApi(const HookFacts& f) { InstallTable(HookTable::AccelCursor, f); }
void UnHookAccelCursorApi(const HookFacts& f) { RemoveTable(HookTable::AccelCursor, f); }
void HookMenuApi(const HookFacts& f) { InstallTable(HookTable::Menu, f); }
void UnHookMenuApi(const HookFacts& f) { RemoveTable(HookTable::Menu, f); }

void HookFileApi(const HookFacts& f) { InstallTable(HookTable::File, f); }

void UnHookFileApi(const HookFacts& f) {
    // The one table removed in another order than installed: OpenProcess
    // comes out right after LoadLibraryA, before the save dialogs and
    // RegisterDragDrop.
    HookRow& openProcess = CatalogRow(HookId::kOpenProcess);
    for (HookRow& row : g_rows) {
        if (row.table != HookTable::File || &row == &openProcess) continue;
        Remove(row, f);
        if (&row == &CatalogRow(HookId::kLoadLibraryA)) Remove(openProcess, f);
    }
}

// GDI+, which the watermark draws with, is started by the watermark itself on
// first need: never here, under the loader lock.
void HookPrintApi(const HookFacts& f) { InstallTable(HookTable::Print, f); }
void UnHookPrintApi(const HookFacts& f) { RemoveTable(HookTable::Print, f); }
void HookScreenApi(const HookFacts& f) { InstallTable(HookTable::Screen, f); }
void UnHookScreenApi(const HookFacts& f) { RemoveTable(HookTable::Screen, f); }
void HookOleApi(const HookFacts& f) { InstallTable(HookTable::Ole, f); }
void UnHookOleApi(const HookFacts& f) { RemoveTable(HookTable::Ole, f); }
void HookClipboardApi(const HookFacts& f) { InstallTable(HookTable::Clipboard, f); }
void UnHookClipboardApi(const HookFacts& f) { RemoveTable(HookTable::Clipboard, f); }

int HookAllApi(const HookFacts& f) {
    try {
        AllTablesRun run;
        AbsentModules absent;
        for (HookTable table : {HookTable::AccelCursor, HookTable::Menu, HookTable::File, HookTable::Print,
                                HookTable::Screen, HookTable::Ole, HookTable::Clipboard})
            InstallTable(table, f, absent);
    } catch (...) {
        // The tables after the failing one stay out; what was prepared is applied.
    }
    return 1;
}

int UnHookAllApi(const HookFacts& f) {
    try {
        AllTablesRun run;
        UnHookAccelCursorApi(f);
        UnHookMenuApi(f);
        UnHookFileApi(f);
        UnHookPrintApi(f);
        UnHookScreenApi(f);
        UnHookOleApi(f);
        UnHookClipboardApi(f);
    } catch (...) {
    }
    return 1;
}

bool AnyRowAttached() {
    for (const HookRow& row : g_rows)
        if (row.pTarget) return true;
    return false;
}

bool RowsWaitFor(const char* moduleName) {
    for (const HookRow& row : g_rows)
        if (row.bWaiting && text::EqualsNoCase(row.strDllName, moduleName)) return true;
    return false;
}

int HookRowsOfModule(const char* moduleName, const HookFacts& facts) {
    int attached = 0;
    try {
        AllTablesRun run;
        AbsentModules absent;
        for (HookRow& row : g_rows) {
            if (!row.bWaiting || !text::EqualsNoCase(row.strDllName, moduleName)) continue;
            Install(row, facts, absent);
            if (row.pTarget) ++attached;
        }
    } catch (...) {
    }
    return attached;
}
