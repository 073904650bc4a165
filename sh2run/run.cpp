#include "sh2run/run.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csetjmp>
#include <cstring>
#include <optional>

#include "host_machine/host_memory.h"
#include "sh2run/debug/callgrind.h"
#include "sh2run/debug/profile.h"
#include "sh2run/debug/trace.h"

namespace sh2run {
namespace {

using sh2host::ports;

// Where a plain run's exit port leaves the plug-in's slice to. The slice's
// frames hold nothing to destroy; the plug-in is shut down right after.
std::jmp_buf exitJump;

[[noreturn]] void LeaveSlice() {
    std::longjmp(exitJump, 1);
}

// SH2RunCycles, left early by the exit port's write or a console write
// that failed: false then. Nothing that changes after the setjmp is read
// after a longjmp.
bool RunSliceUntilExit(const sh2host::Plugin &plugin, int32_t budget, int32_t &cycles) {
    if (setjmp(exitJump) != 0) return false;
    ports.onExit = LeaveSlice;
    ports.onConsoleError = LeaveSlice;
    cycles = plugin.SH2RunCycles(budget);
    ports.onExit = nullptr;
    ports.onConsoleError = nullptr;
    return true;
}

// Whether the run may go on: no exit yet, and the console still takes what
// the program prints.
bool Running() {
    return !ports.exited && ports.consoleError == 0;
}

// --trace, --profile and --profile-out: every instruction and every idle
// stretch.
class RecordingWatch : public ExitWatch {
public:
    RecordingWatch(TraceWriter *trace, Profiler *profiler, CallgrindProfile *callgrind)
        : trace_(trace), profiler_(profiler), callgrind_(callgrind) {}
    Interests Wants() const override { return {}; }  // every instruction
    // A trace that cannot be written ends the run.
    bool BeforeInstruction(sh2debug::Processor processor, uint32_t pc) override {
        return ExitWatch::BeforeInstruction(processor, pc) && (trace_ == nullptr || !trace_->Failed());
    }
    void AfterInstruction(const sh2debug::Instruction &instruction) override {
        if (trace_ != nullptr) trace_->Write(instruction);
        if (profiler_ != nullptr) profiler_->Add(instruction);
        if (callgrind_ != nullptr) callgrind_->Add(instruction);
    }
    bool AfterService(sh2debug::Processor processor, int32_t cycles, int32_t idleCycles) override {
        if (profiler_ != nullptr) profiler_->AddIdle(processor, idleCycles);
        if (callgrind_ != nullptr) callgrind_->AddIdle(processor, idleCycles);
        return ExitWatch::AfterService(processor, cycles, idleCycles);
    }

private:
    TraceWriter *trace_;
    Profiler *profiler_;
    CallgrindProfile *callgrind_;
};

}  // namespace

int ExitCodeForStatus(uint32_t status) {
    return status <= static_cast<uint32_t>(kExitLargeStatus) ? static_cast<int>(status) : kExitLargeStatus;
}

RoundSchedule::RoundSchedule(const Options &options, const sh2host::Plugin &plugin)
    : slice_(options.sliceCycles), limit_(options.cycleLimit), irq_{options.irq[0], options.irq[1]}, plugin_(plugin) {}

int32_t RoundSchedule::NextRound() {
    if (cycles_ >= limit_) return 0;
    sh2host::RaisePortRequests(plugin_);
    for (int processor = 0; processor < 2; ++processor) {
        const InterruptSchedule &irq = irq_[processor];
        if (!irq.enabled || rounds_ % irq.every != irq.every - 1) continue;
        (processor == 0 ? plugin_.MasterSH2InterruptRequest : plugin_.SlaveSH2InterruptRequest)(irq.vector, irq.level);
    }
    ++rounds_;
    const uint64_t left = limit_ - cycles_;
    return left < static_cast<uint64_t>(slice_) ? static_cast<int32_t>(left) : slice_;
}

void RoundSchedule::Count(int32_t masterCycles) {
    if (masterCycles > 0) cycles_ += static_cast<uint64_t>(masterCycles);
}

RunResult RunRounds(RoundSchedule &schedule, const RoundRunner &runRound) {
    const auto started = std::chrono::steady_clock::now();
    RunResult result;
    while (Running()) {
        const int32_t budget = schedule.NextRound();
        if (budget == 0) break;
        const RoundOutcome outcome = runRound(budget);
        schedule.Count(outcome.masterCycles);
        if (!outcome.complete) {
            result.lastRoundUncounted = !outcome.cyclesKnown;
            break;
        }
    }
    result.end = ports.exited ? RunResult::End::Exited : RunResult::End::CycleLimit;
    result.rounds = schedule.rounds();
    result.masterCycles = schedule.cycles();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

RoundOutcome RunPluginRound(const sh2host::Plugin &plugin, int32_t budget) {
    int32_t cycles = 0;
    if (!RunSliceUntilExit(plugin, budget, cycles)) {
        ports.onExit = nullptr;
        ports.onConsoleError = nullptr;
        return {false, 0, false};
    }
    return {true, cycles, true};
}

bool ContinueObservedRound(sh2debug::Observer &observer) {
    // The observer is asked right after the instruction that exits or
    // fails to print, whatever its interests.
    ports.onExit = sh2debug::AskSoon;
    ports.onConsoleError = sh2debug::AskSoon;
    const bool complete = sh2debug::RunRound(observer);
    ports.onExit = nullptr;
    ports.onConsoleError = nullptr;
    return complete;
}

RoundOutcome RunObservedRound(sh2debug::Observer &observer, int32_t budget) {
    sh2debug::StartRound(budget);
    const bool complete = ContinueObservedRound(observer);
    return {complete, sh2debug::RoundMasterCycles(), true};
}

bool ExitWatch::BeforeInstruction(sh2debug::Processor, uint32_t) {
    return Running();
}
bool ExitWatch::BeforeService(sh2debug::Processor) {
    return Running();
}

bool ExitWatch::AfterService(sh2debug::Processor processor, int32_t cycles, int32_t) {
    counter_.CountSlice(processor, cycles);
    return Running();
}

void SliceCounter::CountSlice(sh2debug::Processor processor, int32_t cycles) {
    ProcessorTally &tally = tally_[sh2debug::IndexOf(processor)];
    ++tally.slices;
    if (cycles > 0) tally.cycles += static_cast<uint64_t>(cycles);
    const uint64_t now = sh2debug::EventCount();
    tally.instructions += now - counted_ - 1;  // the servicing is one event
    counted_ = now;
}

void SliceCounter::Read(ProcessorTally (&tally)[2]) const {
    tally[0] = tally_[0];
    tally[1] = tally_[1];
    if (!sh2debug::RoundUnderWay()) return;
    const int32_t partial = sh2debug::RoundSliceCycles();
    ProcessorTally &underWay = tally[sh2debug::IndexOf(sh2debug::RoundProcessor())];
    underWay.instructions += sh2debug::EventCount() - counted_;
    if (partial > 0 || sh2debug::EventCount() != counted_) {
        ++underWay.slices;
        underWay.cycles += static_cast<uint64_t>(partial > 0 ? partial : 0);
    }
}

RunResult RunPlain(const Options &options, const sh2host::Plugin &plugin) {
    RoundSchedule schedule(options, plugin);
    uint64_t slaveSlices = 0;
    RunResult result = RunRounds(schedule, [&](int32_t budget) {
        if (ports.slaveOn) ++slaveSlices;
        return RunPluginRound(plugin, budget);
    });
    result.tally[1].slices = slaveSlices;
    return result;
}

RunResult RunWatched(const Options &options, const sh2host::Plugin &linked, const sh2host::LoadedImage &image) {
    std::optional<TraceWriter> trace;
    RunResult result;
    if (!options.traceFile.empty()) {
        std::string error;
        trace.emplace(options.traceFile);
        if (!trace->Open(error)) {
            result.outputErrors.push_back(error);
            return result;
        }
    }
    std::optional<Profiler> profiler;
    if (options.profile) profiler.emplace(image.functions);
    std::optional<CallgrindProfile> callgrind;
    if (!options.profileOut.empty()) callgrind.emplace(options.program, image.file, image.functions);
    RecordingWatch watch(trace ? &*trace : nullptr, profiler ? &*profiler : nullptr, callgrind ? &*callgrind : nullptr);
    RoundSchedule schedule(options, linked);
    result = RunRounds(schedule, [&](int32_t budget) { return RunObservedRound(watch, budget); });
    watch.Tally(result.tally);
    result.counted = true;
    sh2host::FlushConsole();
    std::string error;
    if (trace && !trace->Close(error)) result.outputErrors.push_back(error);
    if (callgrind && !callgrind->Write(options.profileOut, error)) result.outputErrors.push_back(error);
    if (profiler) {
        for (const sh2debug::Processor processor : sh2debug::kProcessors) {
            if (processor == sh2debug::Processor::Master || profiler->Ran(processor))
                profiler->Print(stderr, processor);
        }
    }
    return result;
}

namespace {

// --stats, to stderr: the run, then each processor (the slave's once it
// has run a slice).
void PrintStats(const RunResult &result) {
    std::fprintf(stderr, "slices: %" PRIu64 "\nemulated cycles: %" PRIu64 "%s\n", result.rounds, result.masterCycles,
                 result.lastRoundUncounted ? ports.exited
                                                 ? " (without the last slice, which the exit cut short)"
                                                 : " (without the last slice, which the failed output cut short)"
                                           : "");
    uint64_t allCycles = result.masterCycles;
    if (result.counted) {
        allCycles = 0;
        for (const sh2debug::Processor processor : sh2debug::kProcessors) {
            const ProcessorTally &tally = result.tally[sh2debug::IndexOf(processor)];
            if (processor == sh2debug::Processor::Slave && tally.slices == 0) continue;
            std::fprintf(stderr, "%s: %" PRIu64 " slices, %" PRIu64 " cycles, %" PRIu64 " instructions\n",
                         sh2debug::ProcessorName(processor), tally.slices, tally.cycles, tally.instructions);
            allCycles += tally.cycles;
        }
    } else {
        // What the exports tell: the master's cycles, and the rounds in which
        // the host had the slave switched on.
        std::fprintf(stderr, "master: %" PRIu64 " slices, %" PRIu64 " cycles\n", result.rounds, result.masterCycles);
        if (result.tally[1].slices != 0) std::fprintf(stderr, "slave: %" PRIu64 " slices\n", result.tally[1].slices);
        std::fprintf(stderr, "instructions: not counted by this run (--profile counts them)\n");
    }
    std::fprintf(stderr, "wall time: %.3f s\nemulated MHz: %.1f%s\n", result.seconds,
                 result.seconds > 0 ? static_cast<double>(allCycles) / result.seconds / 1e6 : 0.0,
                 result.counted && result.tally[1].slices != 0 ? " (master and slave together)" : "");
    if (ports.exited) std::fprintf(stderr, "exit status: %" PRIu32 "\n", ports.exitStatus);
}

}  // namespace

int FinishRun(const Options &options, const RunResult &result) {
    std::vector<std::string> errors = result.outputErrors;
    sh2host::EndSlaveLine();  // a slave's line the run ended in the middle of
    if (!sh2host::FlushConsole()) {
        errors.push_back(std::string("cannot write the program's output to standard output: ") +
                         std::strerror(ports.consoleError));
    }
    if (options.stats) PrintStats(result);
    for (const std::string &error : errors) std::fprintf(stderr, "sh2run: %s\n", error.c_str());
    if (!errors.empty()) return kExitRunnerError;
    switch (result.end) {
        case RunResult::End::Killed: return kExitKilled;
        case RunResult::End::CycleLimit:
            std::fprintf(stderr, "sh2run: cycle limit of %" PRIu64 " reached without an exit\n", options.cycleLimit);
            return kExitCycleLimit;
        case RunResult::End::Exited: break;
    }
    const int code = ExitCodeForStatus(ports.exitStatus);
    if (static_cast<uint32_t>(code) != ports.exitStatus) {
        std::fprintf(stderr, "sh2run: the program's exit status %" PRIu32 " is passed on as %d\n", ports.exitStatus,
                     code);
    }
    return code;
}

}  // namespace sh2run
