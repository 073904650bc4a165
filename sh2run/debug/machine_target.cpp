#include "sh2run/debug/machine_target.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "sh2run/gdb/agent_expression.h"

namespace sh2run {
namespace {

using sh2debug::Processor;
using sh2gdb::StopEvent;
using sh2gdb::Watchpoint;
using sh2host::ports;

// The client's socket is read at most every kPollInterval of wall time, and
// the clock is looked at after every kPollWork instructions and after every
// on-chip register write (which may start a long DMA transfer).
constexpr int kPollWork = 1024;
constexpr auto kPollInterval = std::chrono::milliseconds(10);
// Events between snapshots: the first step back into a stretch between two
// runs it again, at most about this many events.
constexpr uint64_t kSnapshotInterval = uint64_t{1} << 20;
// Events between the checkpoints taken as a stretch is run again: each
// further step back within it runs at most this many events again.
constexpr uint64_t kCheckpointInterval = 1024;

Processor ProcessorOfThread(int thread) {
    return thread == 2 ? Processor::Slave : Processor::Master;
}
int ThreadOf(Processor processor) {
    return sh2debug::IndexOf(processor) + 1;
}

// Where an access lands, so that addresses reaching the same byte compare
// equal: on-chip registers as they are, on-chip RAM by its offset, host
// memory by the byte the host keeps.
uint32_t OnChipLocation(uint32_t address) {
    return address >= 0xFFFFFE00u ? address : 0xC0000000u | (address & 0xFFFu);
}
uint32_t ProgramLocation(uint32_t address) {
    return address >= 0xC0000000u ? OnChipLocation(address) : sh2host::NaturalAddress(address);
}

// The one who looks at accesses during a run: the watch of that run.
class AccessListener {
public:
    virtual void Accessed(bool write, uint32_t location, uint32_t size) = 0;

protected:
    ~AccessListener() = default;
};

// The watch of the run under way, when it has watchpoints.
AccessListener *accessListener = nullptr;

// A port write changes no memory, so no watchpoint on the bytes its address
// aliases sees it.
void HostAccessSeen(const sh2host::HostAccess &access) {
    if (access.kind == sh2host::HostAccess::Write && sh2host::IsPortWrite(access.address, access.width)) return;
    if (accessListener != nullptr && !sh2debug::DebuggerAccessing()) {
        accessListener->Accessed(access.kind == sh2host::HostAccess::Write, sh2host::NaturalAddress(access.address),
                                 access.width);
    }
}

// An on-chip register write may have started a long DMA transfer: the run
// asks its watch soon, which then reads the client's socket if it is due.
void OnChipAccessSeen(Processor, uint32_t address, uint32_t, uint8_t size, bool write) {
    if (write && address >= 0xFFFFFE00u) sh2debug::AskSoon();
    if (accessListener != nullptr) accessListener->Accessed(write, OnChipLocation(address), size);
}

void ExitSeen() {
    sh2debug::AskSoon();
}

// Whether the client's socket is due to be read (the run asks its watch at
// least every kPollWork instructions).
bool PollDue() {
    static auto lastPoll = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll < kPollInterval) return false;
    lastPoll = now;
    return true;
}

// The watchpoint an access reaches, with the first watched byte it reaches.
// The watchpoints of a resume by where they start, so that an access finds
// the ones it reaches without looking at the others: a run with thousands
// of watchpoints that never fire costs about what a run with one does.
class WatchIndex {
public:
    explicit WatchIndex(const std::set<Watchpoint> &watchpoints) {
        for (const Watchpoint &watch : watchpoints) entries_.push_back({ProgramLocation(watch.address), 0, watch});
        std::sort(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) { return a.start < b.start; });
        uint64_t furthest = 0;
        for (Entry &entry : entries_) {
            furthest = std::max(furthest, entry.start + entry.watch.length);
            entry.furthestEnd = furthest;
        }
    }

