// Bitwise logic, tests, shifts and rotates, including the read-modify-write
// byte forms on @(R0,GBR) and TAS.B, which make a separate read and write.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS

SH2_HANDLER(AndRegister, { core.R[N<Op>] &= core.R[M<Op>]; })
SH2_HANDLER(AndImmediate, { core.R[0] &= Imm8Unsigned<Op>; })
SH2_HANDLER(OrRegister, { core.R[N<Op>] |= core.R[M<Op>]; })
SH2_HANDLER(OrImmediate, { core.R[0] |= Imm8Unsigned<Op>; })
SH2_HANDLER(XorRegister, { core.R[N<Op>] ^= core.R[M<Op>]; })
SH2_HANDLER(XorImmediate, { core.R[0] ^= Imm8Unsigned<Op>; })
SH2_HANDLER(Not, { core.R[N<Op>] = ~core.R[M<Op>]; })
SH2_HANDLER(TestRegister, { SetT(core, (core.R[N<Op>] & core.R[M<Op>]) == 0); })
SH2_HANDLER(TestImmediate, { SetT(core, (core.R[0] & Imm8Unsigned<Op>) == 0); })

// The byte forms always read and then write back, even when the result
// cannot differ from the byte read.
SH2_HANDLER(AndByteGbr, {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value & Imm8Unsigned<Op>));
})
SH2_HANDLER(OrByteGbr, {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value | Imm8Unsigned<Op>));
})
SH2_HANDLER(XorByteGbr, {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value ^ Imm8Unsigned<Op>));
})
SH2_HANDLER(TestByteGbr, {
    const uint8_t value = BusReadByte(core, core.GBR + core.R[0]);
    SetT(core, (value & Imm8Unsigned<Op>) == 0);
})
SH2_HANDLER(TestAndSet, {
    const uint32_t address = core.R[N<Op>];
    const uint8_t value = BusReadByte(core, address);
    SetT(core, value == 0);
    BusWriteByte(core, address, static_cast<uint8_t>(value | 0x80));
})

SH2_HANDLER(RotateLeft, {
    const uint32_t value = core.R[N<Op>];
    const uint32_t out = value >> 31;
    core.R[N<Op>] = (value << 1) | out;
    SetT(core, out != 0);
})
SH2_HANDLER(RotateRight, {
    const uint32_t value = core.R[N<Op>];
    const uint32_t out = value & 1u;
    core.R[N<Op>] = (value >> 1) | (out << 31);
    SetT(core, out != 0);
})
SH2_HANDLER(RotateCarryLeft, {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = (value << 1) | GetT(core);
    SetT(core, (value >> 31) != 0);
})
SH2_HANDLER(RotateCarryRight, {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = (value >> 1) | (GetT(core) << 31);
    SetT(core, (value & 1u) != 0);
})
// SHAL and SHLL have the same effect.
SH2_HANDLER(ShiftLeft, {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = value << 1;
    SetT(core, (value >> 31) != 0);
})
SH2_HANDLER(ShiftArithmeticRight, {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = static_cast<uint32_t>(static_cast<int32_t>(value) >> 1);
    SetT(core, (value & 1u) != 0);
})
SH2_HANDLER(ShiftLogicalRight, {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = value >> 1;
    SetT(core, (value & 1u) != 0);
})

// SHLL2/SHLR2, SHLL8/SHLR8 and SHLL16/SHLR16: bits 5..4 of the opcode give
// the distance.
template <uint16_t Op>
inline constexpr unsigned kShiftDistance = ((Op >> 4) & 3) == 0   ? 2
                                           : ((Op >> 4) & 3) == 1 ? 8
                                                                  : 16;

SH2_HANDLER(ShiftLogicalLeftBy, { core.R[N<Op>] <<= kShiftDistance<Op>; })
SH2_HANDLER(ShiftLogicalRightBy, { core.R[N<Op>] >>= kShiftDistance<Op>; })

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(Logic)

}  // namespace sh2::isa
