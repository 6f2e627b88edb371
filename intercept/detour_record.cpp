#include "intercept/detour_record.h"

#include <cstring>
#include <new>

#include "intercept/code_memory.h"

namespace detour {
namespace {

Record* g_records = nullptr;

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
    w.address = Addr(target);
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

}  // namespace

Record* FirstRecord() { return g_records; }

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

Record* Reusable(uint8_t* target) {
    for (Record* r = g_records; r; r = r->next) {
        if (r->target != target || r->active || r->pending) continue;
        const uint8_t* entry = r->HotPatch() ? r->original + patch::kHotPatchRoom : r->original;
        const size_t n = r->HotPatch() ? 2 : r->writeLength;
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

}  // namespace detour
