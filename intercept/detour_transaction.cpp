// The five transaction operations and the batch: who may open a transaction,
// what it gathers, and when its code is written.
#include <vector>

#include "intercept/detour.h"
#include "intercept/detour_plan.h"
#include "intercept/detour_record.h"
#include "intercept/detour_write.h"

namespace detour {
namespace {

volatile LONG g_owner = 0;        // thread id holding the open transaction
volatile LONG g_batchOwner = 0;   // thread id holding the open batch
LONG g_error = NO_ERROR;          // first failure of the open transaction
std::vector<Op> g_ops;            // operations of the open transaction
std::vector<Op> g_batchOps;       // committed, waiting for EndBatch

bool OwnsTransaction() { return g_owner == static_cast<LONG>(GetCurrentThreadId()); }

void Fail(LONG error) {
    if (g_error == NO_ERROR) g_error = error;
}

void CloseTransaction() {
    g_ops.clear();
    g_error = NO_ERROR;
    InterlockedExchange(&g_owner, 0);
}

// The entry an attach may patch, or a Win32 code why not.
LONG CheckAttach(PVOID* ppPointer, PVOID pDetour) {
    if (!ppPointer || !pDetour) return ERROR_INVALID_PARAMETER;
    if (!*ppPointer) return ERROR_INVALID_HANDLE;
    const uint8_t* target = static_cast<const uint8_t*>(*ppPointer);
    if (Pending(target)) return ERROR_INVALID_OPERATION;
    for (const Op& op : g_ops)
        if (op.record->target == target) return ERROR_INVALID_OPERATION;
    return NO_ERROR;
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
    ApplyOps(g_batchOps);
    InterlockedExchange(&g_batchOwner, 0);
}

HookState DescribeHook(const void* target) {
    HookState s;
    for (Record* r = FirstRecord(); r; r = r->next) {
        if (r->target != target || !r->active) continue;
        s.hooked = true;
        s.hotPatch = r->HotPatch();
        s.patchLength = r->plan.patchLength;
        s.trampoline = r->trampoline;
        s.detour = r->detour;
        return s;
    }
    return s;
}

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
        error = CheckAttach(ppPointer, pDetour);
        if (error == NO_ERROR) {
            uint8_t* target = static_cast<uint8_t*>(*ppPointer);
            Record* r = Reusable(target);
            if (!r) r = NewRecord(target, error);
            if (r) {
                g_ops.reserve(g_ops.size() + 1);
                g_ops.push_back(PlanAttach(r, ppPointer, pDetour));
                r->pending = true;
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
        Op op;
        if (error == NO_ERROR) error = PlanDetach(r, ppPointer, pDetour, op);
        if (error == NO_ERROR) {
            g_ops.reserve(g_ops.size() + 1);
            g_ops.push_back(op);
            r->pending = true;
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
            ApplyOps(g_ops);
        }
    } catch (...) {
        DropOps(g_ops);
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    CloseTransaction();
    return error;
}
