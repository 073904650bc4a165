// Multiplications, multiply-and-accumulate and the one-bit division steps, in
// 64-bit integer arithmetic.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS
namespace {

uint64_t MacValue(const SH2Core &core) {
    return (uint64_t{core.MACH} << 32) | core.MACL;
}
void SetMacValue(SH2Core &core, uint64_t value) {
    core.MACH = static_cast<uint32_t>(value >> 32);
    core.MACL = static_cast<uint32_t>(value);
}
int64_t SignedProduct32(uint32_t a, uint32_t b) {
    return int64_t{static_cast<int32_t>(a)} * int64_t{static_cast<int32_t>(b)};
}

}  // namespace

SH2_HANDLER(MultiplyLong, { core.MACL = core.R[N<Op>] * core.R[M<Op>]; })
SH2_HANDLER(MultiplySignedWord, {
    const int32_t product = int32_t{static_cast<int16_t>(core.R[N<Op>])} * static_cast<int16_t>(core.R[M<Op>]);
    core.MACL = static_cast<uint32_t>(product);
})
SH2_HANDLER(MultiplyUnsignedWord, { core.MACL = (core.R[N<Op>] & 0xFFFFu) * (core.R[M<Op>] & 0xFFFFu); })
SH2_HANDLER(DoubleMultiplySigned,
            { SetMacValue(core, static_cast<uint64_t>(SignedProduct32(core.R[N<Op>], core.R[M<Op>]))); })
SH2_HANDLER(DoubleMultiplyUnsigned, { SetMacValue(core, uint64_t{core.R[N<Op>]} * core.R[M<Op>]); })

// MAC.L: both longs are read from the addresses on entry (with n == m the same
// long twice), then Rn and Rm each advance by 4. With S set the 64-bit sum
// saturates to 48 bits.
SH2_HANDLER(MultiplyAccumulateLong, {
    const uint32_t first = BusReadLong(core, core.R[N<Op>]);
    const uint32_t second = BusReadLong(core, core.R[M<Op>]);
    core.R[N<Op>] += 4;
    core.R[M<Op>] += 4;
    const uint64_t sum = MacValue(core) + static_cast<uint64_t>(SignedProduct32(first, second));
    if ((core.SR & kSrS) == 0) {
        SetMacValue(core, sum);
    } else {
        constexpr int64_t kMinimum = -(int64_t{1} << 47);
        constexpr int64_t kMaximum = (int64_t{1} << 47) - 1;
        const auto signedSum = static_cast<int64_t>(sum);
        if (signedSum < kMinimum) {
            SetMacValue(core, static_cast<uint64_t>(kMinimum));
        } else if (signedSum > kMaximum) {
            SetMacValue(core, static_cast<uint64_t>(kMaximum));
        } else {
            SetMacValue(core, sum);
        }
    }
})

// MAC.W: Rn's word is read and Rn advanced before Rm's word is read, so with
// n == m the two words are consecutive. With S set only MACL accumulates, and
// saturates at 32 bits, marking the overflow in bit 0 of MACH.
SH2_HANDLER(MultiplyAccumulateWord, {
    const uint16_t first = BusReadWord(core, core.R[N<Op>]);
    core.R[N<Op>] += 2;
    const uint16_t second = BusReadWord(core, core.R[M<Op>]);
    core.R[M<Op>] += 2;
    const int32_t product = int32_t{static_cast<int16_t>(first)} * static_cast<int16_t>(second);
    if ((core.SR & kSrS) == 0) {
        SetMacValue(core, MacValue(core) + static_cast<uint64_t>(int64_t{product}));
    } else {
        const uint32_t old = core.MACL;
        const auto addend = static_cast<uint32_t>(product);
        const uint32_t result = old + addend;
        if (((old ^ addend) & 0x80000000u) == 0 && ((old ^ result) & 0x80000000u) != 0) {
            core.MACL = (old & 0x80000000u) != 0 ? 0x80000000u : 0x7FFFFFFFu;
            core.MACH |= 1u;
        } else {
            core.MACL = result;
        }
    }
})

SH2_HANDLER(Divide0Signed, {
    const uint32_t q = core.R[N<Op>] >> 31;
    const uint32_t m = core.R[M<Op>] >> 31;
    core.SR = (core.SR & ~(kSrQ | kSrM | kSrT)) | (q << 8) | (m << 9) | (q ^ m);
})
SH2_HANDLER(Divide0Unsigned, { core.SR &= ~(kSrQ | kSrM | kSrT); })

// One step of non-restoring division of Rn by Rm.
SH2_HANDLER(Divide1, {
    const uint32_t oldQ = (core.SR >> 8) & 1u;
    const uint32_t m = (core.SR >> 9) & 1u;
    const uint32_t dividend = core.R[N<Op>];
    const uint32_t q = dividend >> 31;
    const uint32_t shifted = (dividend << 1) | GetT(core);
    core.R[N<Op>] = shifted;
    const uint32_t divisor = core.R[M<Op>];  // with n == m: the shifted value
    uint32_t result;
    uint32_t carry;
    if (oldQ == m) {
        result = shifted - divisor;
        carry = result > shifted ? 1u : 0u;
    } else {
        result = shifted + divisor;
        carry = result < shifted ? 1u : 0u;
    }
    core.R[N<Op>] = result;
    const uint32_t newQ = q ^ carry ^ m;
    core.SR = (core.SR & ~(kSrQ | kSrT)) | (newQ << 8) | (newQ == m ? kSrT : 0u);
})

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(Multiply)

}  // namespace sh2::isa
