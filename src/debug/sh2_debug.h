// The debugging interface of the SH-2 interpreter: what a program that links
// the library in (sh2run's tracer, profiler and GDB server, the benchmarks)
// may see and do beyond the fourteen exports of sh2_plugin.h.
//
// It gives the two processors (registers, memory as their instructions see
// it, the opcodes the fetch reads), the instruction list, and rounds: one
// round is the master's slice and then, if the slave is switched on, the
// slave's slice of the same budget, run by the very code SH2RunCycles runs.
// An observer is told about every instruction the run loop executes (a
// delayed branch together with the instruction in its slot) and may stop the
// round between any two instructions; the round then goes on from there as if
// it had never stopped.
//
// Everything here acts on the cores that InitSH2Plugin created.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "isa/flow.h"
#include "sh2_plugin.h"

namespace sh2debug {

enum class Processor : uint8_t { Master, Slave };

inline constexpr Processor kProcessors[2] = {Processor::Master, Processor::Slave};
inline constexpr int IndexOf(Processor processor) {
    return processor == Processor::Master ? 0 : 1;
}
// "master" or "slave".
const char *ProcessorName(Processor processor);

// Whether InitSH2Plugin has created the processor.
bool Exists(Processor processor);
// Whether the slave exists and is switched on (SlaveSH2On).
bool SlaveSwitchedOn();
// Whether the processor met an undefined opcode: it then stays where it
// stopped, its slices passing as idle time, until a reset or a new PC.
bool StoppedOnUndefinedOpcode(Processor processor);
// The library-wide flag the master's undefined-opcode box reports ("while
// interrupting"): set when either processor accepts an interrupt, cleared
// by RTE and by InitSH2Plugin.
bool Interrupting();

// ---------------------------------------------------------------------------
// Registers and memory of a processor (it must exist).

struct Registers {
    uint32_t R[16];
    uint32_t PC;  // the address of the instruction fetched next
    uint32_t PR;
    uint32_t GBR;
    uint32_t VBR;
    uint32_t MACH;
    uint32_t MACL;
    uint32_t SR;
};

Registers ReadRegisters(Processor processor);
// SR keeps its writable bits (0x3F3). A PC other than the current one makes
// a processor stopped on an undefined opcode run again, as MasterSH2SetPC
// does for the master.
void WriteRegisters(Processor processor, const Registers &registers);

// Memory as the processor's instructions see it, through its memory access
// layer: its on-chip registers (a write has its side effect), its on-chip
// RAM, and the host's callbacks for everything else. Each piece is accessed
// with the widest access its alignment allows; the address wraps at 2^32.
void ReadMemory(Processor processor, uint32_t address, uint8_t *out, uint32_t length);
void WriteMemory(Processor processor, uint32_t address, const uint8_t *data, uint32_t length);
// Whether ReadMemory or WriteMemory is under way: the host's callbacks see
// their accesses too, and a host's own watch leaves them out, as the
// on-chip watch does.
bool DebuggerAccessing();

// The opcode the processor's instruction fetch reads at `address`, straight
// from the host's memory blocks.
uint16_t FetchOpcode(Processor processor, uint32_t address);

// Told of every data access an instruction of either processor makes to its
// on-chip RAM or on-chip registers (accesses to host memory reach the host's
// callbacks, which see them there): the address as the instruction formed
// it, the value read or written, the size in bytes. Null stops the telling.
// ReadMemory and WriteMemory above are never told.
using OnChipAccessWatch = void (*)(Processor processor, uint32_t address, uint32_t value, uint8_t size, bool write);
void WatchOnChipAccesses(OnChipAccessWatch watch);

// While on, a modal box of the library (the undefined-opcode "Error" box,
// say) raised at an event count (EventCount) at which one was shown before,
// the same moment of the run come again, is dropped: a debugger that runs a
// stretch of the past again shows each box once. Off shows every box again.
void ShowEachBoxOnce(bool on);

// ---------------------------------------------------------------------------
// The library's state, for going back in time: both processors (registers,
// on-chip registers and RAM, timers, pending interrupts, the run loop's
// bookkeeping), the library-wide flags and the round under way. The host's
// memory is the host's to keep.

class LibraryState {
public:
    LibraryState();
    ~LibraryState();
    LibraryState(const LibraryState &) = delete;
    LibraryState &operator=(const LibraryState &) = delete;
    struct Data;
    std::unique_ptr<Data> data;
};

// The memory one LibraryState takes, in bytes (its allocations included).
size_t LibraryStateSize();

// Copies the library's state into `state`, or puts it back. Restoring needs
// the same processors (no InitSH2Plugin in between); nothing may run while
// it happens.
void SaveLibraryState(LibraryState &state);
void RestoreLibraryState(const LibraryState &state);

// ---------------------------------------------------------------------------
// The instruction list.

using sh2::Flow;

struct InstructionInfo {
    bool defined;          // false: the opcode is no instruction
    const char *mnemonic;  // as binutils prints it; ".word" when undefined
    Flow flow;
    int32_t cycles;          // the cost it adds itself (a taken branch)
    int32_t notTakenCycles;  // a conditional branch not taken
};

InstructionInfo DescribeInstruction(uint16_t opcode);
// Builds the 65,536-entry handler table again into storage of its own, as
// loading the library does (the library's table is untouched): for timing.
void BuildSpareHandlerTable();
// The text GNU binutils' SH disassembler prints for `opcode` at `address`.
std::string Disassemble(uint16_t opcode, uint32_t address);

// ---------------------------------------------------------------------------
// Rounds.

// One instruction as the run loop executed it. A delayed branch that ran its
// slot is one instruction with `ranDelaySlot` set: the slot instruction at
// pc + 2 ran after the branch added its own cost.
struct Instruction {
    Processor processor;
    uint32_t pc;
    uint16_t opcode;
    int32_t startCycles;  // the slice's cycle count before the instruction
    int32_t endCycles;    // and after it, slot included
    uint32_t nextPc;      // PC after it
    bool ranDelaySlot;
    uint16_t slotOpcode;      // with ranDelaySlot: the slot's opcode
    int32_t slotStartCycles;  // with ranDelaySlot: the count when the slot began
};

// Breakpoint addresses as a round filters them: a bit per halfword address
// modulo 2^17 lets through every address that may be a breakpoint. Build it
// once for a resume and hand it to each of its rounds.
class BreakpointFilter {
public:
    BreakpointFilter() = default;
    explicit BreakpointFilter(const std::vector<uint32_t> &addresses) {
        for (const uint32_t address : addresses) bits_[Index(address)] = true;
        any_ = !addresses.empty();
    }
    bool Empty() const { return !any_; }
    // Whether `pc` may be one of the addresses (another address that is the
    // same modulo 2^17 passes too).
    bool MayStop(uint32_t pc) const { return any_ && bits_[Index(pc)]; }

private:
    static uint32_t Index(uint32_t address) { return (address >> 1) & 0xFFFFu; }
    std::vector<bool> bits_ = std::vector<bool>(0x10000);
    bool any_ = false;
};

// What watches a round. Each question that returns false stops the round at
// that point; RunRound then returns, and the next RunRound goes on from there.
class Observer {
public:
    // What the observer wants to be asked and told, read when RunRound
    // starts. An observer that does not ask before every instruction is
    // asked at its breakpoints, every `askEvery` instructions and after
    // AskSoon(); one that does not want every instruction is not told of
    // any. The round then costs next to nothing per instruction.
    struct Interests {
        bool askBeforeEveryInstruction = true;
        const BreakpointFilter *breakpoints = nullptr;
        uint32_t askEvery = 0;  // 0: not by count
        bool tellEveryInstruction = true;
    };

