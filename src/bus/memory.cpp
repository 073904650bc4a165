// The on-chip share of the data accesses: the register window
// (0xFFFFFE00..0xFFFFFFFF) with its side effects, then the on-chip RAM window,
// each access told to the core's watch hook when one is set.
// The callers in memory.h have already sent everything below 0xC0000000 to
// the host (or, for writes from 0x40000000, nowhere).
#include "bus/memory.h"

namespace sh2 {

namespace {

// Hands an on-chip access to the core's hook; returns the value.
template <class Value>
Value Watched(const SH2Core &core, uint32_t address, Value value, bool write) {
    if (core.onChipAccessHook != nullptr) [[unlikely]] {
        core.onChipAccessHook(core, address, value, sizeof(Value), write);
    }
    return value;
}

}  // namespace

uint8_t OnChipBusReadByte(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return Watched(core, address, OnChipReadByte(core, address), false);
    }
    return Watched(core, address, core.OnChipRam[address & kRamMask], false);
}

uint16_t OnChipBusReadWord(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return Watched(core, address, LoadBigEndian16(core.OnChipRegisterFile, address, kRegisterFileMask), false);
    }
    return Watched(core, address, LoadBigEndian16(core.OnChipRam, address, kRamMask), false);
}

uint32_t OnChipBusReadLong(SH2Core &core, uint32_t address) {
    if (address >= kOnChipRegisterBase) {
        return Watched(core, address, LoadBigEndian32(core.OnChipRegisterFile, address, kRegisterFileMask), false);
    }
    return Watched(core, address, LoadBigEndian32(core.OnChipRam, address, kRamMask), false);
}

void OnChipBusWriteByte(SH2Core &core, uint32_t address, uint8_t value) {
    Watched(core, address, value, true);
    if (address >= kOnChipRegisterBase) {
        OnChipWriteByte(core, address, value);
    } else {
        core.OnChipRam[address & kRamMask] = value;
    }
}

void OnChipBusWriteWord(SH2Core &core, uint32_t address, uint16_t value) {
    Watched(core, address, value, true);
    if (address >= kOnChipRegisterBase) {
        OnChipWriteWord(core, address, value);
    } else {
        StoreBigEndian16(core.OnChipRam, address, kRamMask, value);
    }
}

void OnChipBusWriteLong(SH2Core &core, uint32_t address, uint32_t value) {
    Watched(core, address, value, true);
    if (address >= kOnChipRegisterBase) {
        OnChipWriteLong(core, address, value);
    } else {
        StoreBigEndian32(core.OnChipRam, address, kRamMask, value);
    }
}

}  // namespace sh2
