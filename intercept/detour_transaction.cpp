#include <cstring>
#include <vector>

#include "intercept/code_memory.h"
#include "intercept/detour.h"
#include "intercept/thread_freeze.h"
#include "intercept/trampoline_planner.h"

namespace detour {
namespace {

constexpr size_t kMaxWrite = 24;  // bytes one hook overwrites, hot-patch room included

// One patched (or once patched) entry. Records live as long as the process:
// their trampolines may still be running after a detach.
struct Record {
    uint8_t* target = nullptr;
    uint8_t* trampoline = nullptr;  // hot patch: target + 2
    const void* detour = nullptr;
    patch::PatchPlan plan;
    uint8_t* writeAt = nullptr;     // hot patch: target - 5
    uint8_t writeLength = 0;
    uint8_t original[kMaxWrite] = {};
    bool active = false;
    bool pending = false;
    Record* next = nullptr;
};

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

Record* g_records = nullptr;
volatile LONG g_owner = 0;        // thread id holding the open transaction
volatile LONG g_batchOwner = 0;   // thread id holding the open batch
LONG g_error = NO_ERROR;          // first failure of the open transaction
std::vector<Op> g_ops;            // operations of the open transaction
std::vector<Op> g_batchOps;       // committed, waiting for EndBatch
volatile LONG g_freezes = 0;

bool OwnsTransaction() { return g_owner == static_cast<LONG>(GetCurrentThreadId()); }

bool Readable(const void* p) {
    MEMORY_BASIC_INFORMATION mbi{};
    if (!VirtualQuery(p, &mbi, sizeof mbi) || mbi.State != MEM_COMMIT) return false;
    const DWORD prot = mbi.Protect & 0xFF;
    return !(mbi.Protect & PAGE_GUARD) && prot != PAGE_NOACCESS && prot != 0;
}

// Bytes readable from p on, up to max, following adjacent committed regions.
size_t ReadableAfter(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (!Readable(p + n) || !VirtualQuery(p + n, &mbi, sizeof mbi)) break;
        const uint8_t* end = static_cast<const uint8_t*>(mbi.BaseAddress) + mbi.RegionSize;
        n = static_cast<size_t>(end - p);
    }
    return n < max ? n : max;
}

patch::CodeWindow WindowAt(uint8_t* target) {
    patch::CodeWindow w;
    w.code = target;
    w.address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
    w.after = ReadableAfter(target, patch::kScanBytes);
    if (reinterpret_cast<uintptr_t>(target) > patch::kHotPatchRoom &&
        Readable(target - patch::kHotPatchRoom) && Readable(target - 1))
        w.before = patch::kHotPatchRoom;
    return w;
}

LONG ErrorOf(patch::PlanError e) {
    switch (e) {
        case patch::PlanError::kNone: return NO_ERROR;
        case patch::PlanError::kUndecodable: return ERROR_INVALID_DATA;
        case patch::PlanError::kTooShort: return ERROR_INVALID_BLOCK;
        case patch::PlanError::kUnrelocatable: return ERROR_NOT_SUPPORTED;
        case patch::PlanError::kBranchIntoPatch: return ERROR_INVALID_ADDRESS;
        case patch::PlanError::kTrampolineTooLong: return ERROR_INVALID_BLOCK;
    }
    return ERROR_INVALID_BLOCK;
}

uint32_t Addr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

Record* FindActive(const void* trampoline, const void* detour) {
    for (Record* r = g_records; r; r = r->next)
        if (r->active && r->trampoline == trampoline && r->detour == detour) return r;
    return nullptr;
}

bool Pending(const uint8_t* target) {
    for (Record* r = g_records; r; r = r->next)
        if (r->pending && r->target == target) return true;
    return false;
}

// An earlier record of this entry whose patch was taken out and whose bytes
// are untouched since: its trampoline still fits.
Record* Reusable(uint8_t* target) {
    for (Record* r = g_records; r; r = r->next) {
        if (r->target != target || r->active || r->pending) continue;
        const bool hot = r->plan.form == patch::PatchForm::kHotPatch;
        const uint8_t* entry = hot ? r->original + patch::kHotPatchRoom : r->original;
        const size_t n = hot ? 2 : r->writeLength;
        if (memcmp(target, entry, n) == 0) return r;
    }
    return nullptr;
}

Record* NewRecord(uint8_t* target, LONG& error) {
    const patch::CodeWindow w = WindowAt(target);
    if (w.after == 0) {
        error = ERROR_NOACCESS;
        return nullptr;
    }
    patch::PatchPlan plan;
    error = ErrorOf(patch::PlanPatch(w, plan));
    if (error != NO_ERROR) return nullptr;
    Record* r = new (std::nothrow) Record;
    if (!r) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    r->target = target;
    r->plan = plan;
    if (plan.form == patch::PatchForm::kHotPatch) {
        r->trampoline = target + 2;
        r->writeAt = target - patch::kHotPatchRoom;
        r->writeLength = patch::kHotPatchRoom + 2;
    } else {
        uint8_t* code = AllocateCode(plan.trampolineLength);
        if (!code || !UnlockCode(code, plan.trampolineLength)) {
            delete r;
            error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        const size_t n = patch::BuildTrampoline(w, plan, Addr(code), code, plan.trampolineLength);
        LockCode(code, plan.trampolineLength);
        if (n == 0) {
            delete r;
            error = ERROR_INVALID_BLOCK;
            return nullptr;
        }
        r->trampoline = code;
        r->writeAt = target;
        r->writeLength = plan.patchLength;
    }
    memcpy(r->original, r->writeAt, r->writeLength);
    r->next = g_records;
    g_records = r;
    return r;
}

void StoreTwoBytes(uint8_t* at, const uint8_t* bytes) {
    const uint16_t v = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    __atomic_store_n(reinterpret_cast<uint16_t*>(at), v, __ATOMIC_SEQ_CST);
}

// Runs with the other threads stopped when any op needs it: no allocation,
// no lock, no log in here.
void Write(const Op& op) {
    Record* r = op.record;
    const bool hot = r->plan.form == patch::PatchForm::kHotPatch;
    if (op.attach) {
        // The slot leads to the trampoline before the first call can reach the detour.
        *op.slot = r->trampoline;
        if (hot) {
            if (op.writePadding) memcpy(r->writeAt, op.bytes, patch::kHotPatchRoom);
            StoreTwoBytes(r->target, op.bytes + patch::kHotPatchRoom);
        } else {
            memcpy(r->writeAt, op.bytes, r->writeLength);
        }
    } else {
        // The entry is whole again before the slot leads to it, or a detour
        // still running would call itself.
        if (hot) StoreTwoBytes(r->target, r->original + patch::kHotPatchRoom);
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

void Apply(std::vector<Op>& ops) {
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

void Fail(LONG error) {
    if (g_error == NO_ERROR) g_error = error;
}

void CloseTransaction() {
    g_ops.clear();
    g_error = NO_ERROR;
    InterlockedExchange(&g_owner, 0);
}

void DropOps(std::vector<Op>& ops) {
    for (const Op& op : ops) op.record->pending = false;
    ops.clear();
}

}  // namespace

bool BeginBatch() {
    const LONG self = static_cast<LONG>(GetCurrentThreadId());
    if (InterlockedCompareExchange(&g_batchOwner, self, 0) != 0) return false;
    g_batchOps.clear();
    return true;
}

void EndBatch() {
    if (g_batchOwner != static_cast<LONG>(GetCurrentThreadId())) return;
    Apply(g_batchOps);
    InterlockedExchange(&g_batchOwner, 0);
}

HookState DescribeHook(const void* target) {
    HookState s;
    for (Record* r = g_records; r; r = r->next) {
        if (r->target != target || !r->active) continue;
        s.hooked = true;
        s.hotPatch = r->plan.form == patch::PatchForm::kHotPatch;
        s.patchLength = r->plan.patchLength;
        s.trampoline = r->trampoline;
        s.detour = r->detour;
        return s;
    }
    return s;
}

size_t FreezeCount() { return static_cast<size_t>(g_freezes); }

}  // namespace detour

using namespace detour;

LONG DetourTransactionBegin() {
    const LONG self = static_cast<LONG>(GetCurrentThreadId());
    const LONG batch = g_batchOwner;
    if (batch != 0 && batch != self) return ERROR_INVALID_OPERATION;
    if (InterlockedCompareExchange(&g_owner, self, 0) != 0) return ERROR_INVALID_OPERATION;
    g_ops.clear();
    g_error = NO_ERROR;
    return NO_ERROR;
}

LONG DetourUpdateThread(HANDLE thread) {
    if (!OwnsTransaction()) return ERROR_INVALID_OPERATION;
    // Every other thread is stopped at commit anyway; the calling thread is
    // the one writing and needs nothing.
    (void)thread;
    return NO_ERROR;
}

LONG DetourAttach(PVOID* ppPointer, PVOID pDetour) {
    if (!OwnsTransaction()) return ERROR_INVALID_OPERATION;
    LONG error = NO_ERROR;
    try {
        if (!ppPointer || !pDetour) error = ERROR_INVALID_PARAMETER;
        else if (!*ppPointer) error = ERROR_INVALID_HANDLE;
        uint8_t* target = error ? nullptr : static_cast<uint8_t*>(*ppPointer);
        if (target && Pending(target)) error = ERROR_INVALID_OPERATION;
        for (const Op& op : g_ops)
            if (target && op.record->target == target) error = ERROR_INVALID_OPERATION;
        if (error == NO_ERROR) {
            Record* r = Reusable(target);
            if (!r) r = NewRecord(target, error);
            if (r) {
                g_ops.reserve(g_ops.size() + 1);
                Op op;
                op.attach = true;
                op.record = r;
                op.slot = ppPointer;
                op.detour = pDetour;
                if (r->plan.form == patch::PatchForm::kHotPatch) {
                    patch::BuildJump(Addr(r->writeAt), Addr(pDetour), op.bytes);
                    memcpy(op.bytes + patch::kHotPatchRoom, patch::kHotPatchShortJump, 2);
                    const bool asWanted = memcmp(r->writeAt, op.bytes, patch::kHotPatchRoom) == 0;
                    bool untouched = true;  // still plain padding: nothing can run there
                    for (size_t i = 0; i < patch::kHotPatchRoom; ++i)
                        untouched = untouched && (r->writeAt[i] == 0xCC || r->writeAt[i] == 0x90);
                    op.writePadding = !asWanted;
                    // A jump of an earlier attach may be running right now:
                    // rewriting it needs the other threads stopped.
                    op.needsFreeze = !asWanted && !untouched;
                } else {
                    patch::BuildEntryJump(Addr(target), Addr(pDetour), r->writeLength, op.bytes);
                    op.needsFreeze = true;
                }
                r->pending = true;
                g_ops.push_back(op);
            }
        }
    } catch (...) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error != NO_ERROR) Fail(error);
    return error;
}

LONG DetourDetach(PVOID* ppPointer, PVOID pDetour) {
    if (!OwnsTransaction()) return ERROR_INVALID_OPERATION;
    LONG error = NO_ERROR;
    try {
        Record* r = nullptr;
        if (!ppPointer || !pDetour) error = ERROR_INVALID_PARAMETER;
        else if (!*ppPointer) error = ERROR_INVALID_HANDLE;
        else if (!(r = FindActive(*ppPointer, pDetour)) || r->pending) error = ERROR_INVALID_BLOCK;
        if (error == NO_ERROR) {
            // Someone patched over us since: taking ours out would break theirs.
            const bool hot = r->plan.form == patch::PatchForm::kHotPatch;
            const bool ours = hot ? memcmp(r->target, patch::kHotPatchShortJump, 2) == 0
                                  : r->target[0] == 0xE9;
            if (!ours) error = ERROR_INVALID_BLOCK;
        }
        if (error == NO_ERROR) {
            g_ops.reserve(g_ops.size() + 1);
            Op op;
            op.attach = false;
            op.record = r;
            op.slot = ppPointer;
            op.detour = pDetour;
            op.needsFreeze = r->plan.form != patch::PatchForm::kHotPatch;
            r->pending = true;
            g_ops.push_back(op);
        }
    } catch (...) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error != NO_ERROR) Fail(error);
    return error;
}

LONG DetourTransactionAbort() {
    if (!OwnsTransaction()) return ERROR_INVALID_OPERATION;
    DropOps(g_ops);
    CloseTransaction();
    return NO_ERROR;
}

LONG DetourTransactionCommit() {
    if (!OwnsTransaction()) return ERROR_INVALID_OPERATION;
    LONG error = g_error;
    if (error != NO_ERROR) {
        // One refused operation refuses the whole transaction.
        DropOps(g_ops);
        CloseTransaction();
        return error;
    }
    try {
        // Protection changes happen now, with every thread running; the
        // write itself may wait for the batch.
        size_t done = 0;
        for (; done < g_ops.size(); ++done) {
            Op& op = g_ops[done];
            if (!VirtualProtect(op.record->writeAt, op.record->writeLength, PAGE_EXECUTE_READWRITE,
                                &op.oldProtect)) {
                error = static_cast<LONG>(GetLastError());
                break;
            }
        }
        if (error != NO_ERROR) {
            while (done-- > 0) {
                DWORD unused = 0;
                VirtualProtect(g_ops[done].record->writeAt, g_ops[done].record->writeLength,
                               g_ops[done].oldProtect, &unused);
            }
            DropOps(g_ops);
        } else if (g_batchOwner == static_cast<LONG>(GetCurrentThreadId())) {
            g_batchOps.insert(g_batchOps.end(), g_ops.begin(), g_ops.end());
            g_ops.clear();
        } else {
            Apply(g_ops);
        }
    } catch (...) {
        DropOps(g_ops);
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    CloseTransaction();
    return error;
}
