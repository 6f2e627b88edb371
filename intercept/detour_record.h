#pragma once
// The engine's record of each entry it patched, and how a record is made.
// Records live as long as the process: a trampoline may still be running
// after its detach, and a later attach of the same entry reuses it.
#include <windows.h>

#include <cstdint>

#include "intercept/trampoline_planner.h"

namespace detour {

constexpr size_t kMaxWrite = 24;  // bytes one hook overwrites, hot-patch room included

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

    bool HotPatch() const { return plan.form == patch::PatchForm::kHotPatch; }
};

// The list of records; touched only by the thread holding the transaction.
Record* FirstRecord();

// The active record whose trampoline and detour these are, or null.
Record* FindActive(const void* trampoline, const void* detour);
// True while an operation of the open transaction or batch holds the entry.
bool Pending(const uint8_t* target);
// An earlier record of this entry whose patch was taken out and whose bytes
// are untouched since: its trampoline still fits.
Record* Reusable(uint8_t* target);
// Plans the patch of a new entry and builds its trampoline; null with a Win32
// code in error when the entry cannot be patched.
Record* NewRecord(uint8_t* target, LONG& error);

inline uint32_t Addr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace detour
