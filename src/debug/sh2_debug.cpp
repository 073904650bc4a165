// The debugging interface over the library's two cores and its round.
#include "debug/sh2_debug.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "bus/memory.h"
#include "core/platform.h"
#include "isa/decode_table.h"
#include "isa/disassembler.h"
#include "isa/dispatch.h"
#include "plugin/plugin_state.h"
#include "plugin/round.h"

namespace sh2debug {
namespace {

sh2::SH2Core &CoreOf(Processor processor) {
    return processor == Processor::Master ? *sh2::MasterCore : *sh2::SlaveCore;
}

Processor ProcessorOf(const sh2::SH2Core &core) {
    return &core == sh2::MasterCore ? Processor::Master : Processor::Slave;
}

sh2::Round round{0, 0, 0, sh2::RoundStep::Done};
const sh2::SH2Core *roundMaster = nullptr;  // the master the round started on

OnChipAccessWatch onChipWatch = nullptr;

void TellOnChipAccess(const sh2::SH2Core &core, uint32_t address, uint32_t value, uint8_t size, bool write) {
    onChipWatch(ProcessorOf(core), address, value, size, write);
}

// Installs the on-chip hook on both cores (they may have been created since).
void ArmOnChipWatch() {
    for (sh2::SH2Core *core : {sh2::MasterCore, sh2::SlaveCore}) {
        if (core != nullptr) core->onChipAccessHook = onChipWatch != nullptr ? TellOnChipAccess : nullptr;
    }
}

bool debuggerAccessing = false;

// The debugger's own accesses are nobody's to watch: the on-chip watch is
// off while they run, and DebuggerAccessing() tells the host's.
class DebuggerAccess {
public:
    explicit DebuggerAccess(sh2::SH2Core &core)
        : core_(core), hook_(core.onChipAccessHook), wasAccessing_(debuggerAccessing) {
        core.onChipAccessHook = nullptr;
        debuggerAccessing = true;
    }
    ~DebuggerAccess() {
        core_.onChipAccessHook = hook_;
        debuggerAccessing = wasAccessing_;
    }
    DebuggerAccess(const DebuggerAccess &) = delete;
    DebuggerAccess &operator=(const DebuggerAccess &) = delete;

private:
    sh2::SH2Core &core_;
    sh2::OnChipAccessHook hook_;
    bool wasAccessing_;
};

uint64_t eventCount = 0;
bool askSoon = false;

// Hands the run loop's view of a round to an Observer, asking and telling
// only what the observer's interests name: the run loop keeps a copy of this
// bridge for each combination.
template <bool kAskAlways, bool kTellAlways>
class Bridge {
public:
    static constexpr bool kWatches = true;

    Bridge(Observer &observer, const Observer::Interests &interests)
        : observer_(observer), interests_(interests), breakpoints_(interests.breakpoints) {
        countdown_ = interests.askEvery;
    }

    bool BeforeInstruction(const sh2::SH2Core &core) {
        if constexpr (!kAskAlways) {
            if (!askSoon && !(countdown_ != 0 && --countdown_ == 0) &&
                !(breakpoints_ != nullptr && breakpoints_->MayStop(core.PC))) {
                return true;
            }
            askSoon = false;
            countdown_ = interests_.askEvery;
        }
        return observer_.BeforeInstruction(ProcessorOf(core), core.PC);
    }

    void AfterInstruction(const sh2::SH2Core &core, const sh2::InstructionStart &start) {
        ++eventCount;
        if constexpr (kTellAlways) {
            const bool ranSlot = core.delaySlotStartCycles != sh2::kNoDelaySlot;
            const Instruction instruction{ProcessorOf(core),
                                          start.pc,
                                          start.opcode,
                                          start.cycles,
                                          core.sliceCycles,
                                          core.PC,
                                          ranSlot,
                                          ranSlot ? core.currentOpcode : uint16_t{0},
                                          ranSlot ? core.delaySlotStartCycles : 0};
            observer_.AfterInstruction(instruction);
        }
    }

    bool BeforeService(const sh2::SH2Core &core) { return observer_.BeforeService(ProcessorOf(core)); }