    // The watchpoint an access reaches, with the first watched byte it
    // reaches: of several, the first in the watchpoints' own order.
    std::optional<StopEvent> Hit(bool write, uint32_t location, uint32_t size) const {
        const uint64_t end = uint64_t{location} + size;
        // The entries that start before the access ends; of those, walking
        // back, only while one of them may still reach it.
        auto last = std::partition_point(entries_.begin(), entries_.end(),
                                         [&](const Entry &entry) { return entry.start < end; });
        const Entry *best = nullptr;
        uint64_t bestFirst = 0;
        for (auto entry = last; entry != entries_.begin();) {
            --entry;
            if (entry->furthestEnd <= location) break;
            const Watchpoint &watch = entry->watch;
            if (watch.kind == (write ? Watchpoint::Read : Watchpoint::Write)) continue;
            const uint64_t first = std::max<uint64_t>(entry->start, location);
            if (first >= entry->start + watch.length || first >= end) continue;
            if (best == nullptr || watch < best->watch) {
                best = &*entry;
                bestFirst = first;
            }
        }
        if (best == nullptr) return std::nullopt;
        return StopEvent{.kind = StopEvent::Watch,
                         .watchKind = best->watch.kind,
                         .watchAddress = static_cast<uint32_t>(best->watch.address + (bestFirst - best->start))};
    }

private:
    struct Entry {
        uint64_t start;        // where it starts, as accesses are told
        uint64_t furthestEnd;  // the furthest end of it and every entry before it
        Watchpoint watch;
    };
    std::vector<Entry> entries_;
};

// The first processor, of those that run, stopped on an undefined opcode,
// when every one of them is: a resume would only idle.
std::optional<Processor> AllStopped() {
    if (!sh2debug::StoppedOnUndefinedOpcode(Processor::Master)) return std::nullopt;
    if (sh2debug::SlaveSwitchedOn() && !sh2debug::StoppedOnUndefinedOpcode(Processor::Slave)) return std::nullopt;
    return Processor::Master;
}

// Whether the instruction at `pc` is an undefined opcode's attempt.
bool UndefinedAt(Processor processor, uint32_t pc) {
    static const std::vector<bool> undefined = [] {
        std::vector<bool> table(0x10000);
        for (uint32_t opcode = 0; opcode < 0x10000; ++opcode) {
            table[opcode] = !sh2debug::DescribeInstruction(static_cast<uint16_t>(opcode)).defined;
        }
        return table;
    }();
    return undefined[sh2debug::FetchOpcode(processor, pc)];
}

// Whether a breakpoint at `pc` stops `processor`: it has no condition, or
// one of its conditions holds (or cannot be evaluated, which gdb then looks
// at itself). Conditions see gdb's view: its register numbers, memory as the
// processor sees it.
bool ConditionHolds(MachineTarget &target, const sh2gdb::StopPoints &points, Processor processor, uint32_t pc) {
    const auto found = points.conditions.find(pc);
    if (found == points.conditions.end()) return true;
    const int thread = ThreadOf(processor);
    sh2gdb::AgentContext context;
    context.readRegister = [&](int number) -> std::optional<uint64_t> {
        if (number < 0 || number >= sh2gdb::kRegisterCount) return std::nullopt;
        return target.ReadRegister(thread, number);
    };
    context.readMemory = [&](uint64_t address, int length, uint64_t &value) {
        if (address > UINT32_MAX) return false;
        uint8_t bytes[8];
        target.ReadMemory(thread, static_cast<uint32_t>(address), bytes, static_cast<uint32_t>(length));
        value = 0;
        for (int i = 0; i < length; ++i) value = value << 8 | bytes[i];
        return true;
    };
    for (const std::vector<uint8_t> &condition : found->second) {
        uint64_t result = 0;
        if (!sh2gdb::EvaluateAgentExpression(condition, context, result) || result != 0) return true;
    }
    return false;
}

// Hands the run's accesses to `listener` while it lives, when there are
// watchpoints to see them.
class AccessListening {
public:
    AccessListening(AccessListener *listener, bool watching) {
        if (!watching) return;
        accessListener = listener;
        sh2host::hooks.onAccess = HostAccessSeen;
    }
    ~AccessListening() {
        accessListener = nullptr;
        sh2host::hooks.onAccess = hostHook_;
    }
    AccessListening(const AccessListening &) = delete;
    AccessListening &operator=(const AccessListening &) = delete;

private:
    void (*const hostHook_)(const sh2host::HostAccess &) = sh2host::hooks.onAccess;  // put back at the end
};

