#pragma once
// One attach or detach as a transaction holds it until the code is written:
// which record, which slot, and the bytes to write.
#include <windows.h>

#include "intercept/detour_record.h"

namespace detour {

struct Op {
    bool attach = true;
    Record* record = nullptr;
    void** slot = nullptr;
    const void* detour = nullptr;
    uint8_t bytes[kMaxWrite] = {};  // what attach writes
    bool writePadding = false;      // hot patch: the jump above the entry must be (re)written
    bool needsFreeze = true;
    DWORD oldProtect = 0;
};

// The attach of detour in front of the record's entry.
Op PlanAttach(Record* record, void** slot, const void* detour);
// The detach of the record's patch; NO_ERROR, or ERROR_INVALID_BLOCK when
// someone else has patched over ours since.
LONG PlanDetach(Record* record, void** slot, const void* detour, Op& op);

}  // namespace detour
