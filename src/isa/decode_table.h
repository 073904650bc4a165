// Which 16-bit opcode is which SH-2 instruction: the 142 mask/match rows of
// the instruction list. No two rows share an opcode; an opcode that matches
// no row is undefined.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "isa/flow.h"
#include "isa/instruction_list.h"

namespace sh2 {

// One enumerator per decode row, in row order.
enum class Instruction : uint8_t {
#define SH2_ENUMERATOR(name, ...) name,
    SH2_INSTRUCTION_LIST(SH2_ENUMERATOR)
#undef SH2_ENUMERATOR
};

// The sources the handlers live in.
enum class InstructionGroup : uint8_t {
    DataTransfer,
    DataTransferConstant,
    Arithmetic,
    Logic,
    Branch,
    SystemControl,
    Multiply,
};

// A row's bit pattern: sixteen characters, bit 15 first; '0' and '1' are the
// identifying bits, letters the operand fields.
constexpr bool IsFixedBit(char c) {
    return c == '0' || c == '1';
}

constexpr uint16_t PatternMask(const char *bits) {
    uint16_t mask = 0;
    for (int i = 0; i < 16; ++i) mask = static_cast<uint16_t>((mask << 1) | (IsFixedBit(bits[i]) ? 1 : 0));
    return mask;
}

constexpr uint16_t PatternMatch(const char *bits) {
    uint16_t match = 0;
    for (int i = 0; i < 16; ++i) match = static_cast<uint16_t>((match << 1) | (bits[i] == '1' ? 1 : 0));
    return match;
}

// Where an operand field lies in the opcode; width 0 when the pattern has
// no such field.
struct OperandField {
    unsigned shift;
    unsigned width;
};

constexpr OperandField FieldOf(const char *bits, char letter) {
    unsigned width = 0, lowest = 0;
    for (int i = 0; i < 16; ++i) {
        if (bits[i] == letter) {
            ++width;
            lowest = static_cast<unsigned>(15 - i);
        }
    }
    return {width == 0 ? 0 : lowest, width};
}

struct OpcodePattern {
    uint16_t mask;   // the bits that identify the instruction
    uint16_t match;  // the value those bits must have
    Instruction instruction;
    InstructionGroup group;
    const char *bits;      // the bit pattern of the instruction list
    const char *mnemonic;  // as binutils prints it, e.g. "mov.l"
    const char *operands;  // the operand form, e.g. "@(d*4,Rm),Rn"
    int32_t cycles;
    int32_t notTakenCycles;
    Flow flow;
};

inline constexpr std::array DecodePatternTable = {
// clang-format off
#define SH2_PATTERN(name, group, bits, mnemonic, operands, cycles, notTaken, flow, handler)                        \
    OpcodePattern{PatternMask(bits), PatternMatch(bits), Instruction::name, InstructionGroup::group, bits, mnemonic, \
                  operands, cycles, notTaken, Flow::flow},
    // clang-format on
    SH2_INSTRUCTION_LIST(SH2_PATTERN)
#undef SH2_PATTERN
};

// Every pattern has sixteen characters, its fields are the four kinds and
// each is one run of bits, n at bits 11..8 and m at bits 7..4 where they are
// (the handlers' N<Op> and M<Op> read them there).
constexpr bool WellFormed(const char *bits) {
    for (int i = 0; i < 16; ++i) {
        const char c = bits[i];
        if (c == '\0' || !(IsFixedBit(c) || c == 'n' || c == 'm' || c == 'i' || c == 'd')) return false;
        if (!IsFixedBit(c) && i > 0 && bits[i - 1] != c) {
            for (int j = 0; j < i - 1; ++j) {
                if (bits[j] == c) return false;  // a second run of the same field
            }
        }
    }
    const OperandField n = FieldOf(bits, 'n'), m = FieldOf(bits, 'm');
    return bits[16] == '\0' && (n.width == 0 || (n.shift == 8 && n.width == 4)) &&
           (m.width == 0 || (m.shift == 4 && m.width == 4));
}
static_assert(
    [] {
        for (const OpcodePattern &row : DecodePatternTable) {
            if (!WellFormed(row.bits)) return false;
        }
        return true;
    }(),
    "a bit pattern of the instruction list is malformed");

// Two rows share an opcode when their identifying bits agree wherever both
// rows have one: then an opcode with those bits, and any value in the rest,
// matches both.
constexpr bool RowsShareAnOpcode(const OpcodePattern &a, const OpcodePattern &b) {
    return ((a.match ^ b.match) & a.mask & b.mask) == 0;
}

template <size_t kRows>
constexpr bool NoTwoRowsShareAnOpcode(const std::array<OpcodePattern, kRows> &rows) {
    for (size_t i = 0; i < kRows; ++i) {
        for (size_t j = i + 1; j < kRows; ++j) {
            if (RowsShareAnOpcode(rows[i], rows[j])) return false;
        }
    }
    return true;
}
static_assert(NoTwoRowsShareAnOpcode(DecodePatternTable), "two rows of the instruction list share an opcode");

inline constexpr size_t kDecodeRowCount = DecodePatternTable.size();
static_assert(kDecodeRowCount == 142);

constexpr const OpcodePattern &PatternOf(Instruction instruction) {
    return DecodePatternTable[static_cast<size_t>(instruction)];
}

// The row an opcode belongs to, or null for an undefined opcode. Rows are
// tried in table order.
const OpcodePattern *FindDecodeRow(uint16_t opcode);

}  // namespace sh2
