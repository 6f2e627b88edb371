#pragma once
// The clipboard guard's replacements, for the hook tables.
#include "intercept/hook_tables.h"

const DetourRow* ClipboardDetourRows(size_t& count);
