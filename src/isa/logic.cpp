// Bitwise logic, tests, shifts and rotates, including the read-modify-write
// byte forms on @(R0,GBR) and TAS.B, which make a separate read and write.
#include "isa/handler_common.h"

namespace sh2::isa {
namespace {

using I = Instruction;

SH2_HANDLER(AndRegister) {
    core.R[N<Op>] &= core.R[M<Op>];
    Advance(core, 1);
}
SH2_HANDLER(AndImmediate) {
    core.R[0] &= Imm8Unsigned<Op>;
    Advance(core, 1);
}
SH2_HANDLER(OrRegister) {
    core.R[N<Op>] |= core.R[M<Op>];
    Advance(core, 1);
}
SH2_HANDLER(OrImmediate) {
    core.R[0] |= Imm8Unsigned<Op>;
    Advance(core, 1);
}
SH2_HANDLER(XorRegister) {
    core.R[N<Op>] ^= core.R[M<Op>];
    Advance(core, 1);
}
SH2_HANDLER(XorImmediate) {
    core.R[0] ^= Imm8Unsigned<Op>;
    Advance(core, 1);
}
SH2_HANDLER(Not) {
    core.R[N<Op>] = ~core.R[M<Op>];
    Advance(core, 1);
}
SH2_HANDLER(TestRegister) {
    SetT(core, (core.R[N<Op>] & core.R[M<Op>]) == 0);
    Advance(core, 1);
}
SH2_HANDLER(TestImmediate) {
    SetT(core, (core.R[0] & Imm8Unsigned<Op>) == 0);
    Advance(core, 1);
}

// The byte forms always read and then write back, even when the result
// cannot differ from the byte read.
SH2_HANDLER(AndByteGbr) {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value & Imm8Unsigned<Op>));
    Advance(core, 3);
}
SH2_HANDLER(OrByteGbr) {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value | Imm8Unsigned<Op>));
    Advance(core, 3);
}
SH2_HANDLER(XorByteGbr) {
    const uint32_t address = core.GBR + core.R[0];
    const uint8_t value = BusReadByte(core, address);
    BusWriteByte(core, address, static_cast<uint8_t>(value ^ Imm8Unsigned<Op>));
    Advance(core, 3);
}
SH2_HANDLER(TestByteGbr) {
    const uint8_t value = BusReadByte(core, core.GBR + core.R[0]);
    SetT(core, (value & Imm8Unsigned<Op>) == 0);
    Advance(core, 3);
}
SH2_HANDLER(TestAndSet) {
    const uint32_t address = core.R[N<Op>];
    const uint8_t value = BusReadByte(core, address);
    SetT(core, value == 0);
    BusWriteByte(core, address, static_cast<uint8_t>(value | 0x80));
    Advance(core, 4);
}

SH2_HANDLER(RotateLeft) {
    const uint32_t value = core.R[N<Op>];
    const uint32_t out = value >> 31;
    core.R[N<Op>] = (value << 1) | out;
    SetT(core, out != 0);
    Advance(core, 1);
}
SH2_HANDLER(RotateRight) {
    const uint32_t value = core.R[N<Op>];
    const uint32_t out = value & 1u;
    core.R[N<Op>] = (value >> 1) | (out << 31);
    SetT(core, out != 0);
    Advance(core, 1);
}
SH2_HANDLER(RotateCarryLeft) {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = (value << 1) | GetT(core);
    SetT(core, (value >> 31) != 0);
    Advance(core, 1);
}
SH2_HANDLER(RotateCarryRight) {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = (value >> 1) | (GetT(core) << 31);
    SetT(core, (value & 1u) != 0);
    Advance(core, 1);
}
// SHAL and SHLL have the same effect.
SH2_HANDLER(ShiftLeft) {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = value << 1;
    SetT(core, (value >> 31) != 0);
    Advance(core, 1);
}
SH2_HANDLER(ShiftArithmeticRight) {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = static_cast<uint32_t>(static_cast<int32_t>(value) >> 1);
    SetT(core, (value & 1u) != 0);
    Advance(core, 1);
}
SH2_HANDLER(ShiftLogicalRight) {
    const uint32_t value = core.R[N<Op>];
    core.R[N<Op>] = value >> 1;
    SetT(core, (value & 1u) != 0);
    Advance(core, 1);
}

template <unsigned Amount>
struct ShiftLeftBy {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            core.R[N<Op>] <<= Amount;
            Advance(core, 1);
        }
    };
};
template <unsigned Amount>
struct ShiftRightBy {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            core.R[N<Op>] >>= Amount;
            Advance(core, 1);
        }
    };
};

constexpr RowHandlers kRows[] = {
    MakeRow<AndRegister, I::AndRegister>(),
    MakeRow<AndImmediate, I::AndImmediate>(),
    MakeRow<AndByteGbr, I::AndByteGbr>(),
    MakeRow<OrRegister, I::OrRegister>(),
    MakeRow<OrImmediate, I::OrImmediate>(),
    MakeRow<OrByteGbr, I::OrByteGbr>(),
    MakeRow<XorRegister, I::XorRegister>(),
    MakeRow<XorImmediate, I::XorImmediate>(),
    MakeRow<XorByteGbr, I::XorByteGbr>(),
    MakeRow<Not, I::Not>(),
    MakeRow<TestRegister, I::TestRegister>(),
    MakeRow<TestImmediate, I::TestImmediate>(),
    MakeRow<TestByteGbr, I::TestByteGbr>(),
    MakeRow<TestAndSet, I::TestAndSet>(),
    MakeRow<RotateLeft, I::RotateLeft>(),
    MakeRow<RotateRight, I::RotateRight>(),
    MakeRow<RotateCarryLeft, I::RotateCarryLeft>(),
    MakeRow<RotateCarryRight, I::RotateCarryRight>(),
    MakeRow<ShiftLeft, I::ShiftArithmeticLeft>(),
    MakeRow<ShiftLeft, I::ShiftLogicalLeft>(),
    MakeRow<ShiftArithmeticRight, I::ShiftArithmeticRight>(),
    MakeRow<ShiftLogicalRight, I::ShiftLogicalRight>(),
    MakeRow<ShiftLeftBy<2>::Handler, I::ShiftLogicalLeft2>(),
    MakeRow<ShiftLeftBy<8>::Handler, I::ShiftLogicalLeft8>(),
    MakeRow<ShiftLeftBy<16>::Handler, I::ShiftLogicalLeft16>(),
    MakeRow<ShiftRightBy<2>::Handler, I::ShiftLogicalRight2>(),
    MakeRow<ShiftRightBy<8>::Handler, I::ShiftLogicalRight8>(),
    MakeRow<ShiftRightBy<16>::Handler, I::ShiftLogicalRight16>(),
};

}  // namespace

RowHandlerList LogicRows() { return {kRows, std::size(kRows)}; }

}  // namespace sh2::isa
