// The data accesses of the instructions: the address selects the on-chip
// register window, the on-chip RAM window or the host, in that order.
#include "bus/memory.h"

namespace sh2 {

uint8_t BusReadByte(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return OnChipReadByte(core, address);
    }
    if (address >= kOnChipRamBase) {
        return core.OnChipRam[address & kRamMask];
    }
    return static_cast<uint8_t>(core.ReadByte(address));
}

uint16_t BusReadWord(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return LoadBigEndian16(core.OnChipRegisterFile, address, kRegisterFileMask);
    }
    if (address >= kOnChipRamBase) {
        return LoadBigEndian16(core.OnChipRam, address, kRamMask);
    }
    return static_cast<uint16_t>(core.ReadWord(address));
}

uint32_t BusReadLong(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return LoadBigEndian32(core.OnChipRegisterFile, address, kRegisterFileMask);
    }
    if (address >= kOnChipRamBase) {
        return LoadBigEndian32(core.OnChipRam, address, kRamMask);
    }
    return core.ReadLong(address);
}

void BusWriteByte(SH2Core &core, uint32_t address, uint8_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteByte(core, address, value);
    } else if (address >= kOnChipRamBase) {
        core.OnChipRam[address & kRamMask] = value;
    } else if (address < kHostWriteLimit) {
        core.WriteByte(address, value);
    }
}

void BusWriteWord(SH2Core &core, uint32_t address, uint16_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteWord(core, address, value);
    } else if (address >= kOnChipRamBase) {
        StoreBigEndian16(core.OnChipRam, address, kRamMask, value);
    } else if (address < kHostWriteLimit) {
        core.WriteWord(address, value);
    }
}

void BusWriteLong(SH2Core &core, uint32_t address, uint32_t value) {
    if (address >= kOnChipRegisterBase) {
        OnChipWriteLong(core, address, value);
    } else if (address >= kOnChipRamBase) {
        StoreBigEndian32(core.OnChipRam, address, kRamMask, value);
    } else if (address < kHostWriteLimit) {
        core.WriteLong(address, value);
    }
}

}  // namespace sh2