// A stretch of the past run again prints none of the plug-in's messages a
// second time (its boxes: ShowEachBoxOnce).
class QuietReplay {
public:
    QuietReplay() { sh2host::quietMessages = true; }
    ~QuietReplay() { sh2host::quietMessages = wasQuiet_; }
    QuietReplay(const QuietReplay &) = delete;
    QuietReplay &operator=(const QuietReplay &) = delete;

private:
    const bool wasQuiet_ = sh2host::quietMessages;
};

}  // namespace

// A resume of gdb's: stops before an instruction at a breakpoint, after the
// stepped processor's instruction (and its slice's servicing, if the
// instruction ended the slice) or once a range step leaves its range, right
// after the program's exit, an undefined opcode or an access a watchpoint
// sees, or when the client interrupts; records snapshots as it goes. A
// continue is asked only at breakpoints, every kPollWork instructions and
// when something asks it soon, and told of no instruction. With an edit
// ahead (`edit`, 0: none), it also stops there.
class MachineTarget::RunWatch : public sh2debug::Observer, public AccessListener {
public:
    RunWatch(MachineTarget &target, const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
             const std::function<bool()> &interrupted, uint64_t edit)
        : target_(target),
          request_(request),
          points_(points),
          interrupted_(interrupted),
          edit_(edit),
          breakpoints_(std::vector<uint32_t>(points.breakpoints.begin(), points.breakpoints.end())) {
        for (const Processor processor : sh2debug::kProcessors) {
            if (!sh2debug::Exists(processor)) continue;
            resumePc_[sh2debug::IndexOf(processor)] = sh2debug::ReadRegisters(processor).PC;
            stoppedAtResume_[sh2debug::IndexOf(processor)] = sh2debug::StoppedOnUndefinedOpcode(processor);
        }
        ports.onExit = ExitSeen;
    }
    ~RunWatch() override { ports.onExit = nullptr; }
    RunWatch(const RunWatch &) = delete;
    RunWatch &operator=(const RunWatch &) = delete;

    Interests Wants() const override {
        if (request_.kind != sh2gdb::ResumeRequest::Continue || edit_ != 0) return {};
        return {false, &breakpoints_, kPollWork, false};
    }

    bool BeforeInstruction(Processor processor, uint32_t pc) override {
        if (ReachedEdit()) return false;
        current_ = processor;
        if (stop_ || Exited()) return false;
        target_.RecordIfDue();
        const int index = sh2debug::IndexOf(processor);
        // A processor resumed from a breakpoint first runs the instruction there.
        const bool resuming = !ran_[index] && pc == resumePc_[index];
        ran_[index] = true;
        // A step that reaches an undefined opcode goes on into it, so that it
        // stops with SIGILL at once.
        if (Stepped(processor) && !UndefinedAt(processor, pc)) return Stop(StopEvent::Step, processor);
        if (!resuming && points_.breakpoints.count(pc) != 0 && ConditionHolds(target_, points_, processor, pc)) {
            return Stop(StopEvent::Breakpoint, processor);
        }
        if (PollDue() && interrupted_()) return Stop(StopEvent::Interrupted, processor);
        return true;
    }

    // Told only while stepping.
    void AfterInstruction(const sh2debug::Instruction &instruction) override {
        if (instruction.processor != Stepping()) return;
        const bool inRange = instruction.nextPc - request_.rangeStart < request_.rangeEnd - request_.rangeStart;
        if (request_.kind == sh2gdb::ResumeRequest::Step || !inRange) stepped_ = true;
    }

    bool BeforeService(Processor processor) override {
        if (ReachedEdit()) return false;
        current_ = processor;
        return !stop_ && !Exited() && !StoppedNow(processor);
    }

    bool AfterService(Processor processor, int32_t cycles, int32_t) override {
        target_.slices_.CountSlice(processor, cycles);
        if (ReachedEdit()) return false;
        if (stop_) return false;  // a frame of the servicing reached a watchpoint
        target_.RecordIfDue();
        if (processor != Stepping()) return true;
        const uint32_t pc = sh2debug::ReadRegisters(processor).PC;
        const bool leftRange = request_.kind == sh2gdb::ResumeRequest::RangeStep &&
                               pc - request_.rangeStart >= request_.rangeEnd - request_.rangeStart;
        return !(stepped_ || leftRange) || Stop(StopEvent::Step, processor);
    }

