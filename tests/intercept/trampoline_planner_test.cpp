// Patch plans and trampolines built from hand-assembled function entries.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "intercept/trampoline_planner.h"

namespace {

using patch::PlanError;

// A function's bytes placed at a run-time address, with padding above it.
struct Code {
    Code(std::vector<uint8_t> body, uint32_t address = 0x10001000, uint8_t pad = 0xCC,
         size_t room = 16)
        : bytes(room, pad), room(room) {
        bytes.insert(bytes.end(), body.begin(), body.end());
        bytes.resize(bytes.size() + 32, 0xCC);  // what follows the function
        window.code = bytes.data() + room;
        window.after = bytes.size() - room;
        window.before = room;
        window.address = address;
    }
    std::vector<uint8_t> bytes;
    size_t room;
    patch::CodeWindow window;
};

uint32_t Rel32At(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The absolute target of the E9/E8/0F 8x at p, placed at address.
uint32_t TargetOf(const uint8_t* p, uint32_t address) {
    if (p[0] == 0x0F) return address + 6 + Rel32At(p + 2);
    return address + 5 + Rel32At(p + 1);
}

TEST(TrampolinePlanner, HotPatchPrologueWithPaddingNeedsNoCopy) {
    for (uint8_t pad : {0xCC, 0x90}) {
        Code c({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, 0x10001000, pad);
        patch::PatchPlan plan;
        ASSERT_EQ(PlanError::kNone, patch::PlanPatch(c.window, plan));
        EXPECT_EQ(patch::PatchForm::kHotPatch, plan.form);
    }
    // No room above (real code before the entry): the jump form.
    Code tight({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, 0x10001000, 0xC3);
    patch::PatchPlan plan;
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(tight.window, plan));
    EXPECT_EQ(patch::PatchForm::kJump, plan.form);
    EXPECT_EQ(5, plan.patchLength);  // 8B FF | 55 | 8B EC
    EXPECT_EQ(3, plan.boundaryCount);
    // An entry whose two bytes would straddle a cache line is not hot-patched.
    Code straddle({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, 0x1000103F);
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(straddle.window, plan));
    EXPECT_EQ(patch::PatchForm::kJump, plan.form);
}

TEST(TrampolinePlanner, StackRealigningPrologueIsCopiedWhole) {
    Code c({0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC, 0x55, 0x89, 0xE5, 0xC3});
    patch::PatchPlan plan;
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(c.window, plan));
    EXPECT_EQ(7, plan.patchLength);
    EXPECT_EQ(2, plan.boundaryCount);
    uint8_t t[64];
    ASSERT_EQ(12u, patch::BuildTrampoline(c.window, plan, 0x20000000, t, sizeof t));
    EXPECT_EQ(0, memcmp(t, c.window.code, 7));
    EXPECT_EQ(0xE9, t[7]);
    EXPECT_EQ(0x10001007u, TargetOf(t + 7, 0x20000007));
    uint32_t to = 0;
    ASSERT_TRUE(patch::OriginalToTrampoline(plan, 4, to));
    EXPECT_EQ(4u, to);
    EXPECT_FALSE(patch::OriginalToTrampoline(plan, 5, to));
}

TEST(TrampolinePlanner, ShortConditionalJumpIsWidened) {
    // test ecx,ecx; jz +5; mov eax,1; ret; mov eax,2; ret
    Code c({0x85, 0xC9, 0x74, 0x06, 0xB8, 0x01, 0, 0, 0, 0xC3, 0xB8, 0x02, 0, 0, 0, 0xC3});
    patch::PatchPlan plan;
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(c.window, plan));
    EXPECT_EQ(9, plan.patchLength);
    uint8_t t[64];
    const uint32_t base = 0x20000000;
    const size_t n = patch::BuildTrampoline(c.window, plan, base, t, sizeof t);
    ASSERT_EQ(2u + 6u + 5u + 5u, n);
    EXPECT_EQ(0x0F, t[2]);
    EXPECT_EQ(0x84, t[3]);
    EXPECT_EQ(0x1000100Au, TargetOf(t + 2, base + 2));  // the original jz target
    EXPECT_EQ(0x1000100Au - 0, TargetOf(t + 2, base + 2));
    EXPECT_EQ(0, memcmp(t + 8, c.window.code + 4, 5));  // mov eax,1
    EXPECT_EQ(0x10001009u, TargetOf(t + 13, base + 13));  // back behind the copy
    uint32_t to = 0;
    ASSERT_TRUE(patch::OriginalToTrampoline(plan, 4, to));
    EXPECT_EQ(8u, to);
    uint32_t back = 0;
    ASSERT_TRUE(patch::TrampolineToOriginal(plan, 8, back));
    EXPECT_EQ(4u, back);
}

TEST(TrampolinePlanner, CallAndJumpRel32AreRelocated) {
    Code call({0xE8, 0x10, 0x00, 0x00, 0x00, 0x40, 0xC3});
    patch::PatchPlan plan;
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(call.window, plan));
    uint8_t t[64];
    ASSERT_EQ(10u, patch::BuildTrampoline(call.window, plan, 0x30000000, t, sizeof t));
    EXPECT_EQ(0xE8, t[0]);
    EXPECT_EQ(0x10001015u, TargetOf(t, 0x30000000));
    EXPECT_EQ(0x10001005u, TargetOf(t + 5, 0x30000005));

