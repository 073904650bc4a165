// The handler of one opcode and the table that maps every opcode to its
// handler.
#pragma once

#include <cstdint>

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

}  // namespace sh2
