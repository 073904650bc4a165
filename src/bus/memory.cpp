// The on-chip share of the data accesses: the register window
// (0xFFFFFE00..0xFFFFFFFF) with its side effects, then the on-chip RAM window.
// The callers in memory.h have already sent everything below 0xC0000000 to
// the host (or, for writes from 0x40000000, nowhere).
#include "bus/memory.h"

namespace sh2 {

uint8_t OnChipBusReadByte(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return OnChipReadByte(core, address);
    }
    return core.OnChipRam[address & kRamMask];
}

uint16_t OnChipBusReadWord(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return LoadBigEndian16(core.OnChipRegisterFile, address, kRegisterFileMask);
    }
    return LoadBigEndian16(core.OnChipRam, address, kRamMask);
}

uint32_t OnChipBusReadLong(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return LoadBigEndian32(core.OnChipRegisterFile, address, kRegisterFileMask);
    }
    return LoadBigEndian32(core.OnChipRam, address, kRamMask);
}

void OnChipBusWriteByte(SH2Core &core, uint32_t address, uint8_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteByte(core, address, value);
    } else {
        core.OnChipRam[address & kRamMask] = value;
    }
}

void OnChipBusWriteWord(SH2Core &core, uint32_t address, uint16_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteWord(core, address, value);
    } else {
        StoreBigEndian16(core.OnChipRam, address, kRamMask, value);
    }
}

void OnChipBusWriteLong(SH2Core &core, uint32_t address, uint32_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteLong(core, address, value);
    } else {
        StoreBigEndian32(core.OnChipRam, address, kRamMask, value);
    }
}

}  // namespace sh2
