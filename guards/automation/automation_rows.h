#pragma once
// The automation guard's replacements, for the hook tables.
#include "intercept/hook_tables.h"

const DetourRow* AutomationDetourRows(size_t& count);
