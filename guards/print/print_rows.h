#pragma once
// The print guard's replacements, for the hook tables.
#include "intercept/hook_tables.h"

const DetourRow* PrintDetourRows(size_t& count);
