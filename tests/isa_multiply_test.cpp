// MAC.L and MAC.W: saturation with S = 1, which qemu's user mode cannot set,
// and the operand reads the host sees (order, width, the n == m forms). The
// results with S = 0 and every other multiply and division step are decided
// by the qemu fixture; DIV1 by zero is in isa_arithmetic_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "isa_test_util.h"

using namespace sh2test;

namespace {

uint64_t Mac(const sh2::SH2Core &core) {
    return (uint64_t{core.MACH} << 32) | core.MACL;
}

// MAC.L @R5+,@R4+ and MAC.W @R5+,@R4+ (Rn = R4 at 0x1000, Rm = R5 at 0x2000)
// with S = 1: `first` is the operand at Rn, `second` the one at Rm.
struct MacCase {
    const char *name;
    bool longForm;
    uint64_t macIn;
    uint32_t first;
    uint32_t second;
    uint64_t macOut;
};

inline std::ostream &operator<<(std::ostream &out, const MacCase &c) {
    return out << c.name;
}

constexpr uint64_t kMax48 = 0x00007FFFFFFFFFFFull;
constexpr uint64_t kMin48 = 0xFFFF800000000000ull;

const MacCase kSaturatingCases[] = {
    // MAC.L: the 64-bit sum is clamped to 48 bits.
    {"MAC.L sum 2^47 saturates", true, kMax48, 1, 1, kMax48},
    {"MAC.L sum 2^47 - 1 is kept", true, 0x00007FFFFFFFFFFEull, 1, 1, kMax48},
    {"MAC.L sum -2^47 is kept", true, 0xFFFF800000000001ull, 0xFFFFFFFF, 1, kMin48},
    {"MAC.L sum -2^47 - 1 saturates", true, kMin48, 0xFFFFFFFF, 1, kMin48},
    {"MAC.L large positive product", true, 0, 0x7FFFFFFF, 0x7FFFFFFF, kMax48},
    {"MAC.L large negative product", true, 0, 0x80000000, 0x7FFFFFFF, kMin48},
    {"MAC.L judged on all 64 bits, high", true, 0x1234567800000000ull, 0, 0, kMax48},
    {"MAC.L judged on all 64 bits, low", true, 0x8000000000000000ull, 0, 0, kMin48},
    {"MAC.L in range borrows across the halves", true, 0x0000123400000000ull, 0xFFFFFFFE, 3, 0x00001233FFFFFFFAull},
    // MAC.W: only MACL accumulates, clamped to 32 bits; an overflow sets bit 0
    // of MACH, which otherwise stays.
    {"MAC.W 0x7FFFFFFF + 1 saturates and marks MACH", false, 0x123456707FFFFFFFull, 1, 1, 0x123456717FFFFFFFull},
    {"MAC.W -1 + 2 gives 1, MACH kept", false, 0x12345670FFFFFFFFull, 2, 1, 0x1234567000000001ull},
    {"MAC.W 0x80000000 - 1 saturates", false, 0x1234567080000000ull, 0xFFFF, 1, 0x1234567180000000ull},
    {"MAC.W a negative result leaves MACH", false, 0x1234567000000005ull, 0xFFFE, 5, 0x12345670FFFFFFFBull},
    {"MAC.W 0x3FFFFFFF + 0x40000000 fits", false, 0x000000003FFFFFFFull, 0x8000, 0x8000, 0x000000007FFFFFFFull},
    {"MAC.W MACH bit 0 already set", false, 0x000000017FFFFFFFull, 1, 1, 0x000000017FFFFFFFull},
    {"MAC.W opposite signs never saturate", false, 0x000000007FFFFFFFull, 0xFFFF, 1, 0x000000007FFFFFFEull},
};

class IsaMultiplyAccumulate : public IsaTest, public ::testing::WithParamInterface<MacCase> {};

TEST_P(IsaMultiplyAccumulate, SaturatingSumAndOperandReads) {
    const MacCase &c = GetParam();
    SetRegisters({{4, 0x1000}, {5, 0x2000}});
    Core().SR = 0x0F3;
    Core().MACH = static_cast<uint32_t>(c.macIn >> 32);
    Core().MACL = static_cast<uint32_t>(c.macIn);
    std::vector<HostAccess> accesses;
    if (c.longForm) {
        Machine().SetLong(0x1000, c.first);
        Machine().SetLong(0x2000, c.second);
        accesses = {Read(4, 0x1000, c.first), Read(4, 0x2000, c.second)};
    } else {
        Machine().SetWord(0x1000, static_cast<uint16_t>(c.first));
        Machine().SetWord(0x2000, static_cast<uint16_t>(c.second));
        accesses = {Read(2, 0x1000, c.first), Read(2, 0x2000, c.second)};
    }
    Execute(c.longForm ? 0x045F : 0x445F);
    EXPECT_EQ(Mac(Core()), c.macOut) << c.name << ": MACH:MACL is " << Hex(Core().MACH) << ":" << Hex(Core().MACL);
    const uint32_t step = c.longForm ? 4 : 2;
    ExpectRegisters({}, {{4, 0x1000 + step}, {5, 0x2000 + step}}, c.name);
    ExpectAccesses(accesses, c.name);
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    EXPECT_EQ(Core().SR, 0x0F3u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaMultiplyAccumulate, ::testing::ValuesIn(kSaturatingCases));

using IsaMultiplyAccumulateOperands = IsaTest;

// With n == m MAC.L reads the same long twice and the register ends 8
// higher; MAC.W reads two consecutive words and the register ends 4 higher.
TEST_F(IsaMultiplyAccumulateOperands, OneRegisterForBothOperands) {
    SetRegisters({{4, 0x1000}});
    Core().MACH = 0;
    Core().MACL = 1;
    Machine().SetLong(0x1000, 0xFFFFFFFD);
    Execute(0x044F);  // mac.l @r4+,@r4+
    EXPECT_EQ(Mac(Core()), 10u);
    ExpectRegisters({}, {{4, 0x1008}}, "mac.l @r4+,@r4+");
    ExpectAccesses({Read(4, 0x1000, 0xFFFFFFFD), Read(4, 0x1000, 0xFFFFFFFD)}, "mac.l @r4+,@r4+");

    Machine().accesses.clear();
    SetRegisters({{4, 0x2000}});
    Core().MACL = 0;
    Machine().SetWord(0x2000, 3);
    Machine().SetWord(0x2002, 0xFFFC);
    Execute(0x444F);  // mac.w @r4+,@r4+
    EXPECT_EQ(Mac(Core()), static_cast<uint64_t>(-12));
    ExpectRegisters({}, {{4, 0x2004}}, "mac.w @r4+,@r4+");
    ExpectAccesses({Read(2, 0x2000, 3), Read(2, 0x2002, 0xFFFC)}, "mac.w @r4+,@r4+");
}

}  // namespace
