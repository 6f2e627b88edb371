#include "intercept/detour_plan.h"

#include <cstring>

namespace detour {

Op PlanAttach(Record* r, void** slot, const void* detour) {
    Op op;
    op.attach = true;
    op.record = r;
    op.slot = slot;
    op.detour = detour;
    if (r->HotPatch()) {
        patch::BuildJump(Addr(r->writeAt), Addr(detour), op.bytes);
        memcpy(op.bytes + patch::kHotPatchRoom, patch::kHotPatchShortJump, 2);
        const bool asWanted = memcmp(r->writeAt, op.bytes, patch::kHotPatchRoom) == 0;
        bool untouched = true;  // still plain padding: nothing can run there
        for (size_t i = 0; i < patch::kHotPatchRoom; ++i)
            untouched = untouched && (r->writeAt[i] == 0xCC || r->writeAt[i] == 0x90);
        op.writePadding = !asWanted;
        // A jump of an earlier attach may be running right now: rewriting it
        // needs the other threads stopped.
        op.needsFreeze = !asWanted && !untouched;
    } else {
        patch::BuildEntryJump(Addr(r->target), Addr(detour), r->writeLength, op.bytes);
        op.needsFreeze = true;
    }
    return op;
}

LONG PlanDetach(Record* r, void** slot, const void* detour, Op& op) {
    // Someone patched over us since: taking ours out would break theirs.
    const bool ours = r->HotPatch() ? memcmp(r->target, patch::kHotPatchShortJump, 2) == 0
                                    : r->target[0] == 0xE9;
    if (!ours) return ERROR_INVALID_BLOCK;
    op.attach = false;
    op.record = r;
    op.slot = slot;
    op.detour = detour;
    op.needsFreeze = !r->HotPatch();
    return NO_ERROR;
}

}  // namespace detour
