#pragma once
// Plans how a function's entry is replaced by a jump to its detour, and builds
// the trampoline that runs the replaced instructions elsewhere and jumps back.
// Pure code: works on bytes and 32-bit addresses only, builds natively too.
//
// Two forms:
//  - hot patch: the entry is a two-byte no-op (8B FF, 89 FF, 66 90) with five
//    bytes of padding (CC/90) above it. The padding gets a jump to the detour
//    and the entry becomes a short jump to it, one atomic two-byte store. The
//    trampoline is simply entry + 2.
//  - jump: whole instructions covering at least five bytes are copied into a
//    trampoline (position-relative ones relocated) and the entry becomes a
//    five-byte jump; the rest of the copied bytes are filled with int3.
#include <cstddef>
#include <cstdint>

namespace patch {

constexpr size_t kJumpSize = 5;
constexpr size_t kHotPatchRoom = 5;            // padding bytes above the entry
constexpr size_t kMaxBoundaries = 8;
constexpr size_t kMaxTrampolineSize = 64;
constexpr size_t kScanBytes = 64;              // how far branch targets are looked for

enum class PlanError {
    kNone,
    kUndecodable,       // an instruction in the patched bytes is not understood
    kTooShort,          // the code ends (ret, int3, ...) before five bytes
    kUnrelocatable,     // LOOPx/JCXZ, XBEGIN, or a 16-bit branch in the patched bytes
    kBranchIntoPatch,   // some branch lands inside the bytes that would be overwritten
    kTrampolineTooLong,
};

enum class PatchForm { kJump, kHotPatch };

struct CodeWindow {
    const uint8_t* code = nullptr;   // the entry of the function
    size_t after = 0;                // readable bytes from code on
    size_t before = 0;               // readable bytes just below code
    uint32_t address = 0;            // run-time address of code[0]
};

struct PatchPlan {
    PatchForm form = PatchForm::kJump;
    uint8_t patchLength = 0;         // bytes overwritten from the entry on (jump form)
    uint8_t boundaryCount = 0;       // instructions copied (jump form)
    uint8_t sourceOffsets[kMaxBoundaries] = {};      // their starts in the original
    uint8_t trampolineOffsets[kMaxBoundaries] = {};  // and in the trampoline
    uint8_t trampolineLength = 0;
    bool endsFlow = false;           // the copied code never falls through: no jump back
};

PlanError PlanPatch(const CodeWindow& window, PatchPlan& plan);
const char* PlanErrorText(PlanError e);

// Writes the trampoline of a jump-form plan as it will run at trampolineAddress.
// Returns its length (plan.trampolineLength), 0 if capacity is too small.
size_t BuildTrampoline(const CodeWindow& window, const PatchPlan& plan, uint32_t trampolineAddress,
                       uint8_t* out, size_t capacity);

// The bytes that replace the first plan.patchLength bytes (jump form).
void BuildEntryJump(uint32_t from, uint32_t to, size_t length, uint8_t* out);

// A five-byte E9 jump at from to to.
void BuildJump(uint32_t from, uint32_t to, uint8_t out[kJumpSize]);

// The two bytes stored at the entry of a hot-patched function (EB F9).
constexpr uint8_t kHotPatchShortJump[2] = {0xEB, 0xF9};

// Instruction pointer maps for threads caught inside patched or copied bytes.
// True with the new offset when offset is an instruction start of the plan.
bool OriginalToTrampoline(const PatchPlan& plan, uint32_t offset, uint32_t& trampolineOffset);
bool TrampolineToOriginal(const PatchPlan& plan, uint32_t trampolineOffset, uint32_t& offset);

}  // namespace patch
