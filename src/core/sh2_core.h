// One emulated SH-2 processor: its state (registers, on-chip register image,
// on-chip RAM, timer and watchdog state, pending interrupts and slice
// bookkeeping) and its host bindings.
#pragma once

#include <cstdint>
#include <fstream>
#include <type_traits>

#include "sh2_plugin.h"

namespace sh2 {

// SR bits.
inline constexpr uint32_t kSrT = 0x001;
inline constexpr uint32_t kSrS = 0x002;
inline constexpr uint32_t kSrInterruptMask = 0x0F0;
inline constexpr uint32_t kSrQ = 0x100;
inline constexpr uint32_t kSrM = 0x200;
// The bits an instruction loading the whole of SR keeps.
inline constexpr uint32_t kSrWritableBits = 0x3F3;

inline constexpr uint32_t kOnChipRegisterFileSize = 512;
inline constexpr uint32_t kOnChipRamSize = 4096;

inline constexpr uint32_t kMaxInterruptLevel = 15;

struct PendingInterruptTable {
    uint8_t pending[16];  // indexed by level; element 0 is never set
    uint8_t vector[16];   // vector number of the waiting request of that level
    uint32_t pendingCount;
};

struct SH2Core;

// Told of every data access an instruction makes to on-chip RAM or the
// on-chip registers: the address as formed, the value read or written and
// the access size in bytes. The debugging interface's watchpoints set it;
// null otherwise.
using OnChipAccessHook = void (*)(const SH2Core &core, uint32_t address, uint32_t value, uint8_t size, bool write);

// The free-running timer's state beside its register image: the prescaler
// (the clock divided by 1 << prescalerShift: 8, 32 or 128) with the cycles
// it has not yet counted, and the two compare values behind their byte
// windows.
struct FreeRunningTimerState {
    uint32_t prescalerShift;
    uint16_t prescalerRemainder;
    uint16_t OCRA;
    uint16_t OCRB;
};

inline uint32_t PrescalerMask(const FreeRunningTimerState &timer) {
    return (1u << timer.prescalerShift) - 1;
}

// What the watchdog's registers read back: they are written through a
// password, so the register image does not hold them.
struct WatchdogState {
    uint8_t control;       // WTCSR (0xFFFFFE80)
    uint8_t counter;       // WTCNT (0xFFFFFE81)
    uint8_t resetControl;  // RSTCSR (0xFFFFFE83)
};

// Everything a processor is, as one plain record: saving, restoring and
// comparing a processor is one assignment or one memcmp. The division unit
// and the DMA controller live in the register image.
struct SH2State {
    uint32_t R[16];
    uint32_t SR;
    uint32_t GBR;
    uint32_t VBR;
    uint32_t MACH;
    uint32_t MACL;
    uint32_t PR;
    uint32_t PC;                                          // address of the instruction fetched next
    uint8_t OnChipRegisterFile[kOnChipRegisterFileSize];  // 0xFFFFFE00..0xFFFFFFFF, big-endian
    uint8_t OnChipRam[kOnChipRamSize];                    // big-endian
    uint8_t isMaster;
    FreeRunningTimerState timer;
    uint8_t exceptionRequest;
    WatchdogState watchdog;
    PendingInterruptTable pendingInterrupts;
    uint16_t currentOpcode;
    int32_t sliceCycles;

    // Run-loop bookkeeping.
    int32_t sliceTarget;  // the loop runs while sliceCycles < sliceTarget
    bool inDelaySlot;     // an instruction is running as a delay slot
    // sliceCycles when the last delay slot began. A watched run loop clears
    // it before each instruction, so that it tells whether a slot ran.
    int32_t delaySlotStartCycles;
    // Set when an undefined opcode was met; the core then stays stopped (its
    // slices run no instruction and count their budget as idle time) until a
    // reset or, for the master, MasterSH2SetPC.
    bool stoppedOnUndefinedOpcode;
    // The run of not-taken BT/S instructions (the one instruction that costs
    // no cycles) that the slice is in: its length, and sliceCycles during it.
    uint32_t freeRunLength;
    int32_t freeRunCycles;
};
static_assert(std::is_trivially_copyable_v<SH2State>);

// A processor with its bindings: the host's memory blocks and callbacks, its
// log file and the debugger's on-chip watch.
struct SH2Core : SH2State {
    const uint8_t *memoryBlocks[3];
    HostReadByteFn ReadByte;
    HostReadWordFn ReadWord;
    HostReadLongFn ReadLong;
    HostWriteByteFn WriteByte;
    HostWriteWordFn WriteWord;
    HostWriteLongFn WriteLong;
    std::ofstream logFile;
    OnChipAccessHook onChipAccessHook;
};

// Library-wide flag: set when either core accepts an interrupt, cleared by RTE
// on either core and whenever a core is created. Only the wording of the
// master's undefined-opcode message depends on it.
extern uint8_t Interrupting;

// Builds a powered-on core: reads the power-on PC and SP through the host's
// ReadLong at 0 and 4, fills the register image with its reset values and
// recreates the core's empty log file. Returns null if storage is exhausted or
// the record lacks one of its six callbacks or three memory blocks.
SH2Core *CreateCore(bool isMaster, const SH2HostInterface &host);
void DestroyCore(SH2Core *core);
// Manual reset: PC and SP from ReadLong at 8 and 12; see the .cpp for what a
// reset leaves untouched.
void ResetCore(SH2Core &core);

inline const char *LogFileName(bool isMaster) {
    return isMaster ? "master_sh2_interpreter.log" : "slave_sh2_interpreter.log";
}

inline void SetT(SH2Core &core, bool t) {
    core.SR = (core.SR & ~kSrT) | (t ? kSrT : 0u);
}
inline uint32_t GetT(const SH2Core &core) {
    return core.SR & kSrT;
}

}  // namespace sh2
