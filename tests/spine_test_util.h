// Helpers shared by the plug-in, core, run-loop, interrupt and memory tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "test_host.h"

namespace spinetest {

using sh2test::HostAccess;

inline HostAccess Read(uint8_t width, uint32_t address, uint32_t value) {
    return {HostAccess::Read, width, address, value};
}
inline HostAccess Write(uint8_t width, uint32_t address, uint32_t value) {
    return {HostAccess::Write, width, address, value};
}

// One line per access, so that a mismatch shows as a readable diff.
inline std::string Describe(const std::vector<HostAccess> &accesses) {
    std::string text;
    for (const HostAccess &access : accesses) {
        char line[64];
        std::snprintf(line, sizeof line, "%s%u @%08X = %08X\n", access.kind == HostAccess::Read ? "R" : "W",
                      static_cast<unsigned>(access.width), static_cast<unsigned>(access.address),
                      static_cast<unsigned>(access.value));
        text += line;
    }
    return text.empty() ? "(no host access)\n" : text;
}

// The registers an instruction could change, for "nothing changed" checks.
struct RegisterSnapshot {
    uint32_t R[16];
    uint32_t SR, GBR, VBR, MACH, MACL, PR, PC;

    static RegisterSnapshot Of(const sh2::SH2Core &core) {
        RegisterSnapshot s{};
        for (int i = 0; i < 16; ++i) s.R[i] = core.R[i];
        s.SR = core.SR;
        s.GBR = core.GBR;
        s.VBR = core.VBR;
        s.MACH = core.MACH;
        s.MACL = core.MACL;
        s.PR = core.PR;
        s.PC = core.PC;
        return s;
    }
    bool operator==(const RegisterSnapshot &) const = default;
};

// Fills R0..R14 and the control registers with distinct values (R15, the
// stack pointer, and PC are left alone).
inline void ScribbleRegisters(sh2::SH2Core &core) {
    for (uint32_t i = 0; i < 15; ++i) core.R[i] = 0x10101010u * (i + 1) + i;
    core.GBR = 0x0600AA00;
    core.VBR = 0x06000000;
    core.MACH = 0x12345678;
    core.MACL = 0x9ABCDEF0;
    core.PR = 0x06001234;
}

// The 16-bit value of the register image at `address` (big-endian), read
// without going through the memory layer.
inline uint16_t ImageWordAt(const sh2::SH2Core &core, uint32_t address) {
    const uint32_t o = address & 0x1FF;
    return static_cast<uint16_t>((core.OnChipRegisterFile[o] << 8) | core.OnChipRegisterFile[(o + 1) & 0x1FF]);
}

}  // namespace spinetest
