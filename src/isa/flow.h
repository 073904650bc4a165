// Where an instruction leaves PC: the Flow column of the instruction list.
// The debugging interface hands it to the tools as it is.
#pragma once

#include <cstdint>

namespace sh2 {

// Where an instruction leaves PC; the column of the instruction list.
enum class Flow : uint8_t {
    Sequential,          // to the next instruction
    Conditional,         // BF, BT: to the target or the next instruction
    ConditionalDelayed,  // BF/S, BT/S: with a delay slot when taken
    Delayed,             // BRA, BRAF, JMP: with a delay slot
    Call,                // BSR, BSRF, JSR: PR set, with a delay slot
    Return,              // RTS: to PR, with a delay slot
    ExceptionReturn,     // RTE: PC and SR from the stack, with a delay slot
    Trap,                // TRAPA: SR and the next PC pushed, PC from the vector
    Sleep,               // SLEEP: PC stays
};

}  // namespace sh2
