#include "sh2run/debug/machine_target.h"

#include <chrono>
#include <optional>

#include "host_machine/host_memory.h"

namespace sh2run {
namespace {

using sh2debug::Processor;
using sh2gdb::StopEvent;
using sh2host::ports;

// The client's socket is read at most every kPollInterval of wall time, and
// the clock is looked at after every kPollWork instructions or host accesses.
constexpr int kPollWork = 1024;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

int pollCountdown = kPollWork;

void CountHostAccess(const sh2host::HostAccess &) { --pollCountdown; }

Processor ProcessorOfThread(int thread) { return thread == 2 ? Processor::Slave : Processor::Master; }
int ThreadOf(Processor processor) { return sh2debug::IndexOf(processor) + 1; }

// Whether the client's socket is due to be read.
bool PollDue() {
    static auto lastPoll = std::chrono::steady_clock::now();
    if (--pollCountdown > 0) return false;
    pollCountdown = kPollWork;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll < kPollInterval) return false;
    lastPoll = now;
    return true;
}

// Watches one resume: stops before an instruction at a breakpoint, after
// the stepped processor's instruction (and its slice's servicing, if the
// instruction ended the slice), right after the program's exit or an
// undefined opcode, or when the client interrupts.
class GdbWatch : public sh2debug::Observer {
public:
    GdbWatch(const std::set<uint32_t> &breakpoints, const std::function<bool()> &interrupted,
             std::optional<Processor> stepping)
        : breakpoints_(breakpoints), interrupted_(interrupted), stepping_(stepping) {
        for (const Processor processor : sh2debug::kProcessors) {
            if (sh2debug::Exists(processor)) resumePc_[sh2debug::IndexOf(processor)] = sh2debug::ReadRegisters(processor).PC;
        }
    }

    bool BeforeInstruction(Processor processor, uint32_t pc) override {
        if (stop_) return false;
        const int index = sh2debug::IndexOf(processor);
        // A processor resumed from a breakpoint first runs the instruction there.
        const bool resuming = !ran_[index] && pc == resumePc_[index];
        ran_[index] = true;
        if (Stepped(processor)) return Stop(StopEvent::Step, processor);
        if (!resuming && breakpoints_.count(pc) != 0) return Stop(StopEvent::Breakpoint, processor);
        if (PollDue() && interrupted_()) return Stop(StopEvent::Interrupted, processor);
        return true;
    }

    void AfterInstruction(const sh2debug::Instruction &instruction) override {
        if (stepping_ == instruction.processor) stepped_ = true;
        if (ports.exited) {
            stop_ = StopEvent{StopEvent::Exited, ThreadOf(instruction.processor), ports.exitStatus};
        } else if (sh2debug::StoppedOnUndefinedOpcode(instruction.processor)) {
            Stop(StopEvent::IllegalInstruction, instruction.processor);
        }
    }

    bool BeforeService(Processor) override { return !stop_; }

    bool AfterService(Processor processor, int32_t, int32_t) override {
        return !Stepped(processor) || Stop(StopEvent::Step, processor);
    }

    const std::optional<StopEvent> &stop() const { return stop_; }

private:
    bool Stepped(Processor processor) const { return stepped_ && stepping_ == processor; }
    // Records the stop; false, for the round to stop.
    bool Stop(StopEvent::Kind kind, Processor processor) {
        stop_ = StopEvent{kind, ThreadOf(processor), 0};
        return false;
    }

    const std::set<uint32_t> &breakpoints_;
    const std::function<bool()> &interrupted_;
    const std::optional<Processor> stepping_;
    uint32_t resumePc_[2] = {0, 0};
    bool ran_[2] = {false, false};
    bool stepped_ = false;
    std::optional<StopEvent> stop_;
};

// The first processor, of those that run, stopped on an undefined opcode,
// when every one of them is: a resume would only idle.
std::optional<Processor> AllStopped() {
    const bool master = sh2debug::StoppedOnUndefinedOpcode(Processor::Master);
    if (!master) return std::nullopt;
    if (sh2debug::SlaveSwitchedOn() && !sh2debug::StoppedOnUndefinedOpcode(Processor::Slave)) return std::nullopt;
    return Processor::Master;
}

}  // namespace

