// Building blocks of the specialised instruction handlers. A handler is a
// class template over the full opcode and its decode row whose static Run
// executes exactly that opcode: register numbers, immediates and
// displacements are compile-time constants taken from the opcode's bits, and
// the cost comes from the row of the instruction list.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "bus/memory.h"
#include "core/sh2_core.h"
#include "isa/decode_table.h"
#include "isa/dispatch.h"

namespace sh2::isa {

// Operand fields of an opcode.
template <uint16_t Op>
inline constexpr unsigned N = (Op >> 8) & 0xF;  // bits 11..8
template <uint16_t Op>
inline constexpr unsigned M = (Op >> 4) & 0xF;  // bits 7..4
template <uint16_t Op>
inline constexpr uint32_t Disp4 = Op & 0xF;
template <uint16_t Op>
inline constexpr uint32_t Disp8 = Op & 0xFF;
template <uint16_t Op>
inline constexpr uint32_t Imm8Unsigned = Op & 0xFF;
template <uint16_t Op>
inline constexpr uint32_t Imm8Signed = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(Op & 0xFF)));
// Branch displacements in bytes, already doubled and sign-extended.
template <uint16_t Op>
inline constexpr uint32_t BranchOffset8 = Imm8Signed<Op> * 2u;
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
        LeaveDelaySlotAt(core, target);
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

constexpr size_t RowSize(uint16_t mask) {
    return size_t{1} << (16 - std::popcount(mask));
}

template <template <uint16_t, Instruction> class Handler, Instruction Row, size_t... Index>
constexpr std::array<OpcodeHandler, sizeof...(Index)> MakeRowHandlers(std::index_sequence<Index...>) {
    constexpr OpcodePattern pattern = PatternOf(Row);
    return {{&Handler<static_cast<uint16_t>(pattern.match | DepositOperandBits(Index, pattern.mask)), Row>::Run...}};
}

// The specialised handlers of one decode row, indexed by operand bits.
template <template <uint16_t, Instruction> class Handler, Instruction Row>
inline constexpr auto kRowHandlers =
    MakeRowHandlers<Handler, Row>(std::make_index_sequence<RowSize(PatternOf(Row).mask)>{});

// The linkage of the handlers, which each group's source defines between
// SH2_BEGIN_HANDLERS and SH2_END_HANDLERS. In a Windows object each
// specialisation of a template with external linkage is a COMDAT section of
// its own, about 100,000 in all, and the MinGW linker looks sections up one
// by one: a link takes minutes. There the handlers have internal linkage (an
// unnamed namespace per group source; each is reached only through its
// group's table) and sit in the plain code section. ELF builds keep the
// external linkage, whose code layout measured a few per cent faster.
#if defined(_WIN32)
#define SH2_BEGIN_HANDLERS namespace {
#define SH2_END_HANDLERS }
#else
#define SH2_BEGIN_HANDLERS
#define SH2_END_HANDLERS
#endif

// Every handler template of the instruction list, declared for every group's
// source; each is defined (and instantiated) only in the source of its group.
SH2_BEGIN_HANDLERS
#define SH2_DECLARE_HANDLER(name, group, bits, mnemonic, operands, cycles, notTaken, flow, handler) \
    template <uint16_t Op, Instruction Row>                                                         \
    struct handler;
SH2_INSTRUCTION_LIST(SH2_DECLARE_HANDLER)
#undef SH2_DECLARE_HANDLER
SH2_END_HANDLERS

// Per decode row, the specialised handlers of the rows of one group and null
// for the rows of the others.
using GroupHandlers = std::array<const OpcodeHandler *, kDecodeRowCount>;

template <InstructionGroup Group, template <uint16_t, Instruction> class Handler, Instruction Row>
constexpr const OpcodeHandler *HandlersIfInGroup() {
    if constexpr (PatternOf(Row).group == Group) {
        return kRowHandlers<Handler, Row>.data();
    } else {
        return nullptr;
    }
}

GroupHandlers DataTransferHandlers();
GroupHandlers DataTransferConstantHandlers();
GroupHandlers ArithmeticHandlers();
GroupHandlers LogicHandlers();
GroupHandlers BranchHandlers();
GroupHandlers SystemControlHandlers();
GroupHandlers MultiplyHandlers();

}  // namespace sh2::isa

// Defines one handler template of the instruction list: SH2_HANDLER(Name,
// { work }). The braces hold the instruction's work, with `core` the core,
// `Op` the opcode, and kCycles and kNotTakenCycles the costs of its row. A
// row whose flow is sequential ends with the common end, PC + 2 and the
// row's cost, so its work never returns early; the others set PC and add
// their cost in the work. The work is the handler's own body, not a second
// function called from it: GCC takes about a tenth longer over the handler
// objects when each specialisation has two functions to inline.
#define SH2_HANDLER(Name, ...)                                                    \
    template <uint16_t Op, Instruction Row>                                       \
    struct Name {                                                                 \
        static constexpr int32_t kCycles = PatternOf(Row).cycles;                 \
        static constexpr int32_t kNotTakenCycles = PatternOf(Row).notTakenCycles; \
        static void Run([[maybe_unused]] SH2Core &core) {                         \
            __VA_ARGS__                                                           \
            if constexpr (PatternOf(Row).flow == Flow::Sequential) {              \
                Advance(core, kCycles);                                           \
            }                                                                     \
        }                                                                         \
    };

// Ends the source of one group: the handlers of its rows, for the table.
#define SH2_GROUP_ROW(name, group, bits, mnemonic, operands, cycles, notTaken, flow, handler) \
    HandlersIfInGroup<kThisGroup, handler, Instruction::name>(),
#define SH2_DEFINE_GROUP_HANDLERS(Group)                                 \
    GroupHandlers Group##Handlers() {                                    \
        constexpr InstructionGroup kThisGroup = InstructionGroup::Group; \
        return {{SH2_INSTRUCTION_LIST(SH2_GROUP_ROW)}};                  \
    }
