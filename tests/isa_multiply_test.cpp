// MUL.L, MULS.W, MULU.W, DMULS.L, DMULU.L, MAC.L and MAC.W with and without
// saturation, DIV0S, DIV0U and DIV1, singly and in the usual division
// sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr uint32_t kMach = 0x4D414348;  // the fixture's background
constexpr uint32_t kMacl = 0x4D41434C;

uint64_t Mac(const sh2::SH2Core &core) { return (uint64_t{core.MACH} << 32) | core.MACL; }

// A register-only instruction: registers, SR, MACH and MACL before and after.
// Rn is R2 and Rm is R1 unless the name says otherwise.
struct MultiplyCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    uint32_t sr;
    RegisterList out;
    uint32_t srOut;
    uint32_t machOut;
    uint32_t maclOut;
    int32_t cycles;
};

inline std::ostream &operator<<(std::ostream &out, const MultiplyCase &c) { return out << c.name; }

const MultiplyCase kMultiplyCases[] = {
    // MUL.L: low 32 bits into MACL, MACH kept; 2 cycles.
    {"MUL.L 0x10000 x 0x10000", 0x0217, {{2, 0x10000}, {1, 0x10000}}, 0x0F0, {}, 0x0F0, kMach, 0, 2},
    {"MUL.L -1 x -1", 0x0217, {{2, 0xFFFFFFFF}, {1, 0xFFFFFFFF}}, 0x3F3, {}, 0x3F3, kMach, 1, 2},
    {"MUL.L 0x12345678 x 0x9ABCDEF0", 0x0217, {{2, 0x12345678}, {1, 0x9ABCDEF0}}, 0x0F0, {}, 0x0F0, kMach,
     0x242D2080, 2},
    {"MUL.L R2,R2 squares", 0x0227, {{2, 0x00010001}}, 0x0F0, {}, 0x0F0, kMach, 0x00020001, 2},
    // MULS.W: signed low halves, full 32-bit product; 1 cycle.
    {"MULS.W 0xFFFF x 2", 0x221F, {{2, 0x0000FFFF}, {1, 0x00000002}}, 0x0F0, {}, 0x0F0, kMach, 0xFFFFFFFE, 1},
    {"MULS.W ignores the upper halves", 0x221F, {{2, 0xABCD8000}, {1, 0x12348000}}, 0x0F0, {}, 0x0F0, kMach,
     0x40000000, 1},
    {"MULS.W 0x7FFF x 0x8000", 0x221F, {{2, 0x7FFF}, {1, 0x8000}}, 0x3F3, {}, 0x3F3, kMach, 0xC0008000, 1},
    {"MULS.W R2,R2", 0x222F, {{2, 0x1234FFFF}}, 0x0F0, {}, 0x0F0, kMach, 1, 1},
    // MULU.W: unsigned low halves.
    {"MULU.W 0xFFFF x 2", 0x221E, {{2, 0x0000FFFF}, {1, 0x00000002}}, 0x0F0, {}, 0x0F0, kMach, 0x0001FFFE, 1},
    {"MULU.W 0xFFFF x 0xFFFF", 0x221E, {{2, 0xFFFFFFFF}, {1, 0x1234FFFF}}, 0x0F0, {}, 0x0F0, kMach, 0xFFFE0001, 1},
    {"MULU.W with a zero low half", 0x221E, {{2, 0xFFFFFFFF}, {1, 0xFFFF0000}}, 0x3F3, {}, 0x3F3, kMach, 0, 1},
    // DMULS.L and DMULU.L: the 64-bit product into MACH:MACL; 2 cycles.
    {"DMULS.L -1 x 2", 0x321D, {{2, 0xFFFFFFFF}, {1, 2}}, 0x0F0, {}, 0x0F0, 0xFFFFFFFF, 0xFFFFFFFE, 2},
    {"DMULS.L 0x80000000 squared", 0x321D, {{2, 0x80000000}, {1, 0x80000000}}, 0x0F0, {}, 0x0F0, 0x40000000, 0, 2},
    {"DMULS.L 0x7FFFFFFF x 0x80000000", 0x321D, {{2, 0x7FFFFFFF}, {1, 0x80000000}}, 0x0F0, {}, 0x0F0, 0xC0000000,
     0x80000000, 2},
    {"DMULS.L 0x12345678 x -0x12345678", 0x321D, {{2, 0x12345678}, {1, 0xEDCBA988}}, 0x3F3, {}, 0x3F3, 0xFEB49923,
     0xE20B27C0, 2},
    {"DMULS.L R2,R2 of -1", 0x322D, {{2, 0xFFFFFFFF}}, 0x0F0, {}, 0x0F0, 0, 1, 2},
    {"DMULU.L -1 x 2", 0x3215, {{2, 0xFFFFFFFF}, {1, 2}}, 0x0F0, {}, 0x0F0, 1, 0xFFFFFFFE, 2},
    {"DMULU.L 0x10000 x 0x10000", 0x3215, {{2, 0x10000}, {1, 0x10000}}, 0x0F0, {}, 0x0F0, 1, 0, 2},
    {"DMULU.L R2,R2 of 0xFFFFFFFF", 0x3225, {{2, 0xFFFFFFFF}}, 0x3F3, {}, 0x3F3, 0xFFFFFFFE, 1, 2},
    // DIV0S: Q = bit 31 of Rn, M = bit 31 of Rm, T = Q XOR M; other bits kept.
    {"DIV0S 0x80000000, 1", 0x2217, {{2, 0x80000000}, {1, 1}}, 0x0F2, {}, 0x1F3, kMach, kMacl, 1},
    {"DIV0S both negative", 0x2217, {{2, 0x80000000}, {1, 0x80000000}}, 0x0F3, {}, 0x3F2, kMach, kMacl, 1},
    {"DIV0S 0, -1", 0x2217, {{2, 0}, {1, 0xFFFFFFFF}}, 0x1F2, {}, 0x2F3, kMach, kMacl, 1},
    {"DIV0S both positive", 0x2217, {{2, 0x7FFFFFFF}, {1, 0x7FFFFFFF}}, 0x3F3, {}, 0x0F2, kMach, kMacl, 1},
    {"DIV0S R2,R2", 0x2227, {{2, 0x80000000}}, 0x0F1, {}, 0x3F0, kMach, kMacl, 1},
    // DIV0U: M = Q = T = 0.
    {"DIV0U", 0x0019, {}, 0x3F3, {}, 0x0F2, kMach, kMacl, 1},
    {"DIV0U from Q, M and T only", 0x0019, {}, 0x301, {}, 0x000, kMach, kMacl, 1},
    // DIV1 R1,R2, one row of each oldQ/M combination.
    {"DIV1 oldQ 0 M 0, borrow", 0x3214, {{1, 3}, {2, 0x80000000}}, 0x0F2, {{2, 0xFFFFFFFD}}, 0x0F3, kMach, kMacl, 1},
    {"DIV1 oldQ 0 M 0, no borrow", 0x3214, {{1, 3}, {2, 8}}, 0x001, {{2, 0x0E}}, 0x001, kMach, kMacl, 1},
    {"DIV1 by zero, subtract path", 0x3214, {{1, 0}, {2, 8}}, 0x000, {{2, 0x10}}, 0x001, kMach, kMacl, 1},
    {"DIV1 oldQ 0 M 1, carry", 0x3214, {{1, 0xFFFFFFFD}, {2, 0x40000000}}, 0x201, {{2, 0x7FFFFFFE}}, 0x200, kMach,
     kMacl, 1},
    {"DIV1 oldQ 1 M 0, no carry", 0x3214, {{1, 5}, {2, 0x10}}, 0x100, {{2, 0x25}}, 0x001, kMach, kMacl, 1},
    {"DIV1 oldQ 1 M 1, no borrow", 0x3214, {{1, 0x80000000}, {2, 0xC0000000}}, 0x300, {{2, 0}}, 0x200, kMach, kMacl,
     1},
    {"DIV1 keeps S and the mask", 0x3214, {{1, 5}, {2, 0x10}}, 0x1F2, {{2, 0x25}}, 0x0F3, kMach, kMacl, 1},
    // With n == m the divisor is the shifted value.
    {"DIV1 R2,R2 with oldQ == M gives 0", 0x3224, {{2, 0x12345678}}, 0x000, {{2, 0}}, 0x001, kMach, kMacl, 1},
    {"DIV1 R2,R2 with oldQ != M doubles the shift", 0x3224, {{2, 0x40000000}}, 0x100, {{2, 0}}, 0x100, kMach, kMacl,
     1},
};