    Code jump({0xE9, 0x00, 0x01, 0x00, 0x00});
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(jump.window, plan));
    EXPECT_TRUE(plan.endsFlow);
    ASSERT_EQ(5u, patch::BuildTrampoline(jump.window, plan, 0x30000000, t, sizeof t));
    EXPECT_EQ(0x10001105u, TargetOf(t, 0x30000000));

    // call $+5 / pop: the pushed address must stay the original one.
    Code pc({0xE8, 0, 0, 0, 0, 0x58, 0xC3});
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(pc.window, plan));
    ASSERT_EQ(10u, patch::BuildTrampoline(pc.window, plan, 0x30000000, t, sizeof t));
    EXPECT_EQ(0x68, t[0]);
    EXPECT_EQ(0x10001005u, Rel32At(t + 1));
}

TEST(TrampolinePlanner, EntryJumpsEndTheCopy) {
    patch::PatchPlan plan;
    uint8_t t[64];
    // jmp [imm32]: absolute, copied as is, six bytes.
    Code stub({0xFF, 0x25, 0x78, 0x56, 0x34, 0x12, 0x90, 0x90});
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(stub.window, plan));
    EXPECT_EQ(6, plan.patchLength);
    ASSERT_EQ(6u, patch::BuildTrampoline(stub.window, plan, 0x30000000, t, sizeof t));
    EXPECT_EQ(0, memcmp(t, stub.window.code, 6));
    // jmp rel8 at the entry: widened, five bytes overwritten.
    Code shortJump({0xEB, 0x10});
    ASSERT_EQ(PlanError::kNone, patch::PlanPatch(shortJump.window, plan));
    EXPECT_EQ(5, plan.patchLength);
    ASSERT_EQ(5u, patch::BuildTrampoline(shortJump.window, plan, 0x30000000, t, sizeof t));
    EXPECT_EQ(0x10001012u, TargetOf(t, 0x30000000));
}

