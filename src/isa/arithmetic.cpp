// Register arithmetic and comparisons. Every one costs 1 cycle; only T of SR
// ever changes.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS

SH2_HANDLER(AddRegister, { core.R[N<Op>] += core.R[M<Op>]; })
SH2_HANDLER(AddImmediate, { core.R[N<Op>] += Imm8Signed<Op>; })
SH2_HANDLER(AddWithCarry, {
    const uint64_t sum = uint64_t{core.R[N<Op>]} + core.R[M<Op>] + GetT(core);
    core.R[N<Op>] = static_cast<uint32_t>(sum);
    SetT(core, (sum >> 32) != 0);
})
SH2_HANDLER(AddWithOverflow, {
    const uint32_t n = core.R[N<Op>];
    const uint32_t m = core.R[M<Op>];
    const uint32_t result = n + m;
    core.R[N<Op>] = result;
    SetT(core, (((n ^ result) & (m ^ result)) >> 31) != 0);
})
SH2_HANDLER(Subtract, { core.R[N<Op>] -= core.R[M<Op>]; })
SH2_HANDLER(SubtractWithCarry, {
    const uint32_t n = core.R[N<Op>];
    const uint32_t difference = n - core.R[M<Op>];
    const uint32_t result = difference - GetT(core);
    core.R[N<Op>] = result;
    SetT(core, n < difference || difference < result);
})
SH2_HANDLER(SubtractWithOverflow, {
    const uint32_t n = core.R[N<Op>];
    const uint32_t m = core.R[M<Op>];
    const uint32_t result = n - m;
    core.R[N<Op>] = result;
    SetT(core, (((n ^ m) & (n ^ result)) >> 31) != 0);
})
SH2_HANDLER(Negate, { core.R[N<Op>] = 0u - core.R[M<Op>]; })
SH2_HANDLER(NegateWithCarry, {
    const uint32_t negated = 0u - core.R[M<Op>];
    const uint32_t result = negated - GetT(core);
    core.R[N<Op>] = result;
    SetT(core, negated != 0 || negated < result);
})

SH2_HANDLER(CompareEqual, { SetT(core, core.R[N<Op>] == core.R[M<Op>]); })
SH2_HANDLER(CompareGreaterEqual,
            { SetT(core, static_cast<int32_t>(core.R[N<Op>]) >= static_cast<int32_t>(core.R[M<Op>])); })
SH2_HANDLER(CompareGreater, { SetT(core, static_cast<int32_t>(core.R[N<Op>]) > static_cast<int32_t>(core.R[M<Op>])); })
SH2_HANDLER(CompareHigher, { SetT(core, core.R[N<Op>] > core.R[M<Op>]); })
SH2_HANDLER(CompareHigherSame, { SetT(core, core.R[N<Op>] >= core.R[M<Op>]); })
SH2_HANDLER(ComparePlus, { SetT(core, static_cast<int32_t>(core.R[N<Op>]) > 0); })
SH2_HANDLER(ComparePlusZero, { SetT(core, static_cast<int32_t>(core.R[N<Op>]) >= 0); })
SH2_HANDLER(CompareString, {
    const uint32_t difference = core.R[N<Op>] ^ core.R[M<Op>];
    SetT(core, (difference & 0xFF000000u) == 0 || (difference & 0x00FF0000u) == 0 || (difference & 0x0000FF00u) == 0 ||
                   (difference & 0x000000FFu) == 0);
})
SH2_HANDLER(CompareEqualImmediate, { SetT(core, core.R[0] == Imm8Signed<Op>); })

SH2_HANDLER(DecrementTest, {
    const uint32_t result = core.R[N<Op>] - 1;
    core.R[N<Op>] = result;
    SetT(core, result == 0);
})

SH2_HANDLER(ExtendSignedByte, { core.R[N<Op>] = SignExtend8(core.R[M<Op>]); })
SH2_HANDLER(ExtendSignedWord, { core.R[N<Op>] = SignExtend16(core.R[M<Op>]); })
SH2_HANDLER(ExtendUnsignedByte, { core.R[N<Op>] = core.R[M<Op>] & 0xFFu; })
SH2_HANDLER(ExtendUnsignedWord, { core.R[N<Op>] = core.R[M<Op>] & 0xFFFFu; })

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(Arithmetic)

}  // namespace sh2::isa
