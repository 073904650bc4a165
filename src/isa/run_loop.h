// Running one core for one slice: instructions until the budget is used up,
// then the end-of-slice servicing (timer, requested exception, interrupt).
//
// A slice is three steps, BeginSlice, RunSliceInstructions and FinishSlice,
// so that a debugger can stop between any two instructions and later go on
// with the same slice: the loop keeps nothing outside the core.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"
#include "isa/dispatch.h"

namespace sh2 {

// Sets up a slice of `target` cycles; true if instructions may run (the
// target is positive and the core is not stopped on an undefined opcode).
bool BeginSlice(SH2Core &core, int32_t target);
// Advances the free-running timer by the slice's cycles, enters a requested
// exception and accepts at most one interrupt. A core stopped on an undefined
// opcode only idles to `target`. Returns sliceCycles.
int32_t FinishSlice(SH2Core &core, int32_t target);

// What a watched slice reports of one instruction: where it started and the
// slice's count before it. After the instruction the core holds the rest: PC
// and sliceCycles after it, currentOpcode (the slot's, if a slot ran) and
// delaySlotStartCycles.
struct InstructionStart {
    uint32_t pc;
    uint16_t opcode;
    int32_t cycles;
};

// delaySlotStartCycles of an instruction that ran no delay slot (slice
// counts are never negative).
inline constexpr int32_t kNoDelaySlot = -1;

// The observer of a slice that nobody watches: it costs nothing.
struct Unwatched {
    static constexpr bool kWatches = false;
    bool BeforeInstruction(const SH2Core &) { return true; }
    void AfterInstruction(const SH2Core &, const InstructionStart &) {}
    bool BeforeService(const SH2Core &) { return true; }
    bool AfterService(const SH2Core &, int32_t, int32_t) { return true; }
};

// Runs the slice's instructions while sliceCycles is below its target (a
// delayed branch and its slot are one instruction). A watching observer is
// asked before each instruction (false stops the loop there, and the slice
// can go on later from the same point) and told after each one. Returns true
// when the slice's instructions are over.
template <class Observer>
inline bool RunSliceInstructions(SH2Core &core, Observer &observer) {
    while (core.sliceCycles < core.sliceTarget) {
        if constexpr (Observer::kWatches) {
            if (!observer.BeforeInstruction(static_cast<const SH2Core &>(core))) {
                return false;
            }
        }
        const uint16_t opcode = FetchOpcode(core, core.PC);
        if constexpr (Observer::kWatches) {
            const InstructionStart start{core.PC, opcode, core.sliceCycles};
            core.currentOpcode = opcode;
            core.delaySlotStartCycles = kNoDelaySlot;
            OpcodeHandlerTable[opcode](core);
            observer.AfterInstruction(static_cast<const SH2Core &>(core), start);
        } else {
            core.currentOpcode = opcode;
            OpcodeHandlerTable[opcode](core);
        }
    }
    return true;
}

// A whole slice nobody watches: at least one instruction when the target is
// positive, then the servicing. Returns sliceCycles.
int32_t RunCycles(SH2Core &core, int32_t target);

}  // namespace sh2