TEST(TrampolinePlanner, RefusesWhatCannotBeMoved) {
    patch::PatchPlan plan;
    EXPECT_EQ(PlanError::kTooShort, patch::PlanPatch(Code({0xC3}).window, plan));
    EXPECT_EQ(PlanError::kTooShort, patch::PlanPatch(Code({0x33, 0xC0, 0xC3}).window, plan));
    EXPECT_EQ(PlanError::kTooShort, patch::PlanPatch(Code({0x40, 0xC2, 0x04, 0x00}).window, plan));
    // Ending exactly at five bytes is enough.
    EXPECT_EQ(PlanError::kNone, patch::PlanPatch(Code({0x31, 0xC0, 0xC2, 0x04, 0x00}).window, plan));
    EXPECT_EQ(PlanError::kTooShort, patch::PlanPatch(Code({0x40, 0xCC, 0xCC, 0xCC, 0xCC}).window, plan));
    // loop / jecxz have no long form.
    EXPECT_EQ(PlanError::kUnrelocatable,
              patch::PlanPatch(Code({0xE3, 0x05, 0x90, 0x90, 0x90, 0x90, 0xC3}).window, plan));
    EXPECT_EQ(PlanError::kUnrelocatable,
              patch::PlanPatch(Code({0x49, 0xE2, 0xFD, 0x90, 0x90, 0xC3}).window, plan));
    // 16-bit branch: truncates EIP.
    EXPECT_EQ(PlanError::kUnrelocatable,
              patch::PlanPatch(Code({0x66, 0xE9, 0x10, 0x00, 0x90, 0xC3}).window, plan));
    // A VEX instruction in the first bytes.
    EXPECT_EQ(PlanError::kUndecodable,
              patch::PlanPatch(Code({0xC5, 0xF8, 0x77, 0x90, 0x90, 0xC3}).window, plan));
    // Too few readable bytes.
    Code tail({0x55, 0x8B, 0xEC});
    tail.window.after = 3;
    EXPECT_EQ(PlanError::kUndecodable, patch::PlanPatch(tail.window, plan));
}

TEST(TrampolinePlanner, RefusesBranchesIntoThePatchedBytes) {
    patch::PatchPlan plan;
    // xor eax,eax; inc eax; cmp eax,5; jne -> inc eax (offset 2)
    Code loop({0x31, 0xC0, 0x40, 0x83, 0xF8, 0x05, 0x75, 0xFA, 0xC3});
    EXPECT_EQ(PlanError::kBranchIntoPatch, patch::PlanPatch(loop.window, plan));
    // The same through a rel32 branch further on.
    Code far({0x31, 0xC0, 0x40, 0x83, 0xF8, 0x05, 0x0F, 0x85, 0xF6, 0xFF, 0xFF, 0xFF, 0xC3});
    EXPECT_EQ(PlanError::kBranchIntoPatch, patch::PlanPatch(far.window, plan));
    // A branch to the entry itself is fine.
    Code toEntry({0x31, 0xC0, 0x40, 0x83, 0xF8, 0x05, 0x75, 0xF8, 0xC3});
    EXPECT_EQ(PlanError::kNone, patch::PlanPatch(toEntry.window, plan));
    // A branch past the first return still counts: the scan follows it.
    Code pastRet({0x55, 0x89, 0xE5, 0x74, 0x01, 0xC3, 0xEB, 0xFA});
    EXPECT_EQ(PlanError::kBranchIntoPatch, patch::PlanPatch(pastRet.window, plan));
    // Someone else's hot patch: entry + 2 is its trampoline.
    Code foreign({0xEB, 0xF9, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, 0x10001000, 0xCC);
    foreign.bytes[foreign.room - 5] = 0xE9;
    EXPECT_EQ(PlanError::kBranchIntoPatch, patch::PlanPatch(foreign.window, plan));
}

TEST(TrampolinePlanner, EntryJumpFillsTheRestWithTraps) {
    uint8_t bytes[7];
    patch::BuildEntryJump(0x10001000, 0x20000000, sizeof bytes, bytes);
    EXPECT_EQ(0xE9, bytes[0]);
    EXPECT_EQ(0x20000000u, TargetOf(bytes, 0x10001000));
    EXPECT_EQ(0xCC, bytes[5]);
    EXPECT_EQ(0xCC, bytes[6]);
    // Wraps around the address space like the processor does.
    patch::BuildJump(0xF0000000, 0x10000000, bytes);
    EXPECT_EQ(0x10000000u, TargetOf(bytes, 0xF0000000));
}

}  // namespace
