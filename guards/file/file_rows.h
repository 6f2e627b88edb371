#pragma once
// The file and save guard's replacements, for the hook tables.
#include "intercept/hook_tables.h"

const DetourRow* FileDetourRows(size_t& count);
