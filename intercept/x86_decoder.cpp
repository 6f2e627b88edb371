#include "intercept/x86_decoder.h"

#include <array>

namespace x86 {
namespace {

// Operand shape of one opcode.
enum : uint16_t {
    kNone = 0,
    kModRM = 1 << 0,
    kImm8 = 1 << 1,
    kImm16 = 1 << 2,
    kImmZ = 1 << 3,      // 4 bytes, 2 under the operand-size prefix
    kFarPtr = 1 << 4,    // kImmZ + 2-byte selector
    kMoffs = 1 << 5,     // 4 bytes, 2 under the address-size prefix
    kInvalid = 1 << 6,
    kGroup3 = 1 << 7,    // F6/F7: /0 and /1 carry an immediate
    kRegOnly = 1 << 8,   // 0F 20-23: ModRM always names registers
};

// LOCK is accepted only on read-modify-write forms with a memory destination.
bool Lockable(bool twoByte, uint8_t op, uint8_t reg) {
    if (!twoByte) {
        if (op < 0x40) return (op & 7) < 2 && op != 0x38 && op != 0x39;
        switch (op) {
            case 0x80: case 0x81: case 0x82: case 0x83: return reg != 7;
            case 0x86: case 0x87: return true;
            case 0xF6: case 0xF7: return reg == 2 || reg == 3;
            case 0xFE: case 0xFF: return reg < 2;
            default: return false;
        }
    }
    switch (op) {
        case 0xAB: case 0xB3: case 0xBB: case 0xB0: case 0xB1: case 0xC0: case 0xC1: return true;
        case 0xBA: return reg >= 5;
        case 0xC7: return reg == 1;
        default: return false;
    }
}

using Table = std::array<uint16_t, 256>;

constexpr Table MakeOneByte() {
    Table t{};
    for (int op = 0x00; op < 0x40; ++op) {
        switch (op & 7) {
            case 0: case 1: case 2: case 3: t[op] = kModRM; break;
            case 4: t[op] = kImm8; break;
            case 5: t[op] = kImmZ; break;
            default: t[op] = kNone; break;  // push/pop segment, DAA..AAS, prefixes
        }
    }
    t[0x62] = kModRM;  // BOUND (EVEX when ModRM names registers: refused in Decode)
    t[0x63] = kModRM;
    t[0x68] = kImmZ;
    t[0x69] = kModRM | kImmZ;
    t[0x6A] = kImm8;
    t[0x6B] = kModRM | kImm8;
    for (int op = 0x70; op < 0x80; ++op) t[op] = kImm8;
    t[0x80] = kModRM | kImm8;
    t[0x81] = kModRM | kImmZ;
    t[0x82] = kModRM | kImm8;
    t[0x83] = kModRM | kImm8;
    for (int op = 0x84; op < 0x90; ++op) t[op] = kModRM;
    t[0x9A] = kFarPtr;
    for (int op = 0xA0; op < 0xA4; ++op) t[op] = kMoffs;
    t[0xA8] = kImm8;
    t[0xA9] = kImmZ;
    for (int op = 0xB0; op < 0xB8; ++op) t[op] = kImm8;
    for (int op = 0xB8; op < 0xC0; ++op) t[op] = kImmZ;
    t[0xC0] = kModRM | kImm8;
    t[0xC1] = kModRM | kImm8;
    t[0xC2] = kImm16;
    t[0xC4] = kModRM;  // LES (VEX when ModRM names registers: refused in Decode)
    t[0xC5] = kModRM;  // LDS (likewise)
    t[0xC6] = kModRM | kImm8;
    t[0xC7] = kModRM | kImmZ;
    t[0xC8] = kImm16 | kImm8;
    t[0xCA] = kImm16;
    t[0xCD] = kImm8;
    for (int op = 0xD0; op < 0xD4; ++op) t[op] = kModRM;
    t[0xD4] = kImm8;
    t[0xD5] = kImm8;
    for (int op = 0xD8; op < 0xE0; ++op) t[op] = kModRM;
    for (int op = 0xE0; op < 0xE8; ++op) t[op] = kImm8;
    t[0xE8] = kImmZ;
    t[0xE9] = kImmZ;
    t[0xEA] = kFarPtr;
    t[0xEB] = kImm8;
    t[0xF6] = kModRM | kGroup3;
    t[0xF7] = kModRM | kGroup3;
    t[0xFE] = kModRM;
    t[0xFF] = kModRM;
    return t;
}

constexpr Table MakeTwoByte() {
    Table t{};
    for (int op = 0; op < 256; ++op) t[op] = kModRM;  // most of the map
    for (int op : {0x04, 0x0A, 0x0C, 0x24, 0x25, 0x26, 0x27, 0x36, 0x39, 0x3B, 0x3C, 0x3D,
                   0x3E, 0x3F, 0x7A, 0x7B})
        t[op] = kInvalid;
    // VIA PadLock: a fixed register ModRM each (checked in Decode).
    t[0xA6] = kModRM | kRegOnly;
    t[0xA7] = kModRM | kRegOnly;
    // UD1 and UD0 trap; decoded without operands, as most disassemblers do.
    t[0xB9] = kNone;
    t[0xFF] = kNone;
    for (int op : {0x05, 0x06, 0x07, 0x08, 0x09, 0x0B, 0x0E, 0x30, 0x31, 0x32, 0x33, 0x34,
                   0x35, 0x37, 0x77, 0xA0, 0xA1, 0xA2, 0xA8, 0xA9, 0xAA})
        t[op] = kNone;
    for (int op = 0x20; op < 0x24; ++op) t[op] = kModRM | kRegOnly;
    t[0x0F] = kModRM | kImm8;  // 3DNow!: the immediate byte is the operation
    for (int op = 0x70; op < 0x74; ++op) t[op] = kModRM | kImm8;
    for (int op = 0x80; op < 0x90; ++op) t[op] = kImmZ;
    t[0xA4] = kModRM | kImm8;
    t[0xAC] = kModRM | kImm8;
    t[0xBA] = kModRM | kImm8;
    for (int op = 0xC2; op < 0xC7; ++op) t[op] = (op == 0xC3) ? kModRM : (kModRM | kImm8);
    for (int op = 0xC8; op < 0xD0; ++op) t[op] = kNone;
    return t;
}

constexpr Table kOneByte = MakeOneByte();
constexpr Table kTwoByte = MakeTwoByte();

bool IsLegacyPrefix(uint8_t b) {
    switch (b) {
        case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
        case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3:
            return true;
        default:
            return false;
    }
}

// Length of ModRM and what follows it up to the immediate (SIB, displacement).
// 0 when it would read past avail.
size_t ModRMLength(const uint8_t* p, size_t avail, bool addr16, bool regOnly) {
    if (avail < 1) return 0;
    const uint8_t modrm = p[0];
    const uint8_t mod = modrm >> 6;
    const uint8_t rm = modrm & 7;
    size_t n = 1;
    if (regOnly || mod == 3) return n;
    if (addr16) {
        if (mod == 0 && rm == 6) n += 2;
        else if (mod == 1) n += 1;
        else if (mod == 2) n += 2;
    } else {
        if (rm == 4) {
            if (avail < 2) return 0;
            const uint8_t sib = p[1];
            n += 1;
            if (mod == 0 && (sib & 7) == 5) n += 4;
        }
        if (mod == 0 && rm == 5) n += 4;
        else if (mod == 1) n += 1;
        else if (mod == 2) n += 4;
    }
    return n <= avail ? n : 0;
}

int32_t ReadSigned(const uint8_t* p, uint8_t size) {
    switch (size) {
        case 1: return static_cast<int8_t>(p[0]);
        case 2: return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        default:
            return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                        (static_cast<uint32_t>(p[2]) << 16) |
                                        (static_cast<uint32_t>(p[3]) << 24));
    }
}

}  // namespace