    bool AfterService(const sh2::SH2Core &core, int32_t executed, int32_t cycles) {
        ++eventCount;
        return observer_.AfterService(ProcessorOf(core), cycles, cycles > executed ? cycles - executed : 0);
    }

private:
    Observer &observer_;
    const Observer::Interests interests_;
    // The observer is asked at every address the filter lets through (none).
    const BreakpointFilter *breakpoints_;
    uint32_t countdown_ = 0;
};

template <bool kAskAlways, bool kTellAlways>
bool RunBridged(Observer &observer, const Observer::Interests &interests) {
    Bridge<kAskAlways, kTellAlways> bridge(observer, interests);
    return sh2::RunRound(round, bridge);
}

}  // namespace

const char *ProcessorName(Processor processor) {
    return processor == Processor::Master ? "master" : "slave";
}

bool Exists(Processor processor) {
    return (processor == Processor::Master ? sh2::MasterCore : sh2::SlaveCore) != nullptr;
}

bool SlaveSwitchedOn() {
    return sh2::SlaveCore != nullptr && sh2::SlaveEnabled != 0;
}

bool StoppedOnUndefinedOpcode(Processor processor) {
    return CoreOf(processor).stoppedOnUndefinedOpcode;
}

bool Interrupting() {
    return sh2::Interrupting != 0;
}

Registers ReadRegisters(Processor processor) {
    const sh2::SH2Core &core = CoreOf(processor);
    Registers registers{};
    for (int i = 0; i < 16; ++i) {
        registers.R[i] = core.R[i];
    }
    registers.PC = core.PC;
    registers.PR = core.PR;
    registers.GBR = core.GBR;
    registers.VBR = core.VBR;
    registers.MACH = core.MACH;
    registers.MACL = core.MACL;
    registers.SR = core.SR;
    return registers;
}

void WriteRegisters(Processor processor, const Registers &registers) {
    sh2::SH2Core &core = CoreOf(processor);
    for (int i = 0; i < 16; ++i) {
        core.R[i] = registers.R[i];
    }
    if (registers.PC != core.PC) {
        core.PC = registers.PC;
        sh2::ClearUndefinedOpcodeStop(core);
    }
    core.PR = registers.PR;
    core.GBR = registers.GBR;
    core.VBR = registers.VBR;
    core.MACH = registers.MACH;
    core.MACL = registers.MACL;
    core.SR = registers.SR & sh2::kSrWritableBits;
}

bool DebuggerAccessing() {
    return debuggerAccessing;
}

void ReadMemory(Processor processor, uint32_t address, uint8_t *out, uint32_t length) {
    sh2::SH2Core &core = CoreOf(processor);
    const DebuggerAccess debugger(core);
    while (length > 0) {
        if ((address & 3u) == 0 && length >= 4) {
            const uint32_t value = sh2::BusReadLong(core, address);
            for (int i = 0; i < 4; ++i) {
                out[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
            }
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

void WriteMemory(Processor processor, uint32_t address, const uint8_t *data, uint32_t length) {
    sh2::SH2Core &core = CoreOf(processor);
    const DebuggerAccess debugger(core);
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

uint16_t FetchOpcode(Processor processor, uint32_t address) {
    return sh2::FetchOpcode(CoreOf(processor), address);
}

void WatchOnChipAccesses(OnChipAccessWatch watch) {
    onChipWatch = watch;
    ArmOnChipWatch();
}

struct LibraryState::Data {
    sh2::SH2State cores[2];
    bool exists[2] = {false, false};
    uint8_t slaveEnabled = 0;
    uint8_t interrupting = 0;
    sh2::Round round{0, 0, 0, sh2::RoundStep::Done};
    const sh2::SH2Core *roundMaster = nullptr;
    uint64_t eventCount = 0;
};

LibraryState::LibraryState() : data(std::make_unique<Data>()) {}

size_t LibraryStateSize() {
    return sizeof(LibraryState) + sizeof(LibraryState::Data);
}
LibraryState::~LibraryState() = default;

void SaveLibraryState(LibraryState &state) {
    LibraryState::Data &d = *state.data;
    for (const Processor processor : kProcessors) {
        const int index = IndexOf(processor);
        d.exists[index] = Exists(processor);
        if (d.exists[index]) d.cores[index] = CoreOf(processor);
    }
    d.slaveEnabled = sh2::SlaveEnabled;
    d.interrupting = sh2::Interrupting;
    d.round = round;
    d.roundMaster = roundMaster;
    d.eventCount = eventCount;
}

void RestoreLibraryState(const LibraryState &state) {
    const LibraryState::Data &d = *state.data;
    for (const Processor processor : kProcessors) {
        const int index = IndexOf(processor);
        if (d.exists[index] && Exists(processor)) static_cast<sh2::SH2State &>(CoreOf(processor)) = d.cores[index];
    }
    sh2::SlaveEnabled = d.slaveEnabled;
    sh2::Interrupting = d.interrupting;
    round = d.round;
    roundMaster = d.roundMaster;
    eventCount = d.eventCount;
    askSoon = false;
    ArmOnChipWatch();
}

InstructionInfo DescribeInstruction(uint16_t opcode) {
    const sh2::OpcodePattern *row = sh2::FindDecodeRow(opcode);
    if (row == nullptr) {
        return {false, ".word", Flow::Sequential, 0, 0};
    }
    return {true, row->mnemonic, row->flow, row->cycles, row->notTakenCycles};
}

void BuildSpareHandlerTable() {
    static sh2::OpcodeHandler spare[sh2::kOpcodeCount];
    sh2::BuildOpcodeHandlerTable(spare);
}

std::string Disassemble(uint16_t opcode, uint32_t address) {
    return sh2::Disassemble(opcode, address);
}

void StartRound(int32_t budget) {
    round = sh2::StartRound(budget);
    roundMaster = sh2::MasterCore;
}

bool RoundUnderWay() {
    return round.step != sh2::RoundStep::Done && roundMaster == sh2::MasterCore;
}

void AbandonRound() {
    round.step = sh2::RoundStep::Done;
}

bool RunRound(Observer &observer) {
    if (sh2::MasterCore == nullptr || !RoundUnderWay()) {
        round.step = sh2::RoundStep::Done;
        return true;
    }
    ArmOnChipWatch();  // cores made since the watch was set have none yet
    const Observer::Interests interests = observer.Wants();
    if (interests.askBeforeEveryInstruction) {
        return interests.tellEveryInstruction ? RunBridged<true, true>(observer, interests)
                                              : RunBridged<true, false>(observer, interests);
    }
    return interests.tellEveryInstruction ? RunBridged<false, true>(observer, interests)
                                          : RunBridged<false, false>(observer, interests);
}

uint64_t EventCount() {
    return eventCount;
}

void AskSoon() {
    askSoon = true;
}

Processor RoundProcessor() {
    return round.processor == 0 ? Processor::Master : Processor::Slave;
}

int32_t RoundMasterCycles() {
    if (round.processor == 0 && round.step != sh2::RoundStep::NextSlice && RoundUnderWay() &&
        sh2::MasterCore != nullptr) {
        return round.step == sh2::RoundStep::BeginSlice ? 0 : sh2::MasterCore->sliceCycles;
    }
    return round.masterCycles;
}

namespace {
sh2::ModalBoxHandler boxesShownBy = nullptr;  // with ShowEachBoxOnce on: the handler it wraps
std::set<uint64_t> boxEvents;                 // the event counts at which a box was shown

void ShowBoxOnce(const char *caption, const char *text, uint32_t flags) {
    if (boxEvents.insert(eventCount).second) boxesShownBy(caption, text, flags);
}
}  // namespace

void ShowEachBoxOnce(bool on) {
    if (on && boxesShownBy == nullptr) {
        boxesShownBy = sh2::CurrentModalBoxHandler();
        sh2::SetModalBoxHandler(ShowBoxOnce);
    } else if (!on && boxesShownBy != nullptr) {
        sh2::SetModalBoxHandler(boxesShownBy);
        boxesShownBy = nullptr;
        boxEvents.clear();
    }
}

int32_t RoundSliceCycles() {
    if (!RoundUnderWay() || (round.step != sh2::RoundStep::Instructions && round.step != sh2::RoundStep::Service)) {
        return 0;
    }
    const sh2::SH2Core *core = sh2::RoundCore(round);
    return core != nullptr ? core->sliceCycles : 0;
}

}  // namespace sh2debug
