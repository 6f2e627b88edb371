#include "host/guard_detours.h"

#include "guards/automation/automation_rows.h"
#include "guards/clipboard/clipboard_rows.h"
#include "guards/file/file_rows.h"
#include "guards/print/print_rows.h"
#include "guards/screen/screen_rows.h"
#include "intercept/hook_tables.h"
#include "wndctl/window_control_rows.h"

namespace {

using RowsOf = const DetourRow* (*)(size_t& count);

// One entry per guard, in any order: each guard's rows name their own
// catalog entries.
const RowsOf kGuards[] = {
    AutomationDetourRows,
    ClipboardDetourRows,
    FileDetourRows,
    PrintDetourRows,
    ScreenDetourRows,
    WindowControlDetourRows,
};

}  // namespace

void UseGuardDetours() {
    for (RowsOf rowsOf : kGuards) {
        size_t count = 0;
        const DetourRow* rows = rowsOf(count);
        UseDetours(rows, count);
    }
}