    virtual ~Observer() = default;
    virtual Interests Wants() const { return {}; }
    // Before `processor` fetches the instruction at `pc`.
    virtual bool BeforeInstruction(Processor processor, uint32_t pc) = 0;
    virtual void AfterInstruction(const Instruction &instruction) = 0;
    // The slice's instructions are over; its servicing (timer, requested
    // exception, interrupt acceptance) comes next.
    virtual bool BeforeService(Processor processor) = 0;
    // The servicing is done: the slice's result is `cycles`, of which
    // `idleCycles` passed with the processor stopped on an undefined opcode.
    virtual bool AfterService(Processor processor, int32_t cycles, int32_t idleCycles) = 0;
};

// The library's one round. Starts a round of `budget` cycles per slice; a
// round under way is abandoned.
void StartRound(int32_t budget);
// Whether a round was started and is not over. A round belongs to the cores
// it started on: after DeInitPlugin or a new InitSH2Plugin none is under way.
bool RoundUnderWay();
// Forgets the round under way, wherever it stands.
void AbandonRound();
// Runs the round under way until it is over (true) or the observer stops it
// (false). Without a master, or without a round, it is over at once.
bool RunRound(Observer &observer);
// The processor whose slice is under way (the slave's once the master's is
// over).
Processor RoundProcessor();
// The master's cycles in this round: so far, or the slice's result once its
// servicing is done.
int32_t RoundMasterCycles();
// The cycles of the slice under way so far: the instructions' of the
// processor whose slice has begun and whose servicing is not done yet; 0
// between slices.
int32_t RoundSliceCycles();
// The events of the rounds run so far: each instruction (a delayed branch
// with its slot) and each end-of-slice servicing is one. LibraryState saves
// and restores it with the rest.
uint64_t EventCount();
// Makes the round under way ask its observer before its next instruction
// whatever its interests: for something that must be looked at soon (a
// watchpoint hit, the exit port, a write that may have started a long DMA
// transfer).
void AskSoon();

}  // namespace sh2debug
