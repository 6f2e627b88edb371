#pragma once
// Writes the planned operations into the code, with the other threads of the
// process stopped when any operation needs it.
#include <vector>

#include "intercept/detour_plan.h"

namespace detour {

// Applies and then clears ops; the records take their new state.
void ApplyOps(std::vector<Op>& ops);
// Drops ops without writing anything.
void DropOps(std::vector<Op>& ops);

}  // namespace detour
