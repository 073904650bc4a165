// MOV between registers and through register addresses (indirect, indexed,
// pre-decrement, post-increment, 4-bit displacement), MOVT, SWAP.B, SWAP.W
// and XTRCT. The forms with an immediate, PC-relative or GBR operand are in
// data_transfer_constant.cpp: together the two sources hold some 30,000
// specialised handlers, and two halves build in parallel. Every one costs 1
// cycle and makes at most one memory access.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS

SH2_HANDLER(MoveRegister, { core.R[N<Op>] = core.R[M<Op>]; })

// Stores: the address comes from the registers on entry.
SH2_HANDLER(MoveByteStoreIndexed,
            { BusWriteByte(core, core.R[0] + core.R[N<Op>], static_cast<uint8_t>(core.R[M<Op>])); })
SH2_HANDLER(MoveWordStoreIndexed,
            { BusWriteWord(core, core.R[0] + core.R[N<Op>], static_cast<uint16_t>(core.R[M<Op>])); })
SH2_HANDLER(MoveLongStoreIndexed, { BusWriteLong(core, core.R[0] + core.R[N<Op>], core.R[M<Op>]); })
SH2_HANDLER(MoveByteStore, { BusWriteByte(core, core.R[N<Op>], static_cast<uint8_t>(core.R[M<Op>])); })
SH2_HANDLER(MoveWordStore, { BusWriteWord(core, core.R[N<Op>], static_cast<uint16_t>(core.R[M<Op>])); })
SH2_HANDLER(MoveLongStore, { BusWriteLong(core, core.R[N<Op>], core.R[M<Op>]); })

// Loads: byte and word values are sign-extended.
SH2_HANDLER(MoveByteLoad, { core.R[N<Op>] = SignExtend8(BusReadByte(core, core.R[M<Op>])); })
SH2_HANDLER(MoveWordLoad, { core.R[N<Op>] = SignExtend16(BusReadWord(core, core.R[M<Op>])); })
SH2_HANDLER(MoveLongLoad, { core.R[N<Op>] = BusReadLong(core, core.R[M<Op>]); })

// Pre-decrement stores: the value is Rm before Rn changes (so MOV.x Rn,@-Rn
// stores the old Rn), and Rn is decremented after the write.
SH2_HANDLER(MoveByteStorePreDecrement, {
    const uint32_t value = core.R[M<Op>];
    BusWriteByte(core, core.R[N<Op>] - 1, static_cast<uint8_t>(value));
    core.R[N<Op>] -= 1;
})
SH2_HANDLER(MoveWordStorePreDecrement, {
    const uint32_t value = core.R[M<Op>];
    BusWriteWord(core, core.R[N<Op>] - 2, static_cast<uint16_t>(value));
    core.R[N<Op>] -= 2;
})
SH2_HANDLER(MoveLongStorePreDecrement, {
    const uint32_t value = core.R[M<Op>];
    BusWriteLong(core, core.R[N<Op>] - 4, value);
    core.R[N<Op>] -= 4;
})

// Post-increment loads: Rm is incremented only when it is not the
// destination.
SH2_HANDLER(MoveByteLoadPostIncrement, {
    const uint32_t address = core.R[M<Op>];
    core.R[N<Op>] = SignExtend8(BusReadByte(core, address));
    if constexpr (N<Op> != M<Op>) {
        core.R[M<Op>] = address + 1;
    }
})
SH2_HANDLER(MoveWordLoadPostIncrement, {
    const uint32_t address = core.R[M<Op>];
    core.R[N<Op>] = SignExtend16(BusReadWord(core, address));
    if constexpr (N<Op> != M<Op>) {
        core.R[M<Op>] = address + 2;
    }
})
SH2_HANDLER(MoveLongLoadPostIncrement, {
    const uint32_t address = core.R[M<Op>];
    core.R[N<Op>] = BusReadLong(core, address);
    if constexpr (N<Op> != M<Op>) {
        core.R[M<Op>] = address + 4;
    }
})

SH2_HANDLER(MoveByteLoadIndexed, { core.R[N<Op>] = SignExtend8(BusReadByte(core, core.R[0] + core.R[M<Op>])); })
SH2_HANDLER(MoveWordLoadIndexed, { core.R[N<Op>] = SignExtend16(BusReadWord(core, core.R[0] + core.R[M<Op>])); })
SH2_HANDLER(MoveLongLoadIndexed, { core.R[N<Op>] = BusReadLong(core, core.R[0] + core.R[M<Op>]); })

// MOV.B and MOV.W with a 4-bit displacement keep their base register in bits
// 7..4; MOV.L keeps n in 11..8 and m in 7..4.
SH2_HANDLER(MoveByteStoreDisplacement,
            { BusWriteByte(core, core.R[M<Op>] + Disp4<Op>, static_cast<uint8_t>(core.R[0])); })
SH2_HANDLER(MoveWordStoreDisplacement,
            { BusWriteWord(core, core.R[M<Op>] + Disp4<Op> * 2, static_cast<uint16_t>(core.R[0])); })
SH2_HANDLER(MoveLongStoreDisplacement, { BusWriteLong(core, core.R[N<Op>] + Disp4<Op> * 4, core.R[M<Op>]); })
SH2_HANDLER(MoveByteLoadDisplacement, { core.R[0] = SignExtend8(BusReadByte(core, core.R[M<Op>] + Disp4<Op>)); })
SH2_HANDLER(MoveWordLoadDisplacement, { core.R[0] = SignExtend16(BusReadWord(core, core.R[M<Op>] + Disp4<Op> * 2)); })
SH2_HANDLER(MoveLongLoadDisplacement, { core.R[N<Op>] = BusReadLong(core, core.R[M<Op>] + Disp4<Op> * 4); })

SH2_HANDLER(MoveT, { core.R[N<Op>] = GetT(core); })

SH2_HANDLER(SwapBytes, {
    const uint32_t value = core.R[M<Op>];
    core.R[N<Op>] = (value & 0xFFFF0000u) | ((value & 0xFFu) << 8) | ((value >> 8) & 0xFFu);
})
SH2_HANDLER(SwapWords, {
    const uint32_t value = core.R[M<Op>];
    core.R[N<Op>] = (value << 16) | (value >> 16);
})
SH2_HANDLER(ExtractMiddle, { core.R[N<Op>] = (core.R[M<Op>] << 16) | (core.R[N<Op>] >> 16); })

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(DataTransfer)

}  // namespace sh2::isa
