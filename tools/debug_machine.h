// sh2run's debugging side: the library linked into the runner, so that its
// two cores can be reached and their slices watched instruction by
// instruction. The tracer, the profiler and the GDB target live here; plain
// runs never come here and go through the plug-in loaded at run time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/sh2_core.h"
#include "gdb_server.h"
#include "host_machine.h"

namespace sh2host {

// Fills `plugin` with the entry points of the library linked into sh2run.
void BindLinkedLibrary(Plugin &plugin);

// The linked library's cores: 0 the master, 1 the slave (null before
// InitSH2Plugin), and whether the slave is switched on.
sh2::SH2Core *LinkedCore(int index);
bool LinkedSlaveEnabled();

const char *CoreName(int index);

// Whether `opcode` is a delayed branch (BRA, BSR, BRAF, BSRF, JMP, JSR, RTS,
// RTE, BT/S, BF/S), and the cycles it costs itself when it takes its slot
// (the slot instruction adds its own).
bool IsDelayedBranch(uint16_t opcode);
int32_t DelayedBranchCycles(uint16_t opcode);

// The opcode at an address as the fetch reads it from host memory.
uint16_t OpcodeAt(uint32_t address);

// One top-level instruction as the run loop saw it: a delayed branch and its
// slot are one step. `cycles` is what the step added to the slice's count.
struct Step {
    int core = 0;
    uint32_t pc = 0;
    uint16_t opcode = 0;
    int32_t startCycles = 0;  // sliceCycles before the step
    int32_t cycles = 0;
    bool ranSlot = false;  // a delayed branch that ran its slot
    bool idle = false;     // cycles of a core stopped on an undefined opcode
};

// Turns the watched run's "before each instruction" calls into whole steps:
// a step is closed, with its cost, at the next call for its core or at the
// end of the slice.
class StepRecorder {
public:
    using Sink = std::function<void(const Step &)>;
    explicit StepRecorder(Sink sink) : sink_(std::move(sink)) {}
    void Before(int core, const sh2::SH2Core &state);
    void SliceEnd(int core, const sh2::SH2Core &state, int32_t sliceCycles);

private:
    void Close(int core, int32_t endCycles);
    Sink sink_;
    Step open_[2];
    bool isOpen_[2] = {false, false};
};

// One master slice and, with the slave switched on, one slave slice of the
// same budget, like SH2RunCycles, with `recorder` watching every
// instruction. Returns the master's cycles.
int32_t RunRecordedRound(int32_t budget, StepRecorder &recorder);

// --trace: one line per instruction, delay slots on their own line:
//   core pc opcode cycles disassembly
// where cycles is the slice's count before that instruction.
class TraceWriter {
public:
    explicit TraceWriter(FILE *out);
    void Write(const Step &step);

private:
    void Line(int core, uint32_t pc, uint16_t opcode, int32_t cycles, bool slot);
    FILE *out_;
};

// --profile: cycles and instructions per function of the ELF symbol table.
class Profiler {
public:
    explicit Profiler(const std::vector<FunctionSymbol> &functions);
    void Add(const Step &step);
    // The table of one core, most expensive first, with a total line.
    void Print(FILE *out, int core) const;
    bool Ran(int core) const { return totalCycles_[core] != 0 || totalInstructions_[core] != 0; }

private:
    struct Row {
        uint64_t cycles = 0;
        uint64_t instructions = 0;
    };
    size_t FunctionIndex(uint32_t pc);
    std::vector<FunctionSymbol> functions_;
    // Per core: one row per function, then "(outside functions)" and
    // "(stopped)".
    std::vector<Row> rows_[2];
    uint64_t totalCycles_[2] = {0, 0};
    uint64_t totalInstructions_[2] = {0, 0};
    size_t lastIndex_ = 0;
};

// The machine as gdb sees it: thread 1 the master, thread 2 the slave when it
// is switched on. Continue runs rounds of `sliceCycles` like sh2run's own
// loop, with its interrupt requests; a step is a slice of one instruction of
// one core, so pending interrupts are accepted after it.
class MachineTarget : public sh2gdb::GdbTarget {
public:
    struct Settings {
        int32_t sliceCycles = 10000;
        bool irq = false;
        uint32_t irqVector = 0, irqLevel = 0, irqEvery = 1;
    };
    explicit MachineTarget(const Settings &settings) : settings_(settings) {}

    int ThreadCount() const override;
    std::string ThreadName(int thread) const override;
    uint32_t ReadRegister(int thread, int index) override;
    void WriteRegister(int thread, int index, uint32_t value) override;
    void ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) override;
    void WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) override;
    std::optional<uint32_t> ExitStatus() const override;
    sh2gdb::StopEvent Step(int thread) override;
    sh2gdb::StopEvent Continue(const std::set<uint32_t> &breakpoints, const std::function<bool()> &interrupted) override;

    // Runs without breakpoints until the program ends (after a detach).
    void RunToEnd(uint64_t cycleLimit);
    uint64_t masterCycles() const { return masterCycles_; }

private:
    sh2::SH2Core &Core(int thread) const;
    void CountSlice();
    Settings settings_;
    uint64_t slices_ = 0;
    uint64_t masterCycles_ = 0;
};

}  // namespace sh2host
