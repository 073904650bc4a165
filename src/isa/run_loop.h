// Running one core for one slice: instructions until the budget is used up,
// then the end-of-slice servicing (timer, requested exception, interrupt).
#pragma once

#include <cstdint>

#include "core/sh2_core.h"
#include "isa/dispatch.h"

namespace sh2 {

// Sets up a slice of `target` cycles; true if instructions may run.
bool BeginSlice(SH2Core &core, int32_t target);
// Advances the free-running timer by the slice's cycles, enters a requested
// exception and accepts at most one interrupt. Returns sliceCycles.
int32_t FinishSlice(SH2Core &core, int32_t target);

// Runs instructions while sliceCycles is below `target` (at least one when the
// target is positive), then services the end of the slice. Returns
// sliceCycles.
int32_t RunCycles(SH2Core &core, int32_t target);

// The same slice, with beforeInstruction(const SH2Core &) called before each
// instruction the loop fetches (a delayed branch and its slot are one). When
// it returns false the slice ends there, before that instruction, and is
// serviced as usual. For debuggers and tracers; RunCycles is this loop with
// an observer that always goes on.
template <class BeforeInstruction>
inline int32_t RunCyclesWatched(SH2Core &core, int32_t target, BeforeInstruction &&beforeInstruction) {
    if (BeginSlice(core, target)) {
        do {
            if (!beforeInstruction(static_cast<const SH2Core &>(core))) {
                break;
            }
            const uint16_t opcode = FetchOpcode(core, core.PC);
            core.currentOpcode = opcode;
            OpcodeHandlerTable[opcode](core);
        } while (core.sliceCycles < core.sliceTarget);
    }
    return FinishSlice(core, target);
}

}  // namespace sh2