class IsaMultiply : public IsaTest, public ::testing::WithParamInterface<MultiplyCase> {};

TEST_P(IsaMultiply, ResultFlagsPcAndCycles) {
    const MultiplyCase &c = GetParam();
    SetRegisters(c.in);
    Core().SR = c.sr;
    const int32_t cycles = Execute(c.opcode);
    ExpectRegisters(c.in, c.out, c.name);
    EXPECT_EQ(Core().SR, c.srOut) << c.name << ": SR is " << Hex(Core().SR);
    EXPECT_EQ(Core().MACH, c.machOut) << c.name << ": MACH is " << Hex(Core().MACH);
    EXPECT_EQ(Core().MACL, c.maclOut) << c.name << ": MACL is " << Hex(Core().MACL);
    EXPECT_EQ(cycles, c.cycles) << c.name;
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    EXPECT_EQ(Core().GBR, 0x0BADB000u) << c.name;
    EXPECT_EQ(Core().VBR, 0x0BAD0000u) << c.name;
    EXPECT_EQ(Core().PR, 0x0BAD0400u) << c.name;
    ExpectAccesses({}, c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaMultiply, ::testing::ValuesIn(kMultiplyCases));

// MAC.L @R5+,@R4+ and MAC.W @R5+,@R4+ (Rn = R4 at 0x1000, Rm = R5 at 0x2000):
// `first` is the operand at Rn, `second` the one at Rm.
struct MacCase {
    const char *name;
    bool longForm;
    bool saturate;
    uint64_t macIn;
    uint32_t first;
    uint32_t second;
    uint64_t macOut;
};

inline std::ostream &operator<<(std::ostream &out, const MacCase &c) { return out << c.name; }

constexpr uint64_t kMax48 = 0x00007FFFFFFFFFFFull;
constexpr uint64_t kMin48 = 0xFFFF800000000000ull;

const MacCase kMacCases[] = {
    {"MAC.L 0 + 2 x 3", true, false, 0, 2, 3, 6},
    {"MAC.L 0 + -1 x 1", true, false, 0, 0xFFFFFFFF, 1, 0xFFFFFFFFFFFFFFFFull},
    {"MAC.L wraps at 2^63", true, false, 0x7FFFFFFFFFFFFFFFull, 1, 1, 0x8000000000000000ull},
    {"MAC.L wraps at 2^64", true, false, 0xFFFFFFFFFFFFFFFFull, 1, 1, 0},
    {"MAC.L 0x80000000 squared", true, false, 0, 0x80000000, 0x80000000, 0x4000000000000000ull},
    {"MAC.L adds to the whole 64 bits", true, false, 0x0000000100000000ull, 0x7FFFFFFF, 0x80000000,
     0xC000000180000000ull},
    {"MAC.L without S does not saturate", true, false, kMax48, 1, 1, 0x0000800000000000ull},
    {"MAC.L S: sum 2^47 saturates", true, true, kMax48, 1, 1, kMax48},
    {"MAC.L S: sum 2^47 - 1 is kept", true, true, 0x00007FFFFFFFFFFEull, 1, 1, kMax48},
    {"MAC.L S: sum -2^47 is kept", true, true, 0xFFFF800000000001ull, 0xFFFFFFFF, 1, kMin48},
    {"MAC.L S: sum -2^47 - 1 saturates", true, true, kMin48, 0xFFFFFFFF, 1, kMin48},
    {"MAC.L S: large positive product", true, true, 0, 0x7FFFFFFF, 0x7FFFFFFF, kMax48},
    {"MAC.L S: large negative product", true, true, 0, 0x80000000, 0x7FFFFFFF, kMin48},
    {"MAC.L S: judged on all 64 bits, high", true, true, 0x1234567800000000ull, 0, 0, kMax48},
    {"MAC.L S: judged on all 64 bits, low", true, true, 0x8000000000000000ull, 0, 0, kMin48},
    {"MAC.L S: in range", true, true, 0x0000123400000000ull, 0xFFFFFFFE, 3, 0x00001233FFFFFFFAull},
    {"MAC.L S: small negative sum", true, true, 0, 0xFFFFFFFB, 7, 0xFFFFFFFFFFFFFFDDull},

    {"MAC.W 0 + -1 x 1", false, false, 0, 0xFFFF, 0x0001, 0xFFFFFFFFFFFFFFFFull},
    {"MAC.W carries into MACH", false, false, 0x00000000FFFFFFFFull, 1, 1, 0x0000000100000000ull},
    {"MAC.W borrows from MACH", false, false, 0x0000000100000000ull, 0xFFFF, 1, 0x00000000FFFFFFFFull},
    {"MAC.W 0x8000 squared", false, false, 0, 0x8000, 0x8000, 0x40000000},
    {"MAC.W wraps at 2^63", false, false, 0x7FFFFFFFFFFFFFFFull, 1, 1, 0x8000000000000000ull},
    {"MAC.W 64-bit sum", false, false, 0x123456789ABCDEF0ull, 0x7FFF, 0x8000, 0x123456785ABD5EF0ull},
    {"MAC.W S: 0x7FFFFFFF + 1 saturates and marks MACH", false, true, 0x123456707FFFFFFFull, 1, 1,
     0x123456717FFFFFFFull},
    {"MAC.W S: -1 + 2 gives 1, MACH kept", false, true, 0x12345670FFFFFFFFull, 2, 1, 0x1234567000000001ull},
    {"MAC.W S: 0x80000000 - 1 saturates", false, true, 0x1234567080000000ull, 0xFFFF, 1, 0x1234567180000000ull},
    {"MAC.W S: a negative result leaves MACH", false, true, 0x1234567000000005ull, 0xFFFE, 5, 0x12345670FFFFFFFBull},
    {"MAC.W S: 0x7FFFFFFF + 0x40000000 saturates", false, true, 0x000000007FFFFFFFull, 0x8000, 0x8000,
     0x000000017FFFFFFFull},
    {"MAC.W S: 0x3FFFFFFF + 0x40000000 fits", false, true, 0x000000003FFFFFFFull, 0x8000, 0x8000,
     0x000000007FFFFFFFull},
    {"MAC.W S: MACH bit 0 already set", false, true, 0x000000017FFFFFFFull, 1, 1, 0x000000017FFFFFFFull},
    {"MAC.W S: opposite signs never saturate", false, true, 0x000000007FFFFFFFull, 0xFFFF, 1,
     0x000000007FFFFFFEull},
    {"MAC.W S: negative + positive product", false, true, 0xFFFFFFFF80000000ull, 0x8000, 0x8000,
     0xFFFFFFFFC0000000ull},
};

class IsaMultiplyAccumulate : public IsaTest, public ::testing::WithParamInterface<MacCase> {};

TEST_P(IsaMultiplyAccumulate, SumRegistersAccessesAndCycles) {
    const MacCase &c = GetParam();
    SetRegisters({{4, 0x1000}, {5, 0x2000}});
    Core().SR = c.saturate ? 0x0F3 : 0x0F1;
    Core().MACH = static_cast<uint32_t>(c.macIn >> 32);
    Core().MACL = static_cast<uint32_t>(c.macIn);
    std::vector<HostAccess> accesses;
    if (c.longForm) {
        Machine().SetLong(0x1000, c.first);
        Machine().SetLong(0x2000, c.second);
        accesses = {ReadOf(4, 0x1000, c.first), ReadOf(4, 0x2000, c.second)};
    } else {
        Machine().SetWord(0x1000, static_cast<uint16_t>(c.first));
        Machine().SetWord(0x2000, static_cast<uint16_t>(c.second));
        accesses = {ReadOf(2, 0x1000, c.first), ReadOf(2, 0x2000, c.second)};
    }
    const int32_t cycles = Execute(c.longForm ? 0x045F : 0x445F);
    EXPECT_EQ(Mac(Core()), c.macOut) << c.name << ": MACH:MACL is " << Hex(Core().MACH) << ":" << Hex(Core().MACL);
    const uint32_t step = c.longForm ? 4 : 2;
    ExpectRegisters({}, {{4, 0x1000 + step}, {5, 0x2000 + step}}, c.name);
    ExpectAccesses(accesses, c.name);
    EXPECT_EQ(cycles, 3) << c.name;
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    EXPECT_EQ(Core().SR, c.saturate ? 0x0F3u : 0x0F1u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaMultiplyAccumulate, ::testing::ValuesIn(kMacCases));

using IsaMultiplyAccumulateOperands = IsaTest;

// With n == m MAC.L reads the same long twice and the register ends 8 higher.
TEST_F(IsaMultiplyAccumulateOperands, MacLongOnOneRegister) {
    SetRegisters({{4, 0x1000}});
    Core().MACH = 0;
    Core().MACL = 1;
    Machine().SetLong(0x1000, 0xFFFFFFFD);
    Machine().SetLong(0x1004, 0x00000100);
    EXPECT_EQ(Execute(0x044F), 3);  // mac.l @r4+,@r4+
    EXPECT_EQ(Mac(Core()), 10u);
    ExpectRegisters({}, {{4, 0x1008}}, "mac.l @r4+,@r4+");
    ExpectAccesses({ReadOf(4, 0x1000, 0xFFFFFFFD), ReadOf(4, 0x1000, 0xFFFFFFFD)}, "mac.l @r4+,@r4+");
}

// With n == m MAC.W reads two consecutive words and the register ends 4
// higher.
TEST_F(IsaMultiplyAccumulateOperands, MacWordOnOneRegister) {
    SetRegisters({{4, 0x1000}});
    Core().MACH = 0;
    Core().MACL = 0;
    Machine().SetWord(0x1000, 3);
    Machine().SetWord(0x1002, 0xFFFC);
    EXPECT_EQ(Execute(0x444F), 3);  // mac.w @r4+,@r4+
    EXPECT_EQ(Mac(Core()), static_cast<uint64_t>(-12));
    ExpectRegisters({}, {{4, 0x1004}}, "mac.w @r4+,@r4+");
    ExpectAccesses({ReadOf(2, 0x1000, 3), ReadOf(2, 0x1002, 0xFFFC)}, "mac.w @r4+,@r4+");
}

// Unaligned operand addresses go to the memory layer as they are.
TEST_F(IsaMultiplyAccumulateOperands, UnalignedAddressesArePassedOn) {
    SetRegisters({{4, 0x1001}, {5, 0x2003}});
    Core().MACH = 0;
    Core().MACL = 0;
    Execute(0x045F);
    ExpectAccesses({ReadOf(4, 0x1001, 0), ReadOf(4, 0x2003, 0)}, "mac.l");
    Machine().accesses.clear();
    Core().PC = kCodeBase;
    Execute(0x445F);
    ExpectAccesses({ReadOf(2, 0x1005, 0), ReadOf(2, 0x2007, 0)}, "mac.w");
    ExpectRegisters({}, {{4, 0x1007}, {5, 0x2009}}, "both");
}

// Operands in on-chip RAM never reach the host.
TEST_F(IsaMultiplyAccumulateOperands, OperandsInOnChipRam) {
    SetRegisters({{4, 0xFFFFF010}, {5, 0xC0000020}});
    Core().MACH = 0;
    Core().MACL = 0;
    Core().OnChipRam[0x010] = 0x00;
    Core().OnChipRam[0x011] = 0x07;
    Core().OnChipRam[0x020] = 0xFF;
    Core().OnChipRam[0x021] = 0xFA;  // -6
    Execute(0x445F);
    ExpectAccesses({}, "on-chip operands");
    EXPECT_EQ(Mac(Core()), static_cast<uint64_t>(-42));
}

// A dot product of two word vectors: CLRMAC, then MAC.W per element.
TEST_F(IsaMultiplyAccumulateOperands, WordDotProduct) {
    const int16_t a[4] = {3, -4, 1000, -32768};
    const int16_t b[4] = {7, 5, -1000, -32768};
    int64_t sum = 0;
    for (int i = 0; i < 4; ++i) {
        Machine().SetWord(0x1000 + 2 * i, static_cast<uint16_t>(a[i]));
        Machine().SetWord(0x2000 + 2 * i, static_cast<uint16_t>(b[i]));
        sum += int64_t{a[i]} * b[i];
    }
    SetRegisters({{4, 0x1000}, {5, 0x2000}});
    Core().SR = 0;
    Place(kCodeBase, {0x0028, 0x445F, 0x445F, 0x445F, 0x445F, 0x001A});  // clrmac; 4 x mac.w; sts macl,r0
    int32_t cycles = 0;
    for (int i = 0; i < 6; ++i) cycles += Step();
    EXPECT_EQ(cycles, 1 + 4 * 3 + 1);
    EXPECT_EQ(Mac(Core()), static_cast<uint64_t>(sum));
    EXPECT_EQ(Core().R[0], static_cast<uint32_t>(sum));
}

// Every register pair of the register-only rows and of the MAC rows, against
// the rules; registers hold distinct values so a swapped field shows up.
TEST_F(IsaMultiplyAccumulateOperands, EveryRegisterPair) {
    uint32_t r[16];
    for (uint32_t i = 0; i < 16; ++i) {
        r[i] = 0x00001000u + i * 0x102u;  // distinct even addresses
    }
    for (uint32_t address = 0x1000; address < 0x2400; address += 2) {
        Machine().SetWord(address, static_cast<uint16_t>(address * 0x9E37u ^ 0x5A5Au));
    }
    const uint64_t macIn = 0x0000123487654321ull;
    for (uint32_t n = 0; n < 16; ++n) {
        for (uint32_t m = 0; m < 16; ++m) {
            const uint16_t nm = static_cast<uint16_t>((n << 8) | (m << 4));
            const uint32_t rn = r[n];
            const uint32_t rm = r[m];
            const auto sn = static_cast<int64_t>(static_cast<int32_t>(rn));
            const auto sm = static_cast<int64_t>(static_cast<int32_t>(rm));
            struct Expect {
                uint16_t opcode;
                uint64_t mac;
                uint32_t rnOut;
                uint32_t rmOut;
                uint32_t sr;
                int32_t cycles;
            };
            const uint32_t srIn = 0x0F0;
            const uint64_t keepMach = macIn & 0xFFFFFFFF00000000ull;
            // MAC operands read from the addresses on entry (MAC.W: Rm after
            // Rn's step).
            const uint32_t l1 = Machine().Long(rn);
            const uint32_t l2 = Machine().Long(rm);
            const uint64_t macL = macIn + static_cast<uint64_t>(int64_t{static_cast<int32_t>(l1)} *
                                                                static_cast<int32_t>(l2));
            const uint32_t wAddress2 = n == m ? rm + 2 : rm;
            const int16_t w1 = static_cast<int16_t>(Machine().Word(rn));
            const int16_t w2 = static_cast<int16_t>(Machine().Word(wAddress2));
            const uint64_t macW = macIn + static_cast<uint64_t>(int64_t{int32_t{w1} * int32_t{w2}});
            const uint32_t div0sSr = srIn | ((rn >> 31) << 8) | ((rm >> 31) << 9) | ((rn >> 31) ^ (rm >> 31));
            const Expect expectations[] = {
                {static_cast<uint16_t>(0x0007 | nm), keepMach | static_cast<uint32_t>(rn * rm), rn, rm, srIn, 2},
                {static_cast<uint16_t>(0x200F | nm),
                 keepMach | static_cast<uint32_t>(int32_t{static_cast<int16_t>(rn)} * static_cast<int16_t>(rm)), rn,
                 rm, srIn, 1},
                {static_cast<uint16_t>(0x200E | nm), keepMach | ((rn & 0xFFFF) * (rm & 0xFFFF)), rn, rm, srIn, 1},
                {static_cast<uint16_t>(0x300D | nm), static_cast<uint64_t>(sn * sm), rn, rm, srIn, 2},
                {static_cast<uint16_t>(0x3005 | nm), uint64_t{rn} * rm, rn, rm, srIn, 2},
                {static_cast<uint16_t>(0x2007 | nm), macIn, rn, rm, div0sSr, 1},
                {static_cast<uint16_t>(0x000F | nm), macL, n == m ? rn + 8 : rn + 4, n == m ? rn + 8 : rm + 4, srIn, 3},
                {static_cast<uint16_t>(0x400F | nm), macW, n == m ? rn + 4 : rn + 2, n == m ? rn + 4 : rm + 2, srIn, 3},
            };
            for (const Expect &e : expectations) {
                for (uint32_t i = 0; i < 16; ++i) Core().R[i] = r[i];
                Core().SR = srIn;
                Core().MACH = static_cast<uint32_t>(macIn >> 32);
                Core().MACL = static_cast<uint32_t>(macIn);
                Core().PC = kCodeBase;
                ASSERT_EQ(Execute(e.opcode), e.cycles) << Hex(e.opcode);
                ASSERT_EQ(Mac(Core()), e.mac) << Hex(e.opcode);
                ASSERT_EQ(Core().SR, e.sr) << Hex(e.opcode);
                ASSERT_EQ(Core().R[n], e.rnOut) << Hex(e.opcode);
                ASSERT_EQ(Core().R[m], e.rmOut) << Hex(e.opcode);
                for (uint32_t i = 0; i < 16; ++i) {
                    if (i != n && i != m) {
                        ASSERT_EQ(Core().R[i], r[i]) << Hex(e.opcode) << " R" << i;
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Division sequences built from DIV0U/DIV0S and DIV1.

class IsaDivisionStep : public IsaTest {
protected:
    // Runs `program` at the code base instruction by instruction to its end;
    // every instruction in it costs 1 cycle.
    void Run(const std::vector<uint16_t> &program) {
        Core().PC = kCodeBase;
        Place(kCodeBase, program);
        int32_t cycles = 0;
        while (Core().PC != kCodeBase + 2 * program.size()) {
            cycles += Step();
        }
        EXPECT_EQ(cycles, static_cast<int32_t>(program.size()));
    }
    static std::vector<uint16_t> Repeat(std::vector<uint16_t> program, std::initializer_list<uint16_t> body,
                                        int times, std::initializer_list<uint16_t> tail) {
        for (int i = 0; i < times; ++i) program.insert(program.end(), body);
        program.insert(program.end(), tail);
        return program;
    }
};

// R0 (32 bits) / R1 (16 bits) = R0 (16 bits), unsigned, quotient below 2^16.
TEST_F(IsaDivisionStep, Unsigned32By16) {
    const auto program = Repeat({0x4128, 0x0019},  // shll16 r1; div0u
                                {0x3014},          // div1 r1,r0
                                16, {0x4024, 0x600D});  // rotcl r0; extu.w r0,r0
    const std::pair<uint32_t, uint32_t> cases[] = {
        {100, 7},          {0x00123456, 0x1234}, {12345678, 1000}, {0, 5},
        {1, 1},            {0xFFFEFFFF, 0xFFFF}, {0x7FFF0000, 0x8000}, {0x0000FFFF, 1},
        {0x80000000, 0x8001},
    };
    for (const auto &[dividend, divisor] : cases) {
        SCOPED_TRACE(Hex(dividend) + " / " + Hex(divisor));
        SetBackground();
        SetRegisters({{0, dividend}, {1, divisor}});
        Run(program);
        EXPECT_EQ(Core().R[0], dividend / divisor);
    }
}

// R1:R2 (64 bits) / R0 (32 bits) = R2 (32 bits), unsigned, R1 below R0.
TEST_F(IsaDivisionStep, Unsigned64By32) {
    const auto program = Repeat({0x0019},           // div0u
                                {0x4224, 0x3104},   // rotcl r2; div1 r0,r1
                                32, {0x4224});      // rotcl r2
    struct Case {
        uint32_t high, low, divisor;
    };
    const Case cases[] = {
        {0x00000001, 0x00000000, 2},          {0x12345678, 0x9ABCDEF0, 0x87654321},
        {0x00000000, 0xFFFFFFFF, 1},          {0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFF},
        {0x00000000, 1000000007, 10},         {0x7FFFFFFF, 0x00000000, 0x80000000},
        {0x00000002, 0x540BE400, 0x3B9ACA00},  // 10^10 / 10^9
    };
    for (const Case &c : cases) {
        const uint64_t dividend = (uint64_t{c.high} << 32) | c.low;
        SCOPED_TRACE(Hex(c.high) + ":" + Hex(c.low) + " / " + Hex(c.divisor));
        SetBackground();
        SetRegisters({{0, c.divisor}, {1, c.high}, {2, c.low}});
        Run(program);
        EXPECT_EQ(Core().R[2], static_cast<uint32_t>(dividend / c.divisor));
    }
}

// R1 (16 bits) / R0 (16 bits) = R1, signed, rounded towards zero.
TEST_F(IsaDivisionStep, Signed16By16) {
    const auto program = Repeat({0x4028, 0x611F, 0x222A, 0x6313, 0x4324, 0x312A, 0x2107},
                                // shll16 r0; exts.w r1,r1; xor r2,r2; mov r1,r3; rotcl r3;
                                // subc r2,r1; div0s r0,r1
                                {0x3104},  // div1 r0,r1
                                16, {0x611F, 0x4124, 0x312E, 0x611F});
                                // exts.w r1,r1; rotcl r1; addc r2,r1; exts.w r1,r1
    const std::pair<int16_t, int16_t> cases[] = {
        {100, 7},   {-100, 7},  {100, -7},  {-100, -7},   {32767, 1},  {-32767, -1},
        {32767, -1}, {-32768, 3}, {0, 9},   {6, 3},       {-6, 3},     {1, 32767},
    };
    for (const auto &[dividend, divisor] : cases) {
        SCOPED_TRACE(std::to_string(dividend) + " / " + std::to_string(divisor));
        SetBackground();
        SetRegisters({{0, static_cast<uint32_t>(divisor)}, {1, static_cast<uint32_t>(dividend)}});
        Run(program);
        EXPECT_EQ(Core().R[1], static_cast<uint32_t>(dividend / divisor));
    }
}

// R1 (32 bits) / R0 (32 bits) = R1, signed, rounded towards zero.
TEST_F(IsaDivisionStep, Signed32By32) {
    const auto program = Repeat({0x6313, 0x4324, 0x322A, 0x233A, 0x313A, 0x2207},
                                // mov r1,r3; rotcl r3; subc r2,r2; xor r3,r3; subc r3,r1;
                                // div0s r0,r2
                                {0x4124, 0x3204},  // rotcl r1; div1 r0,r2
                                32, {0x4124, 0x313E});  // rotcl r1; addc r3,r1
    const std::pair<int32_t, int32_t> cases[] = {
        {1000000, 7},      {-1000000, 7}, {1000000, -7},     {-1000000, -7}, {0x7FFFFFFF, 2},
        {-2147483647, 3},  {0, -5},       {21, 7},           {-21, 7},       {1, 0x7FFFFFFF},
        {0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const auto &[dividend, divisor] : cases) {
        SCOPED_TRACE(std::to_string(dividend) + " / " + std::to_string(divisor));
        SetBackground();
        SetRegisters({{0, static_cast<uint32_t>(divisor)}, {1, static_cast<uint32_t>(dividend)}});
        Run(program);
        EXPECT_EQ(Core().R[1], static_cast<uint32_t>(dividend / divisor));
    }
}

}  // namespace
