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

struct OpcodePattern {
    uint16_t mask;   // the bits that identify the instruction
    uint16_t match;  // the value those bits must have
    Instruction instruction;
    InstructionGroup group;
    const char *mnemonic;  // as binutils prints it, e.g. "mov.l"
    const char *operands;  // binutils' operand form, e.g. "@(disp,Rm),Rn"
    int32_t cycles;
    int32_t notTakenCycles;
    Flow flow;
};

inline constexpr std::array DecodePatternTable = {
#define SH2_PATTERN(name, group, mask, match, mnemonic, operands, cycles, notTaken, flow, handler) \
    OpcodePattern{mask, match, Instruction::name, InstructionGroup::group, mnemonic, operands, cycles, notTaken, Flow::flow},
    SH2_INSTRUCTION_LIST(SH2_PATTERN)
#undef SH2_PATTERN
};

inline constexpr size_t kDecodeRowCount = DecodePatternTable.size();
static_assert(kDecodeRowCount == 142);

constexpr const OpcodePattern &PatternOf(Instruction instruction) {
    return DecodePatternTable[static_cast<size_t>(instruction)];
}

// The row an opcode belongs to, or null for an undefined opcode. Rows are
// tried in table order.
const OpcodePattern *FindDecodeRow(uint16_t opcode);

}  // namespace sh2
