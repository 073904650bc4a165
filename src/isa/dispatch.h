// Dispatch: the handler of one opcode, the table that maps every opcode to
// its handler, the instruction fetch and the delay slot.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/sh2_core.h"

namespace sh2 {

// Executes one opcode on the core: adds 2 to PC unless it changes the flow of
// control, and adds its fixed cost to sliceCycles.
using OpcodeHandler = void (*)(SH2Core &core);

inline constexpr uint32_t kOpcodeCount = 65536;

// Built once when the library is loaded; shared by both cores, never changed.
extern OpcodeHandler OpcodeHandlerTable[kOpcodeCount];

// Fills `table` from the decode rows: every defined opcode gets its
// specialised handler, every other one UndefinedOpcodeHandler.
void BuildOpcodeHandlerTable(OpcodeHandler *table);

// The opcode at `address`, read straight from the host memory block that
// address bits 20..27 select (bits 28..31 play no part), by the halfword rule
// of the blocks (offset = address XOR 2). Bit 0 of the offset is cleared so
// that an odd PC still reads a whole halfword inside the block.
inline uint16_t FetchOpcode(const SH2Core &core, uint32_t address) {
    const uint32_t region = address & 0x0FF00000u;
    const uint8_t *block;
    uint32_t offsetMask;
    // Region 0x000 takes block 0 and region 0x002 block 1; every other region,
    // main RAM included, takes block 2 and is tested for first.
    if ((region | 0x00200000u) != 0x00200000u) [[likely]] {
        block = core.memoryBlocks[2];
        offsetMask = 0x1FFFFEu;
    } else if (region == 0) {
        block = core.memoryBlocks[0];
        offsetMask = 0x7FFFEu;
    } else {
        block = core.memoryBlocks[1];
        offsetMask = 0x1FFFFEu;
    }
    uint16_t opcode;
    std::memcpy(&opcode, block + ((address ^ 2u) & offsetMask), sizeof opcode);
    return opcode;
}

// A delay slot's handler runs with PC already at the branch target, and
// steps PC on by 2 as every sequential instruction does; ExecuteDelaySlot
// takes that step off again, so PC ends at the target. A slot that sets PC
// itself instead (a branch or RTE in a slot, which acts as an immediate
// jump, or an undefined opcode, which leaves PC where it is) sets it with
// LeaveDelaySlotAt, which adds the step that is then taken off.
constexpr uint32_t kDelaySlotStep = 2;

inline void LeaveDelaySlotAt(SH2Core &core, uint32_t pc) {
    core.PC = pc + kDelaySlotStep;
}

// Runs the instruction at `address` as a delay slot.
inline void ExecuteDelaySlot(SH2Core &core, uint32_t address) {
    const uint16_t opcode = FetchOpcode(core, address);
    core.currentOpcode = opcode;
    core.delaySlotStartCycles = core.sliceCycles;
    core.inDelaySlot = true;
    OpcodeHandlerTable[opcode](core);
    core.inDelaySlot = false;
    core.PC -= kDelaySlotStep;
}

// Shows the "Error" box naming PC and the opcode once, then stops the core:
// the slice ends at once, no register changes and a requested vector-11
// exception is dropped.
void UndefinedOpcodeHandler(SH2Core &core);

// Makes a core stopped on an undefined opcode run again (from its current PC).
inline void ClearUndefinedOpcodeStop(SH2Core &core) {
    core.stoppedOnUndefinedOpcode = false;
}

}  // namespace sh2
