#include "debug_machine.h"

#include <algorithm>
#include <cinttypes>

#include "bus/memory.h"
#include "plugin/plugin_state.h"
#include "isa/decode_table.h"
#include "isa/disassembler.h"
#include "isa/run_loop.h"

namespace sh2host {

void BindLinkedLibrary(Plugin &plugin) {
    plugin.InitSH2Plugin = ::InitSH2Plugin;
    plugin.DeInitPlugin = ::DeInitPlugin;
    plugin.DisplayPluginInfo = ::DisplayPluginInfo;
    plugin.SetupPlugin = ::SetupPlugin;
    plugin.SH2RunCycles = ::SH2RunCycles;
    plugin.ResetMasterSH2 = ::ResetMasterSH2;
    plugin.ResetSlaveSH2 = ::ResetSlaveSH2;
    plugin.SlaveSH2On = ::SlaveSH2On;
    plugin.SlaveSH2Off = ::SlaveSH2Off;
    plugin.MasterSH2InterruptRequest = ::MasterSH2InterruptRequest;
    plugin.SlaveSH2InterruptRequest = ::SlaveSH2InterruptRequest;
    plugin.MasterSH2InputCaptureSignal = ::MasterSH2InputCaptureSignal;
    plugin.SlaveSH2InputCaptureSignal = ::SlaveSH2InputCaptureSignal;
    plugin.MasterSH2SetPC = ::MasterSH2SetPC;
}

sh2::SH2Core *LinkedCore(int index) { return index == 0 ? sh2::MasterCore : sh2::SlaveCore; }

bool LinkedSlaveEnabled() { return sh2::SlaveEnabled != 0 && sh2::SlaveCore != nullptr; }

const char *CoreName(int index) { return index == 0 ? "master" : "slave"; }

bool IsDelayedBranch(uint16_t opcode) {
    switch (opcode & 0xF000) {
    case 0xA000:  // BRA
    case 0xB000:  // BSR
        return true;
    case 0x8000:
        return (opcode & 0xFF00) == 0x8D00 || (opcode & 0xFF00) == 0x8F00;  // BT/S, BF/S
    case 0x0000:
        return (opcode & 0xF0FF) == 0x0023 || (opcode & 0xF0FF) == 0x0003 || opcode == 0x000B ||
               opcode == 0x002B;  // BRAF, BSRF, RTS, RTE
    case 0x4000:
        return (opcode & 0xF0FF) == 0x402B || (opcode & 0xF0FF) == 0x400B;  // JMP, JSR
    default:
        return false;
    }
}

// The branch's own share of a taken delayed branch, from the library's
// instruction list.
int32_t DelayedBranchCycles(uint16_t opcode) {
    const sh2::OpcodePattern *row = sh2::FindDecodeRow(opcode);
    return row != nullptr ? row->cycles : 0;
}

uint16_t OpcodeAt(uint32_t address) { return ReadWordAt(address & ~1u); }

// ---------------------------------------------------------------------------
// Steps.

void StepRecorder::Before(int core, const sh2::SH2Core &state) {
    if (isOpen_[core]) Close(core, state.sliceCycles);
    Step &step = open_[core];
    step = Step{};
    step.core = core;
    step.pc = state.PC;
    step.opcode = OpcodeAt(state.PC);
    step.startCycles = state.sliceCycles;
    isOpen_[core] = true;
}

void StepRecorder::SliceEnd(int core, const sh2::SH2Core &state, int32_t sliceCycles) {
    // The servicing at the end of a slice adds no cycles, so the last step
    // ends at the slice's count, unless the core stopped on an undefined
    // opcode: then the rest of the budget is idle time.
    int32_t stepEnd = sliceCycles;
    if (state.stoppedOnUndefinedOpcode && isOpen_[core]) stepEnd = open_[core].startCycles;
    const int32_t idleFrom = isOpen_[core] ? stepEnd : 0;
    if (isOpen_[core]) Close(core, stepEnd);
    if (state.stoppedOnUndefinedOpcode && sliceCycles > idleFrom) {
        Step idle;
        idle.core = core;
        idle.pc = state.PC;
        idle.opcode = OpcodeAt(state.PC);
        idle.startCycles = idleFrom;
        idle.cycles = sliceCycles - idleFrom;
        idle.idle = true;
        sink_(idle);
    }
}

void StepRecorder::Close(int core, int32_t endCycles) {
    Step &step = open_[core];
    step.cycles = endCycles - step.startCycles;
    if (IsDelayedBranch(step.opcode)) {
        // BT/S and BF/S run their slot only when taken: a taken one costs 1
        // plus the slot's at least 1, a not-taken one 0 (BT/S) or 1 (BF/S).
        const bool conditional = (step.opcode & 0xF000) == 0x8000;
        step.ranSlot = !conditional || step.cycles >= 2;
    }
    isOpen_[core] = false;
    sink_(step);
}

int32_t RunRecordedRound(int32_t budget, StepRecorder &recorder) {
    int32_t master = 0;
    for (int index = 0; index < 2; ++index) {
        if (index == 1 && !LinkedSlaveEnabled()) break;
        sh2::SH2Core &core = *LinkedCore(index);
        const int32_t ran = sh2::RunCyclesWatched(core, budget, [&](const sh2::SH2Core &state) {
            recorder.Before(index, state);
            return true;
        });
        recorder.SliceEnd(index, core, ran);
        if (index == 0) master = ran;
    }
    return master;
}

// ---------------------------------------------------------------------------
// Trace.

TraceWriter::TraceWriter(FILE *out) : out_(out) {
    std::fprintf(out_, "# core   pc       op     cycles  instruction\n");
}

void TraceWriter::Line(int core, uint32_t pc, uint16_t opcode, int32_t cycles, bool slot) {
    const std::string text = sh2::Disassemble(opcode, pc);
    std::fprintf(out_, "%-6s %08" PRIx32 " %04x %10" PRId32 "  %s%s\n", CoreName(core), pc, opcode, cycles,
                 text.c_str(), slot ? "\t! delay slot" : "");
}

void TraceWriter::Write(const Step &step) {
    if (step.idle) return;
    Line(step.core, step.pc, step.opcode, step.startCycles, false);
    if (step.ranSlot) {
        Line(step.core, step.pc + 2, OpcodeAt(step.pc + 2), step.startCycles + DelayedBranchCycles(step.opcode), true);
    }
}

// ---------------------------------------------------------------------------
// Profile.

Profiler::Profiler(const std::vector<FunctionSymbol> &functions) : functions_(functions) {
    for (auto &rows : rows_) rows.assign(functions_.size() + 2, Row{});
}

size_t Profiler::FunctionIndex(uint32_t pc) {
    auto inside = [&](size_t index) {
        return index < functions_.size() && pc - functions_[index].address < functions_[index].size;
    };
    if (inside(lastIndex_)) return lastIndex_;
    auto after = std::upper_bound(functions_.begin(), functions_.end(), pc,
                                  [](uint32_t value, const FunctionSymbol &f) { return value < f.address; });
    // Functions may nest or overlap (aliases); the closest start wins.
    while (after != functions_.begin()) {
        --after;
        const size_t index = static_cast<size_t>(after - functions_.begin());
        if (inside(index)) return lastIndex_ = index;
        if (pc - after->address >= 0x100000u) break;
    }
    return functions_.size();
}

void Profiler::Add(const Step &step) {
    const size_t index = step.idle ? functions_.size() + 1 : FunctionIndex(step.pc);
    Row &row = rows_[step.core][index];
    row.cycles += static_cast<uint64_t>(step.cycles > 0 ? step.cycles : 0);
    totalCycles_[step.core] += static_cast<uint64_t>(step.cycles > 0 ? step.cycles : 0);
    if (!step.idle) {
        const uint64_t instructions = step.ranSlot ? 2 : 1;
        row.instructions += instructions;
        totalInstructions_[step.core] += instructions;
    }
}

void Profiler::Print(FILE *out, int core) const {
    std::vector<size_t> order;
    for (size_t i = 0; i < rows_[core].size(); ++i) {
        if (rows_[core][i].cycles != 0 || rows_[core][i].instructions != 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rows_[core][a].cycles > rows_[core][b].cycles; });
    const double total = totalCycles_[core] > 0 ? static_cast<double>(totalCycles_[core]) : 1.0;
    std::fprintf(out, "profile of the %s: emulated cycles and instructions per function\n", CoreName(core));
    std::fprintf(out, "%14s %7s %14s  %s\n", "cycles", "%", "instructions", "function");
    for (size_t i : order) {
        const Row &row = rows_[core][i];
        const char *name = i < functions_.size()          ? functions_[i].name.c_str()
                           : i == functions_.size()       ? "(outside functions)"
                                                          : "(stopped on an undefined opcode)";
        std::fprintf(out, "%14" PRIu64 " %6.2f%% %14" PRIu64 "  %s\n", row.cycles,
                     100.0 * static_cast<double>(row.cycles) / total, row.instructions, name);
    }
    std::fprintf(out, "%14" PRIu64 " %6.2f%% %14" PRIu64 "  total\n", totalCycles_[core],
                 totalCycles_[core] > 0 ? 100.0 : 0.0, totalInstructions_[core]);
}

// ---------------------------------------------------------------------------
// GDB target.

sh2::SH2Core &MachineTarget::Core(int thread) const { return *LinkedCore(thread == 2 && LinkedSlaveEnabled() ? 1 : 0); }

int MachineTarget::ThreadCount() const { return LinkedSlaveEnabled() ? 2 : 1; }

std::string MachineTarget::ThreadName(int thread) const { return thread == 2 ? "slave SH-2" : "master SH-2"; }

uint32_t MachineTarget::ReadRegister(int thread, int index) {
    const sh2::SH2Core &core = Core(thread);
    if (index < 16) return core.R[index];
    switch (index) {
    case 16: return core.PC;
    case 17: return core.PR;
    case 18: return core.GBR;
    case 19: return core.VBR;
    case 20: return core.MACH;
    case 21: return core.MACL;
    case 22: return core.SR;
    default: return 0;
    }
}

void MachineTarget::WriteRegister(int thread, int index, uint32_t value) {
    sh2::SH2Core &core = Core(thread);
    if (index < 16) {
        core.R[index] = value;
        return;
    }
    switch (index) {
    case 16:
        core.PC = value;
        core.stoppedOnUndefinedOpcode = false;  // a new PC runs again, as after MasterSH2SetPC
        break;
    case 17: core.PR = value; break;
    case 18: core.GBR = value; break;
    case 19: core.VBR = value; break;
    case 20: core.MACH = value; break;
    case 21: core.MACL = value; break;
    case 22: core.SR = value & sh2::kSrWritableBits; break;
    default: break;
    }
}

// Memory goes through the core's memory access layer, so gdb sees what the
// program sees, on-chip registers and on-chip RAM included. Each piece is
// read with the widest access its alignment allows.
void MachineTarget::ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) {
    sh2::SH2Core &core = Core(thread);
    while (length > 0) {
        if ((address & 3u) == 0 && length >= 4) {
            const uint32_t value = sh2::BusReadLong(core, address);
            for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
            address += 4, out += 4, length -= 4;
        } else if ((address & 1u) == 0 && length >= 2) {
            const uint16_t value = sh2::BusReadWord(core, address);
            out[0] = static_cast<uint8_t>(value >> 8);
            out[1] = static_cast<uint8_t>(value);
            address += 2, out += 2, length -= 2;
        } else {
            *out = sh2::BusReadByte(core, address);
            address += 1, out += 1, length -= 1;
        }
    }
}