    // An access a watchpoint sees stops the run.
    void Accessed(bool write, uint32_t location, uint32_t size) override {
        if (stop_) return;
        std::optional<StopEvent> hit = watchIndex_.Hit(write, location, size);
        if (!hit) return;
        hit->thread = ThreadOf(sh2debug::RoundProcessor());
        stop_ = hit;
        sh2debug::AskSoon();
    }

    const std::optional<StopEvent> &stop() const { return stop_; }
    // Whether the run stopped at the edit it was given.
    bool reachedEdit() const { return reachedEdit_; }
    // What each processor has done of the resume so far: a watch that
    // stopped at an edit hands it to the one that goes on from there.
    struct Progress {
        uint32_t resumePc[2];
        bool stoppedAtResume[2];
        bool ran[2];
        bool stepped;
    };
    Progress progress() const {
        return {{resumePc_[0], resumePc_[1]}, {stoppedAtResume_[0], stoppedAtResume_[1]}, {ran_[0], ran_[1]}, stepped_};
    }
    void CarryOn(const Progress &previous) {
        for (int i = 0; i < 2; ++i) {
            resumePc_[i] = previous.resumePc[i];
            stoppedAtResume_[i] = previous.stoppedAtResume[i];
            ran_[i] = previous.ran[i];
        }
        stepped_ = previous.stepped;
    }

private:
    bool ReachedEdit() {
        if (edit_ == 0 || sh2debug::EventCount() < edit_) return false;
        reachedEdit_ = true;
        return true;
    }
    std::optional<Processor> Stepping() const {
        if (request_.kind == sh2gdb::ResumeRequest::Continue) return std::nullopt;
        return ProcessorOfThread(request_.thread);
    }
    bool Stepped(Processor processor) const { return stepped_ && Stepping() == processor; }
    // Records the stop; false, for the round to stop.
    bool Stop(StopEvent::Kind kind, Processor processor) {
        stop_ = StopEvent{.kind = kind, .thread = ThreadOf(processor)};
        return false;
    }
    bool Exited() {
        if (!ports.exited) return false;
        if (!stop_) {
            stop_ =
                StopEvent{.kind = StopEvent::ExitReached, .thread = ThreadOf(current_), .exitStatus = ports.exitStatus};
        }
        return true;
    }
    // A processor that has met an undefined opcode in this resume.
    bool StoppedNow(Processor processor) {
        if (stoppedAtResume_[sh2debug::IndexOf(processor)] || !sh2debug::StoppedOnUndefinedOpcode(processor)) {
            return false;
        }
        Stop(StopEvent::IllegalInstruction, processor);
        return true;
    }

    MachineTarget &target_;
    const sh2gdb::ResumeRequest request_;
    const sh2gdb::StopPoints &points_;
    const std::function<bool()> &interrupted_;
    const uint64_t edit_;
    bool reachedEdit_ = false;
    const sh2debug::BreakpointFilter breakpoints_;
    const WatchIndex watchIndex_{points_.watchpoints};
    uint32_t resumePc_[2] = {0, 0};
    bool stoppedAtResume_[2] = {false, false};
    bool ran_[2] = {false, false};
    bool stepped_ = false;
    Processor current_ = Processor::Master;
    std::optional<StopEvent> stop_;
    const AccessListening listening_{this, !points_.watchpoints.empty()};  // last: once the rest is set up
};

// Runs again up to a moment of the history and stops there.
class MachineTarget::SeekWatch : public sh2debug::Observer {
public:
    SeekWatch(MachineTarget &target, uint64_t until) : target_(target), until_(until) {}

    bool BeforeInstruction(Processor, uint32_t) override { return sh2debug::EventCount() != until_; }
    void AfterInstruction(const sh2debug::Instruction &) override {}
    bool BeforeService(Processor) override { return sh2debug::EventCount() != until_; }
    bool AfterService(Processor processor, int32_t cycles, int32_t) override {
        target_.slices_.CountSlice(processor, cycles);
        return sh2debug::EventCount() != until_;
    }

private:
    MachineTarget &target_;
    const uint64_t until_;
    const QuietReplay quiet_;
};

