// Creating, resetting and destroying a core: the power-on and reset vectors,
// the register reset values and the empty log file.
#include <cstring>
#include <new>

#include "core/platform.h"
#include "core/sh2_core.h"

namespace sh2 {

uint8_t Interrupting = 0;

namespace {

struct ResetByte {
    uint32_t address;
    uint8_t value;
};

// Register image bytes that are not zero after creation and reset. BCR1's
// high byte (0xFFFFFFE2) differs by processor and is stored separately.
constexpr ResetByte kRegisterResetBytes[] = {
    {0xFFFFFE01, 0xFF},  // BRR
    {0xFFFFFE03, 0xFF},  // TDR
    {0xFFFFFE04, 0x84},  // SSR
    {0xFFFFFE10, 0x01},  // TIER
    {0xFFFFFE17, 0xE0},  // TOCR
    {0xFFFFFE80, 0x18},  // WTCSR
    {0xFFFFFE82, 0x1F},  // RSTCSR (its write address)
    {0xFFFFFFE3, 0xF0},  // BCR1, bits 7..0
    {0xFFFFFFE5, 0xFC},  // BCR2, second byte
    {0xFFFFFFE8, 0xAA},  // WCR, first byte
    {0xFFFFFFE9, 0xFF},  // WCR, second byte
};

constexpr uint32_t kBcr1High = 0xFFFFFFE2;
constexpr uint8_t kBcr1HighMaster = 0x03;
constexpr uint8_t kBcr1HighSlave = 0x83;  // bit 15 of BCR1 marks the slave

constexpr uint32_t kStatusAfterReset = 0x000000F0;  // interrupt mask 15

void ClearPendingInterrupts(PendingInterruptTable &table) {
    std::memset(table.pending, 0, sizeof table.pending);
    std::memset(table.vector, 0, sizeof table.vector);
    table.pendingCount = 0;
}

// Fills the register image and on-chip RAM with zeros, then stores the
// register reset values.
void FillResetImage(SH2Core &core) {
    std::memset(core.OnChipRegisterFile, 0, sizeof core.OnChipRegisterFile);
    std::memset(core.OnChipRam, 0, sizeof core.OnChipRam);
    for (const ResetByte &entry : kRegisterResetBytes) {
        core.OnChipRegisterFile[entry.address & 0x1FF] = entry.value;
    }
    core.OnChipRegisterFile[kBcr1High & 0x1FF] = core.isMaster ? kBcr1HighMaster : kBcr1HighSlave;
}

// A core needs all six callbacks and all three memory blocks.
bool HostInterfaceComplete(const SH2HostInterface &host) {
    return host.ReadByte != nullptr && host.ReadWord != nullptr && host.ReadLong != nullptr &&
           host.WriteByte != nullptr && host.WriteWord != nullptr && host.WriteLong != nullptr &&
           host.MemoryBlock0 != nullptr && host.MemoryBlock1 != nullptr && host.MemoryBlock2 != nullptr;
}

}  // namespace

SH2Core *CreateCore(bool isMaster, const SH2HostInterface &host) {
    if (!HostInterfaceComplete(host)) {
        return nullptr;  // a core without its callbacks or blocks cannot run
    }
    SH2Core *core = new (std::nothrow) SH2Core{};
    if (core == nullptr) {
        return nullptr;
    }
    core->isMaster = isMaster ? 1 : 0;
    core->ReadByte = host.ReadByte;
    core->ReadWord = host.ReadWord;
    core->ReadLong = host.ReadLong;
    core->WriteByte = host.WriteByte;
    core->WriteWord = host.WriteWord;
    core->WriteLong = host.WriteLong;
    core->memoryBlocks[0] = static_cast<const uint8_t *>(host.MemoryBlock0);
    core->memoryBlocks[1] = static_cast<const uint8_t *>(host.MemoryBlock1);
    core->memoryBlocks[2] = static_cast<const uint8_t *>(host.MemoryBlock2);

    std::memset(core->R, 0, sizeof core->R);
    ClearPendingInterrupts(core->pendingInterrupts);

    // Power-on vectors, straight from the host: PC then SP.
    core->PC = core->ReadLong(0);
    core->R[15] = core->ReadLong(4);

    core->SR = kStatusAfterReset;
    core->GBR = core->VBR = core->MACH = core->MACL = core->PR = 0;
    FillResetImage(*core);

    // Free-running timer: internal clock / 8. The output-compare registers
    // start at 0xFFFF, as on the chip.
    core->timer.prescalerShift = 3;
    core->timer.prescalerRemainder = 0;
    core->timer.OCRA = 0xFFFF;
    core->timer.OCRB = 0xFFFF;

    // Watchdog read-back copies start as the register image does.
    core->watchdog.control = 0x18;
    core->watchdog.counter = 0x00;
    core->watchdog.resetControl = 0x1F;

    core->exceptionRequest = 0;

    const char *logName = LogFileName(isMaster);
    DeleteFileIfPresent(logName);
    core->logFile.open(logName, std::ios::out | std::ios::trunc);

    Interrupting = 0;
    core->sliceCycles = 0;
    core->sliceTarget = 0;
    core->inDelaySlot = false;
    core->delaySlotStartCycles = 0;
    core->stoppedOnUndefinedOpcode = false;
    core->currentOpcode = 0;
    return core;
}

void DestroyCore(SH2Core *core) {
    if (core == nullptr) {
        return;
    }
    core->logFile.close();
    delete core;
}

// A reset leaves R0..R14, the host bindings, the timer's clock selection,
// remainder and compare values, exceptionRequest, the watchdog copies, the log
// file, currentOpcode, sliceCycles and the library-wide Interrupting flag.
void ResetCore(SH2Core &core) {
    core.PC = core.ReadLong(8);
    core.R[15] = core.ReadLong(12);
    core.SR = kStatusAfterReset;
    core.VBR = core.GBR = core.MACH = core.MACL = core.PR = 0;
    FillResetImage(core);
    ClearPendingInterrupts(core.pendingInterrupts);
    core.stoppedOnUndefinedOpcode = false;
}

}  // namespace sh2
