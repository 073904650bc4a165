// The memory access layer: every data access of an instruction goes through
// these six operations. The address alone selects the destination, tested in
// this order: the on-chip register window (0xFFFFFE00..0xFFFFFFFF), the
// on-chip RAM window (0xC0000000..0xFFFFFDFF, 4 KB aliased throughout), then
// the host. Writes to 0x40000000..0xBFFFFFFF are dropped; reads of that range
// go to the host. Word and long accesses are big-endian, never aligned, and a
// window access that runs past the end of its storage wraps inside it.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/sh2_core.h"

namespace sh2 {

inline constexpr uint32_t kOnChipRegisterBase = 0xFFFFFE00u;
inline constexpr uint32_t kOnChipRamBase = 0xC0000000u;
inline constexpr uint32_t kHostWriteLimit = 0x40000000u;  // writes at or above go nowhere
inline constexpr uint32_t kRegisterFileMask = kOnChipRegisterFileSize - 1;
inline constexpr uint32_t kRamMask = kOnChipRamSize - 1;

// Big-endian access to a power-of-two sized storage, wrapping at its end.
inline uint16_t LoadBigEndian16(const uint8_t *storage, uint32_t offset, uint32_t mask) {
    offset &= mask;
    return static_cast<uint16_t>((storage[offset] << 8) | storage[(offset + 1) & mask]);
}

inline uint32_t LoadBigEndian32(const uint8_t *storage, uint32_t offset, uint32_t mask) {
    offset &= mask;
    if (offset + 3 <= mask) {
        uint32_t value;
        std::memcpy(&value, storage + offset, sizeof value);
        return __builtin_bswap32(value);
    }
    return (static_cast<uint32_t>(storage[offset]) << 24) |
           (static_cast<uint32_t>(storage[(offset + 1) & mask]) << 16) |
           (static_cast<uint32_t>(storage[(offset + 2) & mask]) << 8) | storage[(offset + 3) & mask];
}

inline void StoreBigEndian16(uint8_t *storage, uint32_t offset, uint32_t mask, uint16_t value) {
    offset &= mask;
    storage[offset] = static_cast<uint8_t>(value >> 8);
    storage[(offset + 1) & mask] = static_cast<uint8_t>(value);
}

inline void StoreBigEndian32(uint8_t *storage, uint32_t offset, uint32_t mask, uint32_t value) {
    offset &= mask;
    if (offset + 3 <= mask) {
        const uint32_t swapped = __builtin_bswap32(value);
        std::memcpy(storage + offset, &swapped, sizeof swapped);
        return;
    }
    storage[offset] = static_cast<uint8_t>(value >> 24);
    storage[(offset + 1) & mask] = static_cast<uint8_t>(value >> 16);
    storage[(offset + 2) & mask] = static_cast<uint8_t>(value >> 8);
    storage[(offset + 3) & mask] = static_cast<uint8_t>(value);
}

// The on-chip register window with the peripherals' side effects. Each write
// stores its bytes into the image first and then runs the effect keyed to the
// exact address and width.
uint8_t OnChipReadByte(SH2Core &core, uint32_t address);
void OnChipWriteByte(SH2Core &core, uint32_t address, uint8_t value);
void OnChipWriteWord(SH2Core &core, uint32_t address, uint16_t value);
void OnChipWriteLong(SH2Core &core, uint32_t address, uint32_t value);

// The six data accesses of the instructions. The host's share (everything
// below 0xC0000000, of which writes only below 0x40000000) is one compare and
// the callback, inline; the on-chip windows are out of line, so that the tens
// of thousands of specialised handlers stay small.
uint8_t OnChipBusReadByte(SH2Core &core, uint32_t address);
uint16_t OnChipBusReadWord(SH2Core &core, uint32_t address);
uint32_t OnChipBusReadLong(SH2Core &core, uint32_t address);
void OnChipBusWriteByte(SH2Core &core, uint32_t address, uint8_t value);
void OnChipBusWriteWord(SH2Core &core, uint32_t address, uint16_t value);
void OnChipBusWriteLong(SH2Core &core, uint32_t address, uint32_t value);

inline uint8_t BusReadByte(SH2Core &core, uint32_t address) {
    return address < kOnChipRamBase ? static_cast<uint8_t>(core.ReadByte(address)) : OnChipBusReadByte(core, address);
}
inline uint16_t BusReadWord(SH2Core &core, uint32_t address) {
    return address < kOnChipRamBase ? static_cast<uint16_t>(core.ReadWord(address)) : OnChipBusReadWord(core, address);
}
inline uint32_t BusReadLong(SH2Core &core, uint32_t address) {
    return address < kOnChipRamBase ? core.ReadLong(address) : OnChipBusReadLong(core, address);
}
inline void BusWriteByte(SH2Core &core, uint32_t address, uint8_t value) {
    if (address < kHostWriteLimit) {
        core.WriteByte(address, value);
    } else if (address >= kOnChipRamBase) {
        OnChipBusWriteByte(core, address, value);
    }
}
inline void BusWriteWord(SH2Core &core, uint32_t address, uint16_t value) {
    if (address < kHostWriteLimit) {
        core.WriteWord(address, value);
    } else if (address >= kOnChipRamBase) {
        OnChipBusWriteWord(core, address, value);
    }
}
inline void BusWriteLong(SH2Core &core, uint32_t address, uint32_t value) {
    if (address < kHostWriteLimit) {
        core.WriteLong(address, value);
    } else if (address >= kOnChipRamBase) {
        OnChipBusWriteLong(core, address, value);
    }
}

// Reading and writing the register image directly (no side effects), for
// the peripherals.
inline uint8_t ImageByte(const SH2Core &core, uint32_t address) {
    return core.OnChipRegisterFile[address & kRegisterFileMask];
}
inline void SetImageByte(SH2Core &core, uint32_t address, uint8_t value) {
    core.OnChipRegisterFile[address & kRegisterFileMask] = value;
}
inline uint16_t ImageWord(const SH2Core &core, uint32_t address) {
    return LoadBigEndian16(core.OnChipRegisterFile, address, kRegisterFileMask);
}
inline void SetImageWord(SH2Core &core, uint32_t address, uint16_t value) {
    StoreBigEndian16(core.OnChipRegisterFile, address, kRegisterFileMask, value);
}
inline uint32_t ImageLong(const SH2Core &core, uint32_t address) {
    return LoadBigEndian32(core.OnChipRegisterFile, address, kRegisterFileMask);
}
inline void SetImageLong(SH2Core &core, uint32_t address, uint32_t value) {
    StoreBigEndian32(core.OnChipRegisterFile, address, kRegisterFileMask, value);
}

}  // namespace sh2