// Runs again over a stretch of the history up to `until`, noting in the
// replay memo every moment at which a backward resume would stop (each
// instruction's start, each breakpoint and watchpoint hit with the stop
// points), and taking checkpoints as it goes.
class MachineTarget::ScanWatch : public sh2debug::Observer, public AccessListener {
public:
    ScanWatch(MachineTarget &target, const sh2gdb::StopPoints &points, const std::function<bool()> &interrupted,
              uint64_t until)
        : target_(target), points_(points), interrupted_(interrupted), until_(until) {}

    bool BeforeInstruction(Processor processor, uint32_t pc) override {
        const uint64_t now = sh2debug::EventCount();
        if (now >= until_) return false;
        eventStart_ = now;
        // A step back never stops on an undefined opcode's attempt: its stop
        // belongs to the instruction before it.
        if (!UndefinedAt(processor, pc)) target_.memo_.NoteInstruction(sh2debug::IndexOf(processor), now);
        if (points_.breakpoints.count(pc) != 0 && ConditionHolds(target_, points_, processor, pc)) {
            target_.memo_.NoteStop(now, StopEvent{.kind = StopEvent::Breakpoint, .thread = ThreadOf(processor)});
        }
        if (now >= checkpointDue_) {
            target_.history_.Checkpoint(now, target_.Host());
            checkpointDue_ = now + kCheckpointInterval;
        }
        // A Ctrl-C is looked for as often as in a forward run.
        if (++scanned_ % kPollWork == 0 && PollDue() && interrupted_()) {
            interruptedByClient_ = true;
            return false;
        }
        return true;
    }
    void AfterInstruction(const sh2debug::Instruction &) override {}
    bool BeforeService(Processor) override {
        eventStart_ = sh2debug::EventCount();
        return eventStart_ < until_;
    }
    bool AfterService(Processor processor, int32_t cycles, int32_t) override {
        target_.slices_.CountSlice(processor, cycles);
        return sh2debug::EventCount() < until_;
    }

    // An access a watchpoint sees: a moment to go back to.
    void Accessed(bool write, uint32_t location, uint32_t size) override {
        std::optional<StopEvent> hit = watchIndex_.Hit(write, location, size);
        if (!hit) return;
        hit->thread = ThreadOf(sh2debug::RoundProcessor());
        target_.memo_.NoteStop(eventStart_, *hit);
    }

    // Whether a Ctrl-C stopped it.
    bool interrupted() const { return interruptedByClient_; }

private:
    MachineTarget &target_;
    const sh2gdb::StopPoints &points_;
    const std::function<bool()> &interrupted_;
    const uint64_t until_;
    uint32_t scanned_ = 0;  // instructions so far
    bool interruptedByClient_ = false;
    uint64_t eventStart_ = 0;     // when the current instruction or servicing began
    uint64_t checkpointDue_ = 0;  // when the next checkpoint is due
    const WatchIndex watchIndex_{points_.watchpoints};
    const QuietReplay quiet_;
    const AccessListening listening_{this, !points_.watchpoints.empty()};  // last: once the rest is set up
};

MachineTarget::MachineTarget(const Options &options, const sh2host::Plugin &linked, sh2host::HostMemory &memory)
    : options_(options), memory_(memory), schedule_(options, linked), history_(memory, options.historyMemory) {
    schedule_.SetLimit(UINT64_MAX);
    sh2debug::AbandonRound();  // a new session starts with a new round
    sh2debug::WatchOnChipAccesses(OnChipAccessSeen);
    sh2debug::ShowEachBoxOnce(true);  // a moment of the run come again shows no box again
}

MachineTarget::~MachineTarget() {
    sh2debug::WatchOnChipAccesses(nullptr);
    sh2debug::ShowEachBoxOnce(false);
}

int MachineTarget::ThreadCount() const {
    return sh2debug::SlaveSwitchedOn() ? 2 : 1;
}

std::string MachineTarget::ThreadName(int thread) const {
    return thread == 2 ? "slave SH-2" : "master SH-2";
}

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
    Changed();
}

void MachineTarget::ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) {
    sh2debug::ReadMemory(ProcessorOfThread(thread), address, out, length);
}

void MachineTarget::WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) {
    sh2debug::WriteMemory(ProcessorOfThread(thread), address, data, length);
    Changed();
}

