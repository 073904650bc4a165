// The MOV forms whose operand is a constant of the opcode: MOV #imm, the
// PC-relative loads, MOVA and the GBR-relative forms. Every one costs 1 cycle
// and makes at most one memory access.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS

SH2_HANDLER(MoveImmediate, { core.R[N<Op>] = Imm8Signed<Op>; })

// PC-relative forms: PC is this instruction's address (or, in a delay slot,
// the branch target), so the base is PC + 4.
SH2_HANDLER(MoveWordLoadPcRelative, { core.R[N<Op>] = SignExtend16(BusReadWord(core, core.PC + 4 + Disp8<Op> * 2)); })

SH2_HANDLER(MoveLongLoadPcRelative, { core.R[N<Op>] = BusReadLong(core, (core.PC & ~3u) + 4 + Disp8<Op> * 4); })

SH2_HANDLER(MoveAddress, { core.R[0] = (core.PC & ~3u) + 4 + Disp8<Op> * 4; })

SH2_HANDLER(MoveByteLoadGbr, { core.R[0] = SignExtend8(BusReadByte(core, core.GBR + Disp8<Op>)); })

SH2_HANDLER(MoveWordLoadGbr, { core.R[0] = SignExtend16(BusReadWord(core, core.GBR + Disp8<Op> * 2)); })

SH2_HANDLER(MoveLongLoadGbr, { core.R[0] = BusReadLong(core, core.GBR + Disp8<Op> * 4); })

SH2_HANDLER(MoveByteStoreGbr, { BusWriteByte(core, core.GBR + Disp8<Op>, static_cast<uint8_t>(core.R[0])); })

SH2_HANDLER(MoveWordStoreGbr, { BusWriteWord(core, core.GBR + Disp8<Op> * 2, static_cast<uint16_t>(core.R[0])); })

SH2_HANDLER(MoveLongStoreGbr, { BusWriteLong(core, core.GBR + Disp8<Op> * 4, core.R[0]); })

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(DataTransferConstant)

}  // namespace sh2::isa