void MachineTarget::WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) {
    sh2::SH2Core &core = Core(thread);
    while (length > 0) {
        if ((address & 3u) == 0 && length >= 4) {
            sh2::BusWriteLong(core, address,
                              uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3]);
            address += 4, data += 4, length -= 4;
        } else if ((address & 1u) == 0 && length >= 2) {
            sh2::BusWriteWord(core, address, static_cast<uint16_t>(data[0] << 8 | data[1]));
            address += 2, data += 2, length -= 2;
        } else {
            sh2::BusWriteByte(core, address, *data);
            address += 1, data += 1, length -= 1;
        }
    }
}

std::optional<uint32_t> MachineTarget::ExitStatus() const {
    if (ports.exited) return ports.exitStatus;
    return std::nullopt;
}

void MachineTarget::CountSlice() {
    if (settings_.irq && slices_ % settings_.irqEvery == settings_.irqEvery - 1) {
        ::MasterSH2InterruptRequest(settings_.irqVector, settings_.irqLevel);
    }
    ++slices_;
}

sh2gdb::StopEvent MachineTarget::Step(int thread) {
    sh2gdb::StopEvent event;
    event.thread = thread == 2 && LinkedSlaveEnabled() ? 2 : 1;
    sh2::SH2Core &core = Core(event.thread);
    if (core.stoppedOnUndefinedOpcode) {
        event.kind = sh2gdb::StopEvent::IllegalInstruction;
        return event;
    }
    if (event.thread == 1) CountSlice();
    const int32_t ran = sh2::RunCycles(core, 1);
    if (event.thread == 1) masterCycles_ += static_cast<uint64_t>(ran > 0 ? ran : 0);
    if (ports.exited) {
        event.kind = sh2gdb::StopEvent::Exited;
        event.exitStatus = ports.exitStatus;
    } else if (core.stoppedOnUndefinedOpcode) {
        event.kind = sh2gdb::StopEvent::IllegalInstruction;
    } else {
        event.kind = sh2gdb::StopEvent::Step;
    }
    return event;
}