bool Decode(const uint8_t* code, size_t avail, Instruction& out) {
    out = Instruction{};
    if (!code) return false;
    const size_t limit = avail < kMaxInstructionLength ? avail : kMaxInstructionLength;
    size_t i = 0;
    bool lock = false;
    while (i < limit && IsLegacyPrefix(code[i])) {
        if (code[i] == 0x66) out.operandSize16 = true;
        if (code[i] == 0x67) out.addressSize16 = true;
        if (code[i] == 0xF0) lock = true;
        ++i;
    }
    if (i >= limit) return false;
    out.prefixCount = static_cast<uint8_t>(i);
    out.opcodeOffset = static_cast<uint8_t>(i);

    const uint8_t op = code[i++];
    uint16_t shape = 0;
    bool twoByte = false;
    uint8_t op2 = 0;
    if (op == 0x0F) {
        if (i >= limit) return false;
        op2 = code[i++];
        twoByte = true;
        if (op2 == 0x38 || op2 == 0x3A) {
            if (i >= limit) return false;
            ++i;  // third opcode byte
            shape = (op2 == 0x3A) ? (kModRM | kImm8) : kModRM;
        } else {
            shape = kTwoByte[op2];
        }
    } else {
        shape = kOneByte[op];
        // VEX (C4, C5), EVEX (62) and XOP (8F) reuse opcodes whose ModRM would
        // otherwise name a memory operand.
        if ((op == 0xC4 || op == 0xC5 || op == 0x62) && (i >= limit || (code[i] >> 6) == 3))
            return false;
        if (op == 0x8F && (i >= limit || ((code[i] >> 3) & 7) != 0)) return false;
    }
    if (shape & kInvalid) return false;
    if (twoByte && (op2 == 0xA6 || op2 == 0xA7)) {
        if (i >= limit) return false;
        const uint8_t m = code[i];
        const bool ok = op2 == 0xA6 ? (m == 0xC0 || m == 0xC8 || m == 0xD0)
                                    : (m >= 0xC0 && m <= 0xE8 && (m & 7) == 0);
        if (!ok) return false;
    }
    if (!twoByte && (shape & kModRM)) {
        if (i >= limit) return false;
        const uint8_t reg = (code[i] >> 3) & 7;
        const bool registerForm = (code[i] >> 6) == 3;
        if (op == 0xFE && reg > 1) return false;
        if (op == 0xFF && reg == 7) return false;
        if (op == 0x8D && registerForm) return false;  // LEA needs a memory operand
        // C6/C7 are MOV only as /0; /7 with ModRM F8 is XABORT/XBEGIN.
        if ((op == 0xC6 || op == 0xC7) && reg != 0 && code[i] != 0xF8) return false;
    }
    if (twoByte && (op2 == 0xB2 || op2 == 0xB4 || op2 == 0xB5)) {
        if (i >= limit || (code[i] >> 6) == 3) return false;  // LSS/LFS/LGS need memory
    }
    if (lock) {
        if (!(shape & kModRM) || i >= limit || (code[i] >> 6) == 3) return false;
        if (op2 == 0x38 || op2 == 0x3A) return false;
        if (!Lockable(twoByte, twoByte ? op2 : op, (code[i] >> 3) & 7)) return false;
    }

    if (shape & kModRM) {
        const size_t n = ModRMLength(code + i, limit - i, out.addressSize16, (shape & kRegOnly) != 0);
        if (n == 0) return false;
        if ((shape & kGroup3) && ((code[i] >> 3) & 7) < 2) shape |= (op == 0xF6) ? kImm8 : kImmZ;
        i += n;
    }

    size_t imm = 0;
    if (shape & kImmZ) imm += out.operandSize16 ? 2 : 4;
    if (shape & kFarPtr) imm += (out.operandSize16 ? 2 : 4) + 2;
    if (shape & kMoffs) imm += out.addressSize16 ? 2 : 4;
    if (shape & kImm16) imm += 2;
    if (shape & kImm8) imm += 1;
    if (i + imm > limit) return false;
    const size_t immOffset = i;
    i += imm;
    out.length = static_cast<uint8_t>(i);

    // Flow classification.
    auto relative = [&](Flow flow, uint8_t size) {
        out.flow = flow;
        out.relOffset = static_cast<uint8_t>(immOffset);
        out.relSize = size;
        out.rel = ReadSigned(code + immOffset, size);
    };
    const uint8_t wide = out.operandSize16 ? 2 : 4;
    if (twoByte) {
        if (op2 >= 0x80 && op2 <= 0x8F) relative(Flow::kJccRel, wide);
        else if (op2 == 0x0B || op2 == 0xB9 || op2 == 0xFF) out.flow = Flow::kTrap;
        return true;
    }
    const uint8_t reg = (shape & kModRM) ? ((code[out.opcodeOffset + 1] >> 3) & 7) : 0;
    if (op >= 0x70 && op <= 0x7F) relative(Flow::kJccRel8, 1);
    else if (op == 0xEB) relative(Flow::kJmpRel8, 1);
    else if (op >= 0xE0 && op <= 0xE3) relative(Flow::kLoopRel8, 1);
    else if (op == 0xE8) relative(Flow::kCallRel, wide);
    else if (op == 0xE9) relative(Flow::kJmpRel, wide);
    else if (op == 0xC7 && code[out.opcodeOffset + 1] == 0xF8) relative(Flow::kXbeginRel, wide);
    else if (op == 0xEA || (op == 0xFF && (reg == 4 || reg == 5))) out.flow = Flow::kJmpIndirect;
    else if (op == 0xC3 || op == 0xC2 || op == 0xCB || op == 0xCA || op == 0xCF) out.flow = Flow::kReturn;
    else if (op == 0xCC) out.flow = Flow::kTrap;
    return true;
}

}  // namespace x86