void CountHostAccessesForInterrupts() { sh2host::hooks.onAccess = CountHostAccess; }

MachineTarget::MachineTarget(const Options &options, const sh2host::Plugin &linked)
    : options_(options), schedule_(options, linked.MasterSH2InterruptRequest) {
    schedule_.SetLimit(UINT64_MAX);
}

int MachineTarget::ThreadCount() const { return sh2debug::SlaveSwitchedOn() ? 2 : 1; }

std::string MachineTarget::ThreadName(int thread) const { return thread == 2 ? "slave SH-2" : "master SH-2"; }

uint32_t MachineTarget::ReadRegister(int thread, int index) {
    const sh2debug::Registers r = sh2debug::ReadRegisters(ProcessorOfThread(thread));
    if (index < 16) return r.R[index];
    const uint32_t others[] = {r.PC, r.PR, r.GBR, r.VBR, r.MACH, r.MACL, r.SR};
    return index - 16 < 7 ? others[index - 16] : 0;
}

void MachineTarget::WriteRegister(int thread, int index, uint32_t value) {
    const Processor processor = ProcessorOfThread(thread);
    sh2debug::Registers r = sh2debug::ReadRegisters(processor);
    uint32_t *others[] = {&r.PC, &r.PR, &r.GBR, &r.VBR, &r.MACH, &r.MACL, &r.SR};
    if (index < 16) {
        r.R[index] = value;
    } else if (index - 16 < 7) {
        *others[index - 16] = value;
    }
    sh2debug::WriteRegisters(processor, r);
}

void MachineTarget::ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) {
    sh2debug::ReadMemory(ProcessorOfThread(thread), address, out, length);
}

void MachineTarget::WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) {
    sh2debug::WriteMemory(ProcessorOfThread(thread), address, data, length);
}

std::optional<uint32_t> MachineTarget::ExitStatus() const {
    if (ports.exited) return ports.exitStatus;
    return std::nullopt;
}

void MachineTarget::Run(sh2debug::Observer &watch) {
    for (;;) {
        if (!sh2debug::RoundUnderWay()) sh2debug::StartRound(schedule_.NextRound());
        if (!sh2debug::RunRound(watch)) return;
        schedule_.Count(sh2debug::RoundMasterCycles());
    }
}

StopEvent MachineTarget::Step(int thread, const std::set<uint32_t> &breakpoints,
                              const std::function<bool()> &interrupted) {
    const Processor processor = ProcessorOfThread(thread);
    if (sh2debug::StoppedOnUndefinedOpcode(processor)) return StopEvent{StopEvent::IllegalInstruction, thread, 0};
    GdbWatch watch(breakpoints, interrupted, processor);
    Run(watch);
    return *watch.stop();
}

StopEvent MachineTarget::Continue(const std::set<uint32_t> &breakpoints, const std::function<bool()> &interrupted) {
    if (const std::optional<Processor> stopped = AllStopped()) {
        return StopEvent{StopEvent::IllegalInstruction, ThreadOf(*stopped), 0};
    }
    GdbWatch watch(breakpoints, interrupted, std::nullopt);
    Run(watch);
    return *watch.stop();
}

uint64_t MachineTarget::MasterCycles() const {
    const int32_t underWay = sh2debug::RoundUnderWay() ? sh2debug::RoundMasterCycles() : 0;
    return schedule_.cycles() + static_cast<uint64_t>(underWay > 0 ? underWay : 0);
}

RunResult MachineTarget::RunToEnd() {
    schedule_.SetLimit(options_.cycleLimit);
    ExitWatch watch;
    if (sh2debug::RoundUnderWay()) {
        if (!ports.exited) sh2debug::RunRound(watch);  // the round gdb left, to its end or the exit
        schedule_.Count(sh2debug::RoundMasterCycles());
    }
    return RunRounds(schedule_, [&](int32_t budget) { return RunObservedRound(watch, budget); });
}

}  // namespace sh2run
