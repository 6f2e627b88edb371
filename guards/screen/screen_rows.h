#pragma once
// The screen guard's replacements, for the hook tables.
#include "intercept/hook_tables.h"

const DetourRow* ScreenDetourRows(size_t& count);
