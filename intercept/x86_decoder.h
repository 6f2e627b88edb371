#pragma once
// Length decoder for 32-bit x86 code, as found in the first bytes of the
// functions we patch. Pure code: no Windows dependency, builds natively too.
//
// Covers the legacy encodings: prefixes (66, 67, segment, F0, F2, F3), the
// one-byte map, 0F xx, 0F 38 xx, 0F 3A xx and 3DNow! (0F 0F), with ModRM, SIB,
// displacements and immediates in both address sizes. VEX, EVEX and XOP
// encodings are reported as undecodable: they never open a function that can
// be patched safely without understanding them.
#include <cstddef>
#include <cstdint>

namespace x86 {

// What an instruction does to the flow of control, as far as copying it to
// another address is concerned.
enum class Flow : uint8_t {
    kPlain,        // falls through; position independent
    kJccRel8,      // 70-7F
    kJmpRel8,      // EB
    kLoopRel8,     // E0-E3: LOOPNE, LOOPE, LOOP, JCXZ/JECXZ (no rel32 form exists)
    kCallRel,      // E8 (rel32, or rel16 under 66)
    kJmpRel,       // E9
    kJccRel,       // 0F 80-8F
    kXbeginRel,    // C7 F8
    kJmpIndirect,  // FF /4, FF /5, EA: ends the code, position independent
    kReturn,       // C3, C2, CB, CA, CF
    kTrap,         // CC, and 0F 0B (UD2): nothing after it belongs to the flow
};

struct Instruction {
    uint8_t length = 0;
    uint8_t prefixCount = 0;      // legacy prefixes before the opcode
    uint8_t opcodeOffset = 0;     // first opcode byte (after prefixes)
    uint8_t relOffset = 0;        // position of a relative displacement, if any
    uint8_t relSize = 0;          // 1, 2 or 4 for relative branches, else 0
    bool operandSize16 = false;   // 66 present
    bool addressSize16 = false;   // 67 present
    Flow flow = Flow::kPlain;
    int32_t rel = 0;              // sign-extended relative displacement

    bool IsRelativeBranch() const { return relSize != 0; }
    // Control never falls through to the next instruction.
    bool EndsFlow() const {
        return flow == Flow::kJmpRel8 || flow == Flow::kJmpRel || flow == Flow::kJmpIndirect ||
               flow == Flow::kReturn || flow == Flow::kTrap;
    }
};

constexpr size_t kMaxInstructionLength = 15;

// Decodes the instruction at code[0..avail). False when the bytes do not form
// an instruction this decoder knows, or when it would extend past avail.
bool Decode(const uint8_t* code, size_t avail, Instruction& out);

}  // namespace x86
