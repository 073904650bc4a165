// How sh2run runs a program, in every mode: rounds of --slice cycles (one
// SH2RunCycles call each, or the same round of the linked library under the
// debugging interface), one interrupt schedule, one cycle limit and one exit.
//
// The exit port ends the run inside the write that reaches it. A plain run
// leaves the plug-in's slice from the port's callback, so the rest of that
// slice never runs (the plug-in reports a slice's cycles only at its end, so
// that slice is not counted). The debugging modes stop the round right after
// the instruction that wrote the port and count its cycles up to there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "debug/sh2_debug.h"
#include "host_machine/plugin_loader.h"
#include "host_machine/program_image.h"
#include "sh2run/options.h"

namespace sh2run {

// sh2run's exit codes besides the program's own status.
inline constexpr int kExitLargeStatus = 123;  // the program's status was larger than 123
inline constexpr int kExitCycleLimit = 124;
inline constexpr int kExitRunnerError = 125;
inline constexpr int kExitKilled = 137;  // gdb killed the run or went away

// The exit code that passes a program's status on: 0 to 123 as they are,
// every other status (as an unsigned 32-bit number) 123, so that no status
// reads as success or as one of sh2run's own codes.
int ExitCodeForStatus(uint32_t status);

// The rounds of a run: round i (from 0) is preceded by what the ports asked
// for during round i - 1 (RaisePortRequests), then by each processor's
// --irq request when i % EVERY == EVERY - 1, the master's first; its budget
// is --slice, cut to what is left of the cycle limit, so that the run stops
// at the first instruction boundary at or past the limit.
class RoundSchedule {
public:
    RoundSchedule(const Options &options, const sh2host::Plugin &plugin);
    // Raises the round's requests and returns its budget; 0 once the cycle
    // limit is reached (no round then).
    int32_t NextRound();
    // The master's cycles of a round, counted towards the limit.
    void Count(int32_t masterCycles);
    void SetLimit(uint64_t limit) { limit_ = limit; }
    uint64_t rounds() const { return rounds_; }
    uint64_t cycles() const { return cycles_; }
    // Where the schedule stands, put back (a debugger going back in time).
    void Rewind(uint64_t rounds, uint64_t cycles) {
        rounds_ = rounds;
        cycles_ = cycles;
    }

private:
    int32_t slice_;
    uint64_t limit_;
    InterruptSchedule irq_[2];
    const sh2host::Plugin &plugin_;
    uint64_t rounds_ = 0;
    uint64_t cycles_ = 0;
};

// What one round came to.
struct RoundOutcome {
    bool complete;         // false: the exit port's write ended it early
    int32_t masterCycles;  // the master's cycles in it, as far as they are known
    bool cyclesKnown;      // false: a plain run's round cut short by the exit
};
using RoundRunner = std::function<RoundOutcome(int32_t budget)>;

// What one processor did in a run.
struct ProcessorTally {
    uint64_t slices = 0;
    uint64_t cycles = 0;
    uint64_t instructions = 0;
};

// Each processor's slices, cycles and instructions, counted at the end of
// each slice (an observer's AfterService) from the debugging interface's
// event count, which goes up by one for each instruction and each
// servicing.
class SliceCounter {
public:
    SliceCounter() : counted_(sh2debug::EventCount()) {}
    void CountSlice(sh2debug::Processor processor, int32_t cycles);
    // The tally so far, the slice under way counted in as far as it went.
    void Read(ProcessorTally (&tally)[2]) const;

private:
    ProcessorTally tally_[2];
    uint64_t counted_;  // the event count at the end of the last slice
};

struct RunResult {
    enum class End { Exited, CycleLimit, Killed } end = End::CycleLimit;
    uint64_t rounds = 0;
    uint64_t masterCycles = 0;
    bool lastRoundUncounted = false;
    // The slave's slices; with `counted`, both processors' slices, cycles
    // and instructions (a run through the debugging interface counts them,
    // the plug-in's exports tell only the master's cycles).
    ProcessorTally tally[2];
    bool counted = false;
    double seconds = 0;
    std::vector<std::string> outputErrors;  // a trace that could not be written
};

// Runs rounds until the program exits, the limit is reached or the console
// fails (a reader that went away: the run's output would be lost).
RunResult RunRounds(RoundSchedule &schedule, const RoundRunner &runRound);

// A round of the plug-in (or the linked library through its exports).
RoundOutcome RunPluginRound(const sh2host::Plugin &plugin, int32_t budget);
// A round of the linked library under `observer`, which must stop it right
// after the exit port's write (ExitWatch does).
RoundOutcome RunObservedRound(sh2debug::Observer &observer, int32_t budget);
// Runs the round under way on under `observer` the same way: true when it
// is over.
bool ContinueObservedRound(sh2debug::Observer &observer);

// An observer that stops the round right after the instruction that wrote
// the exit port or made a console write that failed, and counts each
// processor's slices, cycles and instructions; the trace and profile
// observers build on it. Its interests are none: it is asked at the ends of
// slices, and by AskSoon (the exit port).
class ExitWatch : public sh2debug::Observer {
public:
    Interests Wants() const override { return {false, nullptr, 0, false}; }
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override;
    void AfterInstruction(const sh2debug::Instruction &) override {}
    bool BeforeService(sh2debug::Processor) override;
    bool AfterService(sh2debug::Processor processor, int32_t cycles, int32_t idleCycles) override;
    void Tally(ProcessorTally (&tally)[2]) const { counter_.Read(tally); }

private:
    SliceCounter counter_;
};

// The plain run: the plug-in, rounds of --slice cycles.
RunResult RunPlain(const Options &options, const sh2host::Plugin &plugin);
// --trace, --profile and --profile-out: the linked library under an
// observer.
RunResult RunWatched(const Options &options, const sh2host::Plugin &linked, const sh2host::LoadedImage &image);

// The one end of every run: checks that the program's output reached
// standard output (flushing it), prints --stats and the reason of an unusual
// end, and returns sh2run's exit code.
int FinishRun(const Options &options, const RunResult &result);

}  // namespace sh2run
