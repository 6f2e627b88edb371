#include "intercept/trampoline_planner.h"

#include <cstring>

#include "intercept/x86_decoder.h"

namespace patch {
namespace {

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

bool IsPadding(uint8_t b) { return b == 0xCC || b == 0x90; }

bool IsTwoByteNop(const uint8_t* p) {
    return (p[0] == 0x8B && p[1] == 0xFF) || (p[0] == 0x89 && p[1] == 0xFF) ||
           (p[0] == 0x66 && p[1] == 0x90);
}

uint32_t BranchTarget(const CodeWindow& w, size_t at, const x86::Instruction& insn) {
    return w.address + static_cast<uint32_t>(at + insn.length) + static_cast<uint32_t>(insn.rel);
}

// Strictly inside the overwritten bytes: a branch to the entry itself is fine.
bool LandsInPatch(const CodeWindow& w, uint32_t target, size_t patchLength) {
    const uint32_t delta = target - w.address;
    return delta > 0 && delta < patchLength;
}

bool CanHotPatch(const CodeWindow& w) {
    if (w.after < 2 || w.before < kHotPatchRoom) return false;
    if (!IsTwoByteNop(w.code)) return false;
    for (size_t i = 1; i <= kHotPatchRoom; ++i)
        if (!IsPadding(w.code[-static_cast<ptrdiff_t>(i)])) return false;
    // The two-byte store must not straddle a cache line to be seen whole.
    return (w.address & 63) != 63;
}

// Another hot patch already uses this entry: entry + 2 is its trampoline.
bool IsForeignHotPatch(const CodeWindow& w, size_t at, const x86::Instruction& insn) {
    return at == 0 && insn.flow == x86::Flow::kJmpRel8 && insn.rel == -7 &&
           w.before >= kHotPatchRoom && w.code[-5] == 0xE9;
}

size_t EmittedLength(const x86::Instruction& insn) {
    switch (insn.flow) {
        case x86::Flow::kJccRel8: return insn.prefixCount + 6u;
        case x86::Flow::kJmpRel8: return insn.prefixCount + 5u;
        case x86::Flow::kCallRel:
            return insn.rel == 0 ? 5u : insn.length;
        default: return insn.length;
    }
}

}  // namespace

const char* PlanErrorText(PlanError e) {
    switch (e) {
        case PlanError::kNone: return "none";
        case PlanError::kUndecodable: return "undecodable instruction";
        case PlanError::kTooShort: return "function too short";
        case PlanError::kUnrelocatable: return "unrelocatable branch";
        case PlanError::kBranchIntoPatch: return "branch into patched bytes";
        case PlanError::kTrampolineTooLong: return "trampoline too long";
    }
    return "?";
}

PlanError PlanPatch(const CodeWindow& w, PatchPlan& plan) {
    plan = PatchPlan{};
    if (!w.code || w.after == 0) return PlanError::kUndecodable;
    if (CanHotPatch(w)) {
        plan.form = PatchForm::kHotPatch;
        plan.patchLength = 2;
        return PlanError::kNone;
    }

    // Whole instructions until five bytes are covered.
    size_t at = 0;
    size_t out = 0;
    x86::Instruction insns[kMaxBoundaries];
    uint8_t count = 0;
    while (at < kJumpSize) {
        x86::Instruction& insn = insns[count];
        if (!x86::Decode(w.code + at, w.after - at, insn)) return PlanError::kUndecodable;
        if (insn.flow == x86::Flow::kLoopRel8 || insn.flow == x86::Flow::kXbeginRel ||
            (insn.IsRelativeBranch() && insn.operandSize16))
            return PlanError::kUnrelocatable;
        if (IsForeignHotPatch(w, at, insn)) return PlanError::kBranchIntoPatch;
        plan.sourceOffsets[count] = static_cast<uint8_t>(at);
        plan.trampolineOffsets[count] = static_cast<uint8_t>(out);
        ++count;
        at += insn.length;
        out += EmittedLength(insn);
        if (insn.EndsFlow()) {
            // Code ends here. A jump that can be moved still makes a complete
            // trampoline; a return or a trap before five bytes does not.
            const bool movableJump = insn.flow == x86::Flow::kJmpRel8 ||
                                     insn.flow == x86::Flow::kJmpRel ||
                                     insn.flow == x86::Flow::kJmpIndirect;
            if (at < kJumpSize && !movableJump) return PlanError::kTooShort;
            plan.endsFlow = true;
            break;
        }
    }
    const size_t patchLength = at < kJumpSize ? kJumpSize : at;
    if (patchLength > w.after) return PlanError::kTooShort;
    plan.patchLength = static_cast<uint8_t>(patchLength);
    plan.boundaryCount = count;
    if (!plan.endsFlow) out += kJumpSize;
    if (out > kMaxTrampolineSize) return PlanError::kTrampolineTooLong;
    plan.trampolineLength = static_cast<uint8_t>(out);

    // Branches of the copied code, and of the code that follows it, must not
    // land inside the bytes that the jump overwrites.
    const size_t scanEnd = w.after < kScanBytes ? w.after : kScanBytes;
    size_t pos = 0;
    size_t furthest = 0;  // furthest forward branch target seen, as an offset
    for (uint8_t i = 0; i < count; ++i) {
        if (insns[i].IsRelativeBranch()) {
            const uint32_t target = BranchTarget(w, pos, insns[i]);
            if (LandsInPatch(w, target, patchLength)) return PlanError::kBranchIntoPatch;
            const uint32_t delta = target - w.address;
            if (delta > furthest && delta < scanEnd) furthest = delta;
        }
        pos += insns[i].length;
    }
    if (plan.endsFlow) return PlanError::kNone;
    while (pos < scanEnd) {
        x86::Instruction insn;
        if (!x86::Decode(w.code + pos, scanEnd - pos, insn)) break;
        if (insn.IsRelativeBranch()) {
            const uint32_t target = BranchTarget(w, pos, insn);
            if (LandsInPatch(w, target, patchLength)) return PlanError::kBranchIntoPatch;
            const uint32_t delta = target - w.address;
            if (delta > furthest && delta < scanEnd) furthest = delta;
        }
        pos += insn.length;
        if (insn.EndsFlow() && pos > furthest) break;
    }
    return PlanError::kNone;
}

size_t BuildTrampoline(const CodeWindow& w, const PatchPlan& plan, uint32_t base, uint8_t* out,
                       size_t capacity) {
    if (plan.form != PatchForm::kJump || capacity < plan.trampolineLength) return 0;
    size_t at = 0;
    size_t o = 0;
    for (uint8_t i = 0; i < plan.boundaryCount; ++i) {
        x86::Instruction insn;
        if (!x86::Decode(w.code + at, w.after - at, insn)) return 0;
        const uint8_t* src = w.code + at;
        const uint32_t target = BranchTarget(w, at, insn);
        uint8_t* dst = out + o;
        switch (insn.flow) {
            case x86::Flow::kJccRel8: {
                memcpy(dst, src, insn.prefixCount);
                uint8_t* op = dst + insn.prefixCount;
                op[0] = 0x0F;
                op[1] = static_cast<uint8_t>(0x80 | (src[insn.opcodeOffset] & 0x0F));
                Put32(op + 2, target - (base + static_cast<uint32_t>(o + insn.prefixCount + 6)));
                o += insn.prefixCount + 6u;
                break;
            }
            case x86::Flow::kJmpRel8: {
                memcpy(dst, src, insn.prefixCount);
                uint8_t* op = dst + insn.prefixCount;
                op[0] = 0xE9;
                Put32(op + 1, target - (base + static_cast<uint32_t>(o + insn.prefixCount + 5)));
                o += insn.prefixCount + 5u;
                break;
            }
            case x86::Flow::kCallRel:
                if (insn.rel == 0) {
                    // call $+5 reads its own address: push the original one.
                    dst[0] = 0x68;
                    Put32(dst + 1, w.address + static_cast<uint32_t>(at + insn.length));
                    o += 5;
                    break;
                }
                [[fallthrough]];
            case x86::Flow::kJmpRel:
            case x86::Flow::kJccRel:
                memcpy(dst, src, insn.length);
                Put32(dst + insn.relOffset,
                      target - (base + static_cast<uint32_t>(o + insn.length)));
                o += insn.length;
                break;
            default:
                memcpy(dst, src, insn.length);
                o += insn.length;
                break;
        }
        at += insn.length;
    }
    if (!plan.endsFlow) {
        BuildJump(base + static_cast<uint32_t>(o), w.address + static_cast<uint32_t>(at), out + o);
        o += kJumpSize;
    }
    return o == plan.trampolineLength ? o : 0;
}

void BuildJump(uint32_t from, uint32_t to, uint8_t out[kJumpSize]) {
    out[0] = 0xE9;
    Put32(out + 1, to - (from + static_cast<uint32_t>(kJumpSize)));
}

void BuildEntryJump(uint32_t from, uint32_t to, size_t length, uint8_t* out) {
    BuildJump(from, to, out);
    for (size_t i = kJumpSize; i < length; ++i) out[i] = 0xCC;
}

bool OriginalToTrampoline(const PatchPlan& plan, uint32_t offset, uint32_t& trampolineOffset) {
    if (plan.form != PatchForm::kJump) return false;
    for (uint8_t i = 0; i < plan.boundaryCount; ++i) {
        if (plan.sourceOffsets[i] == offset) {
            trampolineOffset = plan.trampolineOffsets[i];
            return true;
        }
    }
    return false;
}

bool TrampolineToOriginal(const PatchPlan& plan, uint32_t trampolineOffset, uint32_t& offset) {
    if (plan.form != PatchForm::kJump) return false;
    for (uint8_t i = 0; i < plan.boundaryCount; ++i) {
        if (plan.trampolineOffsets[i] == trampolineOffset) {
            offset = plan.sourceOffsets[i];
            return true;
        }
    }
    return false;
}

}  // namespace patch
