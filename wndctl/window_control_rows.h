#pragma once
// The window control's replacements (accelerators, cursor, menus), for the
// hook tables.
#include "intercept/hook_tables.h"

// Also starts the button tracking's release ticks: the accelerator and cursor
// table is installed right after the rows are handed over.
const DetourRow* WindowControlDetourRows(size_t& count);
