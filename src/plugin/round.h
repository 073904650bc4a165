// One round of the two processors, as SH2RunCycles runs it: the master's
// slice to its end, servicing included, then the slave's slice of the same
// budget if the slave is switched on. The two never interleave.
//
// The round goes step by step through a plain record, so that a debugger
// can stop it between any two instructions (or just before or after a
// slice's servicing) and later go on exactly where it stopped: a round that
// was stopped and resumed runs the same instructions and services the same
// slice ends as one run straight through.
#pragma once

#include <cstdint>

#include "isa/run_loop.h"
#include "plugin/plugin_state.h"

namespace sh2 {

enum class RoundStep : uint8_t {
    BeginSlice,    // the current processor's slice is about to begin
    Instructions,  // its instructions are running
    Service,       // its end-of-slice servicing is next
    NextSlice,     // its slice is over
    Done,          // the round is over
};

struct Round {
    int32_t budget;        // the cycle budget of each slice
    int32_t masterCycles;  // the master's executed cycles, once its slice is over
    uint8_t processor;     // whose slice is under way: 0 the master, 1 the slave
    RoundStep step;
};

inline Round StartRound(int32_t budget) {
    return Round{budget, 0, 0, RoundStep::BeginSlice};
}

inline SH2Core *RoundCore(const Round &round) {
    return round.processor == 0 ? MasterCore : SlaveCore;
}

// Runs the round from where it stands. The observer (see Unwatched in
// run_loop.h) is asked before each instruction, before each servicing and
// after it (with the cycles the slice's instructions ran and the slice's
// result); a false answer stops the round there. Returns true when the round
// is over, false when the observer stopped it. Needs MasterCore.
template <class Observer>
inline bool RunRound(Round &round, Observer &observer) {
    for (;;) {
        SH2Core &core = *RoundCore(round);
        switch (round.step) {
            case RoundStep::BeginSlice:
                round.step = BeginSlice(core, round.budget) ? RoundStep::Instructions : RoundStep::Service;
                break;
            case RoundStep::Instructions:
                if (!RunSliceInstructions(core, observer)) {
                    return false;
                }
                round.step = RoundStep::Service;
                if (!observer.BeforeService(static_cast<const SH2Core &>(core))) {
                    return false;
                }
                break;
            case RoundStep::Service: {
                const int32_t executed = core.sliceCycles;  // by instructions; a stopped core idles on
                const int32_t cycles = FinishSlice(core, round.budget);
                if (round.processor == 0) {
                    round.masterCycles = cycles;
                }
                round.step = RoundStep::NextSlice;
                if (!observer.AfterService(static_cast<const SH2Core &>(core), executed, cycles)) {
                    return false;
                }
                break;
            }
            case RoundStep::NextSlice:
                if (round.processor == 0 && SlaveEnabled != 0 && SlaveCore != nullptr) {
                    round.processor = 1;
                    round.step = RoundStep::BeginSlice;
                } else {
                    round.step = RoundStep::Done;
                }
                break;
            case RoundStep::Done: return true;
        }
    }
}

}  // namespace sh2
