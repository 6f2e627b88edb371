#include "intercept/detour_write.h"

#include <cstring>

#include "intercept/detour.h"
#include "intercept/thread_freeze.h"

namespace detour {
namespace {

volatile LONG g_freezes = 0;

void StoreTwoBytes(uint8_t* at, const uint8_t* bytes) {
    const uint16_t v = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    __atomic_store_n(reinterpret_cast<uint16_t*>(at), v, __ATOMIC_SEQ_CST);
}

// Runs with the other threads stopped when any op needs it: no allocation,
// no lock, no log in here.
void Write(const Op& op) {
    Record* r = op.record;
    if (op.attach) {
        // The slot leads to the trampoline before the first call can reach the detour.
        *op.slot = r->trampoline;
        if (r->HotPatch()) {
            if (op.writePadding) memcpy(r->writeAt, op.bytes, patch::kHotPatchRoom);
            StoreTwoBytes(r->target, op.bytes + patch::kHotPatchRoom);
        } else {
            memcpy(r->writeAt, op.bytes, r->writeLength);
        }
    } else {
        // The entry is whole again before the slot leads to it, or a detour
        // still running would call itself.
        if (r->HotPatch()) StoreTwoBytes(r->target, r->original + patch::kHotPatchRoom);
        else memcpy(r->writeAt, r->original, r->writeLength);
        *op.slot = r->target;
    }
}

bool MoveInstructionPointer(const Op& op, DWORD& eip) {
    const Record* r = op.record;
    if (r->plan.form != patch::PatchForm::kJump) return false;
    uint32_t mapped = 0;
    if (op.attach) {
        const uint32_t off = eip - Addr(r->target);
        if (off == 0 || off >= r->plan.patchLength) return false;
        if (!patch::OriginalToTrampoline(r->plan, off, mapped)) return false;
        eip = Addr(r->trampoline) + mapped;
        return true;
    }
    const uint32_t off = eip - Addr(r->trampoline);
    if (off >= r->plan.trampolineLength) return false;
    if (!patch::TrampolineToOriginal(r->plan, off, mapped)) return false;
    eip = Addr(r->target) + mapped;
    return true;
}

}  // namespace

void ApplyOps(std::vector<Op>& ops) {
    if (ops.empty()) return;
    bool freeze = false;
    for (const Op& op : ops) freeze = freeze || op.needsFreeze;
    ThreadFreeze threads;
    if (freeze) {
        threads.Collect();
        threads.Suspend();
        InterlockedIncrement(&g_freezes);
    }
    for (const Op& op : ops) Write(op);
    if (freeze) {
        threads.FixInstructionPointers([&](DWORD& eip) {
            bool moved = false;
            for (const Op& op : ops) moved = MoveInstructionPointer(op, eip) || moved;
            return moved;
        });
    }
    for (const Op& op : ops)
        FlushInstructionCache(GetCurrentProcess(), op.record->writeAt, op.record->writeLength);
    threads.Resume();
    threads.Release();
    for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
        DWORD unused = 0;
        VirtualProtect(it->record->writeAt, it->record->writeLength, it->oldProtect, &unused);
    }
    for (const Op& op : ops) {
        op.record->active = op.attach;
        op.record->detour = op.attach ? op.detour : nullptr;
        op.record->pending = false;
    }
    ops.clear();
}

void DropOps(std::vector<Op>& ops) {
    for (const Op& op : ops) op.record->pending = false;
    ops.clear();
}

size_t FreezeCount() { return static_cast<size_t>(g_freezes); }

}  // namespace detour