sh2gdb::StopEvent MachineTarget::Continue(const std::set<uint32_t> &breakpoints,
                                          const std::function<bool()> &interrupted) {
    sh2gdb::StopEvent event;
    // A thread resumed from a breakpoint first runs the instruction there.
    uint32_t resumePc[2] = {Core(1).PC, LinkedSlaveEnabled() ? Core(2).PC : 0};
    bool first[2] = {true, true};
    for (;;) {
        if (ports.exited) {
            event.kind = sh2gdb::StopEvent::Exited;
            event.exitStatus = ports.exitStatus;
            return event;
        }
        if (interrupted()) {
            event.kind = sh2gdb::StopEvent::Interrupted;
            event.thread = 1;
            return event;
        }
        CountSlice();
        int hit = -1;
        for (int index = 0; index < 2 && hit < 0; ++index) {
            if (index == 1 && !LinkedSlaveEnabled()) break;
            sh2::SH2Core &core = *LinkedCore(index);
            const int32_t ran = sh2::RunCyclesWatched(core, settings_.sliceCycles, [&](const sh2::SH2Core &state) {
                if (ports.exited) return false;
                const bool atResume = first[index] && state.PC == resumePc[index];
                first[index] = false;
                if (!atResume && breakpoints.count(state.PC) != 0) {
                    hit = index;
                    return false;
                }
                return true;
            });
            if (index == 0) masterCycles_ += static_cast<uint64_t>(ran > 0 ? ran : 0);
            if (core.stoppedOnUndefinedOpcode && !ports.exited) {
                event.kind = sh2gdb::StopEvent::IllegalInstruction;
                event.thread = index + 1;
                return event;
            }
        }
        if (hit >= 0 && !ports.exited) {
            event.kind = sh2gdb::StopEvent::Breakpoint;
            event.thread = hit + 1;
            return event;
        }
    }
}

void MachineTarget::RunToEnd(uint64_t cycleLimit) {
    while (!ports.exited && masterCycles_ < cycleLimit) {
        CountSlice();
        const int32_t ran = ::SH2RunCycles(settings_.sliceCycles);
        masterCycles_ += static_cast<uint64_t>(ran > 0 ? ran : 0);
    }
}

}  // namespace sh2host
