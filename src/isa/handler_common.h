// Building blocks of the specialised instruction handlers. A handler is a
// class template over the full opcode whose static Run executes exactly that
// opcode: register numbers, immediates and displacements are compile-time
// constants taken from the opcode's bits.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "bus/memory.h"
#include "core/run_loop.h"
#include "core/sh2_core.h"
#include "isa/decode_table.h"
#include "isa/opcode_handler.h"

namespace sh2::isa {

// Operand fields of an opcode.
template <uint16_t Op> inline constexpr unsigned N = (Op >> 8) & 0xF;  // bits 11..8
template <uint16_t Op> inline constexpr unsigned M = (Op >> 4) & 0xF;  // bits 7..4
template <uint16_t Op> inline constexpr uint32_t Disp4 = Op & 0xF;
template <uint16_t Op> inline constexpr uint32_t Disp8 = Op & 0xFF;
template <uint16_t Op> inline constexpr uint32_t Imm8Unsigned = Op & 0xFF;
template <uint16_t Op>
inline constexpr uint32_t Imm8Signed = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(Op & 0xFF)));
// Branch displacements in bytes, already doubled and sign-extended.
template <uint16_t Op> inline constexpr uint32_t BranchOffset8 = Imm8Signed<Op> * 2u;
template <uint16_t Op>
inline constexpr uint32_t BranchOffset12 = static_cast<uint32_t>(((Op & 0xFFF) ^ 0x800) - 0x800) * 2u;

inline uint32_t SignExtend8(uint32_t value) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(value & 0xFF)));
}
inline uint32_t SignExtend16(uint32_t value) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(value & 0xFFFF)));
}

// The common end of a handler that does not change the flow of control.
inline void Advance(SH2Core &core, int32_t cycles) {
    core.PC += 2;
    core.sliceCycles += cycles;
}

// A delayed branch to `target`: PC is set before the slot runs, so the slot
// sees the target. A delayed branch (or RTE) that itself runs as a delay slot
// does not run a second slot: it acts as an immediate jump to its target,
// which keeps slot execution from nesting.
inline void DelayedBranch(SH2Core &core, uint32_t target, int32_t cycles) {
    const uint32_t slotAddress = core.PC + 2;
    core.sliceCycles += cycles;
    if (core.inDelaySlot) {
        core.PC = target + 2;  // the outer ExecuteDelaySlot takes the 2 off
        return;
    }
    core.PC = target;
    ExecuteDelaySlot(core, slotAddress);
}

// Places the bits of `index` into the zero bits of `mask`, lowest first: the
// opcode of a row that has operand value `index`.
constexpr uint16_t DepositOperandBits(uint32_t index, uint16_t mask) {
    uint16_t result = 0;
    for (unsigned bit = 0; bit < 16; ++bit) {
        if ((mask & (1u << bit)) == 0) {
            result = static_cast<uint16_t>(result | ((index & 1u) << bit));
            index >>= 1;
        }
    }
    return result;
}

// The inverse: gathers the operand bits of `opcode` (the zero bits of mask).
constexpr uint32_t ExtractOperandBits(uint16_t opcode, uint16_t mask) {
    uint32_t index = 0;
    unsigned position = 0;
    for (unsigned bit = 0; bit < 16; ++bit) {
        if ((mask & (1u << bit)) == 0) {
            index |= ((opcode >> bit) & 1u) << position;
            ++position;
        }
    }
    return index;
}

constexpr size_t RowSize(uint16_t mask) { return size_t{1} << (16 - std::popcount(mask)); }

template <template <uint16_t> class Handler, uint16_t Match, uint16_t Mask, size_t... Index>
constexpr std::array<OpcodeHandler, sizeof...(Index)> MakeRowHandlers(std::index_sequence<Index...>) {
    return {{&Handler<static_cast<uint16_t>(Match | DepositOperandBits(Index, Mask))>::Run...}};
}

// The specialised handlers of one decode row, indexed by operand bits.
template <template <uint16_t> class Handler, Instruction Row>
inline constexpr auto kRowHandlers = MakeRowHandlers<Handler, PatternOf(Row).match, PatternOf(Row).mask>(
    std::make_index_sequence<RowSize(PatternOf(Row).mask)>{});

struct RowHandlers {
    Instruction instruction;
    const OpcodeHandler *handlers;  // RowSize(mask) entries
};

template <template <uint16_t> class Handler, Instruction Row>
constexpr RowHandlers MakeRow() {
    return {Row, kRowHandlers<Handler, Row>.data()};
}

// Each instruction group lists the handlers of its rows.
struct RowHandlerList {
    const RowHandlers *rows;
    size_t count;
};
RowHandlerList DataTransferRows();
RowHandlerList DataTransferConstantRows();
RowHandlerList ArithmeticRows();
RowHandlerList LogicRows();
RowHandlerList BranchRows();
RowHandlerList SystemControlRows();
RowHandlerList MultiplyRows();

}  // namespace sh2::isa

// Declares the class template of one instruction's handlers; the body that
// follows is Run's, with `core` the core and `Op` the opcode.
#define SH2_HANDLER(Name)                  \
    template <uint16_t Op>                 \
    struct Name {                          \
        static void Run(SH2Core &core);    \
    };                                     \
    template <uint16_t Op>                 \
    void Name<Op>::Run(SH2Core &core)