std::optional<uint32_t> MachineTarget::ExitStatus() const {
    if (ports.exited && exitPassed_) return ports.exitStatus;
    return std::nullopt;
}

HostState MachineTarget::Host() const {
    return HostState{ports, schedule_.rounds(), schedule_.cycles(), slices_};
}

std::optional<std::string> MachineTarget::Monitor(std::string_view command) {
    while (!command.empty() && command.back() == ' ') command.remove_suffix(1);
    if (command == "help") {
        return std::string(
            "monitor when        where the run stands: its event count (each instruction and each end of a slice\n"
            "                    is one) and each processor's cycles and instructions\n"
            "monitor goto EVENT  back or forward to that event count (then `maintenance flush register-cache`, so\n"
            "                    that gdb reads the registers again)\n"
            "monitor help        this text\n");
    }
    if (command == "when") {
        ProcessorTally tally[2];
        slices_.Read(tally);
        char text[256];
        std::snprintf(text, sizeof text,
                      "event %" PRIu64 "\nmaster: %" PRIu64 " cycles, %" PRIu64 " instructions\nslave: %" PRIu64
                      " cycles, %" PRIu64 " instructions\n",
                      sh2debug::EventCount(), tally[0].cycles, tally[0].instructions, tally[1].cycles,
                      tally[1].instructions);
        return std::string(text);
    }
    if (command.substr(0, 5) == "goto ") {
        uint64_t target = 0;
        if (!ParseNumber(command.substr(5), 0, UINT64_MAX, target)) {
            return "monitor goto needs an event count (decimal, or hexadecimal after 0x)\n";
        }
        StartHistory();
        if (target < history_.Start()) {
            return "event " + std::to_string(target) + " is before the start of the history (event " +
                   std::to_string(history_.Start()) + ")\n";
        }
        if (target > furthest_) {
            return "event " + std::to_string(target) + " lies beyond where the run has been (event " +
                   std::to_string(furthest_) + "): run there\n";
        }
        SeekTo(target);  // from the latest snapshot at or before it: the run as it went, edits included
        return "at event " + std::to_string(sh2debug::EventCount()) + "\n";
    }
    return std::nullopt;
}

void MachineTarget::Record() {
    history_.Record(sh2debug::EventCount(), Host());
}

void MachineTarget::StartHistory() {
    if (history_.Empty()) Record();
}

void MachineTarget::RecordIfDue() {
    if (history_.Empty() || sh2debug::EventCount() >= history_.Latest() + kSnapshotInterval) Record();
}

// A change of registers or memory: the recorded future is gone (output it
// printed stays printed, and the new future prints its own), the past up to
// here stays, and a forward run coming here again takes up the change.
void MachineTarget::Changed() {
    if (ports.consolePrinted > ports.consoleBytes) ports.consolePrinted = ports.consoleBytes;
    history_.Record(sh2debug::EventCount(), Host(), true);
}

void MachineTarget::Run(sh2debug::Observer &watch) {
    for (;;) {
        if (!sh2debug::RoundUnderWay()) sh2debug::StartRound(schedule_.NextRound());
        if (!sh2debug::RunRound(watch)) return;
        schedule_.Count(sh2debug::RoundMasterCycles());
    }
}

void MachineTarget::SeekTo(uint64_t time) {
    uint64_t restored = 0;
    HostState host;
    if (!history_.RestoreAtOrBefore(time, restored, host, memory_)) return;
    // What was printed stays printed, and a console that failed stays failed.
    const uint64_t printed = ports.consolePrinted;
    const int consoleError = ports.consoleError;
    ports = host.ports;
    ports.consolePrinted = printed;
    ports.consoleError = consoleError;
    schedule_.Rewind(host.rounds, host.cycles);
    slices_ = host.slices;
    if (restored == time) return;
    SeekWatch seek(*this, time);
    Run(seek);
}

sh2gdb::StopEvent MachineTarget::Resume(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                                        const std::function<bool()> &interrupted) {
    StartHistory();
    // The run stopped at its exit keeps its past; going on forward ends it.
    if (ports.exited && !request.reverse) {
        exitPassed_ = true;
        return StopEvent{.kind = StopEvent::Exited, .thread = request.thread, .exitStatus = ports.exitStatus};
    }
    const StopEvent stop =
        request.reverse ? Backward(request, points, interrupted) : Forward(request, points, interrupted);
    sh2host::FlushConsole();  // at the stop the program's output so far is out, a line without its end too
    furthest_ = std::max(furthest_, sh2debug::EventCount());
    return stop;
}

StopEvent MachineTarget::Forward(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                                 const std::function<bool()> &interrupted) {
    const Processor processor = ProcessorOfThread(request.thread);
    if (request.kind != sh2gdb::ResumeRequest::Continue && sh2debug::StoppedOnUndefinedOpcode(processor)) {
        return StopEvent{.kind = StopEvent::IllegalInstruction, .thread = request.thread};
    }
    if (const std::optional<Processor> stopped = AllStopped();
        stopped && request.kind == sh2gdb::ResumeRequest::Continue) {
        return StopEvent{.kind = StopEvent::IllegalInstruction, .thread = ThreadOf(*stopped)};
    }
    // Where the debugger changed the past, the run takes up the changed
    // state when it comes to that moment again.
    std::optional<RunWatch::Progress> progress;
    for (;;) {
        const std::optional<uint64_t> edit = history_.NextEditAfter(sh2debug::EventCount());
        {
            RunWatch watch(*this, request, points, interrupted, edit.value_or(0));
            if (progress) watch.CarryOn(*progress);
            Run(watch);
            if (!watch.reachedEdit()) return *watch.stop();
            progress = watch.progress();
        }
        SeekTo(*edit);
    }
}

// Goes back to the last moment before now at which the request stops: the
// start of the stepped processor's previous instruction, or the last
// breakpoint or watchpoint hit. Each stretch between two snapshots, latest
// first, is run again to find it, and what it holds is kept in the replay
// memo, with checkpoints, for the resumes back that follow; without one, the
// run goes back to the start of the history.
StopEvent MachineTarget::Backward(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                                  const std::function<bool()> &interrupted) {
    uint64_t from = sh2debug::EventCount();
    std::pair<uint64_t, StopEvent> stop;
    switch (memo_.LastBefore(request, points, history_.Generation(), from, stop)) {
        case ReplayMemo::Answer::Stop: SeekTo(stop.first); return stop.second;
        case ReplayMemo::Answer::Nothing: from = memo_.start(); break;
        case ReplayMemo::Answer::Unknown: break;
    }
    const std::vector<uint64_t> times = history_.Times();
    for (size_t i = times.size(); i-- > 0;) {
        if (times[i] >= from) continue;
        const uint64_t end = i + 1 < times.size() && times[i + 1] < from ? times[i + 1] : from;
        SeekTo(times[i]);
        history_.BeginCheckpoints();
        memo_.Begin(history_.Generation(), times[i], end - times[i], ThreadCount(), points);
        {
            ScanWatch scan(*this, points, interrupted, end);
            Run(scan);
            // A Ctrl-C stops the run back in time where the scan stood: a
            // moment between the one it went back to and the one it left.
            if (scan.interrupted()) {
                memo_.Clear();
                return StopEvent{.kind = StopEvent::Interrupted, .thread = ThreadOf(sh2debug::RoundProcessor())};
            }
        }
        memo_.Finish(end);
        if (memo_.LastBefore(request, points, history_.Generation(), end, stop) == ReplayMemo::Answer::Stop) {
            SeekTo(stop.first);
            return stop.second;
        }
    }
    SeekTo(history_.Start());
    return StopEvent{.kind = StopEvent::HistoryStart, .thread = request.thread};
}

uint64_t MachineTarget::MasterCycles() const {
    const int32_t underWay = sh2debug::RoundUnderWay() ? sh2debug::RoundMasterCycles() : 0;
    return schedule_.cycles() + static_cast<uint64_t>(underWay > 0 ? underWay : 0);
}

RunResult MachineTarget::RunToEnd() {
    schedule_.SetLimit(options_.cycleLimit);
    ExitWatch watch;
    if (sh2debug::RoundUnderWay()) {
        if (!ports.exited) ContinueObservedRound(watch);  // the round gdb left, to its end or the exit
        schedule_.Count(sh2debug::RoundMasterCycles());
    }
    return RunRounds(schedule_, [&](int32_t budget) { return RunObservedRound(watch, budget); });
}

}  // namespace sh2run
