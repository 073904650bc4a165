// AND, OR, XOR, NOT, TST, the read-modify-write byte forms on @(R0,GBR), TAS.B
// and the shifts and rotates.
#include <gtest/gtest.h>

#include "bus/memory.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr int kKeep = -1;

const RegisterCase kLogicCases[] = {
    {"AND R1,R2", 0x2219, {{1, 0xFF00FF00}, {2, 0xF0F0F0F0}}, 1, {{2, 0xF000F000}}, kKeep},
    {"AND R2,R2 changes nothing", 0x2229, {{2, 0x1234}}, 0, {}, kKeep},
    {"AND #0x0F,R0 clears bits 8 to 31", 0xC90F, {{0, 0xFFFFFFFF}}, 1, {{0, 0x0F}}, kKeep},
    {"AND #0,R0", 0xC900, {{0, 0xFFFFFFFF}}, 0, {{0, 0}}, kKeep},
    {"OR R1,R2", 0x221B, {{1, 0xFF00FF00}, {2, 0x0F0F0F0F}}, 0, {{2, 0xFF0FFF0F}}, kKeep},
    {"OR #0x0F,R0 keeps bits 8 to 31", 0xCB0F, {{0, 0x80000000}}, 1, {{0, 0x8000000F}}, kKeep},
    {"OR #0x80,R0 does not sign-extend", 0xCB80, {{0, 0}}, 0, {{0, 0x80}}, kKeep},
    {"XOR R1,R2", 0x221A, {{1, 0xFF00FF00}, {2, 0x0FF00FF0}}, 1, {{2, 0xF0F0F0F0}}, kKeep},
    {"XOR R5,R5 clears, T stays", 0x255A, {{5, 0xDEAD}}, 1, {{5, 0}}, kKeep},
    {"XOR #0xFF,R0", 0xCAFF, {{0, 0x12345678}}, 0, {{0, 0x12345687}}, kKeep},
    {"NOT R1,R2", 0x6217, {{1, 0x0F0F0000}}, 0, {{2, 0xF0F0FFFF}}, kKeep},
    {"NOT R2,R2", 0x6227, {{2, 0}}, 1, {{2, 0xFFFFFFFF}}, kKeep},

    {"TST no common bit", 0x2218, {{1, 0xF0F0F0F0}, {2, 0x0F0F0F0F}}, 0, {}, 1},
    {"TST common bit", 0x2218, {{1, 0x80000000}, {2, 0x80000001}}, 1, {}, 0},
    {"TST R2,R2 of 0", 0x2228, {{2, 0}}, 0, {}, 1},
    {"TST R2,R2 of nonzero", 0x2228, {{2, 0x100}}, 1, {}, 0},
    {"TST #0x80,R0 with 0x180", 0xC880, {{0, 0x180}}, 1, {}, 0},
    {"TST #0x80,R0 with 0x100: only the low byte counts", 0xC880, {{0, 0x100}}, 0, {}, 1},
    {"TST #0,R0", 0xC800, {{0, 0xFFFFFFFF}}, 0, {}, 1},

    {"ROTL 0x80000000", 0x4204, {{2, 0x80000000}}, 0, {{2, 0x00000001}}, 1},
    {"ROTL 0x40000000", 0x4204, {{2, 0x40000000}}, 1, {{2, 0x80000000}}, 0},
    {"ROTR 0x00000001", 0x4205, {{2, 0x00000001}}, 0, {{2, 0x80000000}}, 1},
    {"ROTR 0x00000002", 0x4205, {{2, 0x00000002}}, 1, {{2, 0x00000001}}, 0},
    {"ROTCL T = 1, 0x80000000", 0x4224, {{2, 0x80000000}}, 1, {{2, 0x00000001}}, 1},
    {"ROTCL T = 0, 0x80000000", 0x4224, {{2, 0x80000000}}, 0, {{2, 0}}, 1},
    {"ROTCL T = 1, 0x40000000", 0x4224, {{2, 0x40000000}}, 1, {{2, 0x80000001}}, 0},
    {"ROTCR T = 1, 0x00000001", 0x4225, {{2, 0x00000001}}, 1, {{2, 0x80000000}}, 1},
    {"ROTCR T = 0, 0x00000001", 0x4225, {{2, 0x00000001}}, 0, {{2, 0}}, 1},
    {"ROTCR T = 1, 0x00000002", 0x4225, {{2, 0x00000002}}, 1, {{2, 0x80000001}}, 0},
    {"SHAL 0xC0000001", 0x4220, {{2, 0xC0000001}}, 0, {{2, 0x80000002}}, 1},
    {"SHAL 0x40000000", 0x4220, {{2, 0x40000000}}, 1, {{2, 0x80000000}}, 0},
    {"SHLL 0xC0000001", 0x4200, {{2, 0xC0000001}}, 0, {{2, 0x80000002}}, 1},
    {"SHLL 0x00000001", 0x4200, {{2, 0x00000001}}, 1, {{2, 0x00000002}}, 0},
    {"SHAR 0x80000001", 0x4221, {{2, 0x80000001}}, 0, {{2, 0xC0000000}}, 1},
    {"SHAR 0x40000000", 0x4221, {{2, 0x40000000}}, 1, {{2, 0x20000000}}, 0},
    {"SHLR 0x80000001", 0x4201, {{2, 0x80000001}}, 0, {{2, 0x40000000}}, 1},
    {"SHLR 0x00000002", 0x4201, {{2, 0x00000002}}, 1, {{2, 0x00000001}}, 0},
    {"SHLL2", 0x4208, {{2, 0xC0000001}}, 1, {{2, 0x00000004}}, kKeep},
    {"SHLL8", 0x4218, {{2, 0xABCD1234}}, 0, {{2, 0xCD123400}}, kKeep},
    {"SHLL16", 0x4228, {{2, 0xABCD1234}}, 1, {{2, 0x12340000}}, kKeep},
    {"SHLR2", 0x4209, {{2, 0xC0000003}}, 0, {{2, 0x30000000}}, kKeep},
    {"SHLR8", 0x4219, {{2, 0xABCD1234}}, 1, {{2, 0x00ABCD12}}, kKeep},
    {"SHLR16", 0x4229, {{2, 0xABCD1234}}, 0, {{2, 0x0000ABCD}}, kKeep},
    {"SHLR16 R15", 0x4F29, {{15, 0xFFFF0000}}, 1, {{15, 0x0000FFFF}}, kKeep},
};

class IsaLogic : public RegisterInstruction {};

TEST_P(IsaLogic, ResultTPcAndCycles) { Check(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, IsaLogic, ::testing::ValuesIn(kLogicCases));

// The byte forms on @(R0,GBR) and TAS.B: exactly the host accesses named
// (a read, then for the modifying forms a write of the result to the same
// address), T, PC and cycles.
struct ByteCase {
    const char *name;
    uint16_t opcode;
    uint8_t before;
    int tIn;
    std::vector<HostAccess> accesses;
    int tOut;  // -1: unchanged
    int32_t cycles;
};

inline std::ostream &operator<<(std::ostream &out, const ByteCase &c) { return out << c.name; }

constexpr uint32_t kGbr = 0x2000;
constexpr uint32_t kR0 = 0x10;
constexpr uint32_t kByte = kGbr + kR0;
constexpr uint32_t kTasAddress = 0x2345;  // R6 for TAS.B @R6

const ByteCase kByteCases[] = {
    {"AND.B #0x0F", 0xCD0F, 0xF3, 1, {ReadOf(1, kByte, 0xF3), WriteOf(1, kByte, 0x03)}, kKeep, 3},
    {"AND.B #0xFF writes the byte back", 0xCDFF, 0x5A, 0, {ReadOf(1, kByte, 0x5A), WriteOf(1, kByte, 0x5A)}, kKeep, 3},
    {"AND.B #0 reads, then writes 0", 0xCD00, 0x5A, 1, {ReadOf(1, kByte, 0x5A), WriteOf(1, kByte, 0x00)}, kKeep, 3},
    {"OR.B #0x81", 0xCF81, 0x12, 0, {ReadOf(1, kByte, 0x12), WriteOf(1, kByte, 0x93)}, kKeep, 3},
    {"OR.B #0 writes the byte back", 0xCF00, 0xA5, 1, {ReadOf(1, kByte, 0xA5), WriteOf(1, kByte, 0xA5)}, kKeep, 3},
    {"XOR.B #0xFF", 0xCEFF, 0x0F, 0, {ReadOf(1, kByte, 0x0F), WriteOf(1, kByte, 0xF0)}, kKeep, 3},
    {"XOR.B #0 writes the byte back", 0xCE00, 0x3C, 1, {ReadOf(1, kByte, 0x3C), WriteOf(1, kByte, 0x3C)}, kKeep, 3},
    {"TST.B #0x80 with 0x7F", 0xCC80, 0x7F, 0, {ReadOf(1, kByte, 0x7F)}, 1, 3},
    {"TST.B #0x80 with 0x80", 0xCC80, 0x80, 1, {ReadOf(1, kByte, 0x80)}, 0, 3},
    {"TST.B #0 reads and sets T", 0xCC00, 0xFF, 0, {ReadOf(1, kByte, 0xFF)}, 1, 3},
    {"TAS.B of 0x00", 0x461B, 0x00, 0, {ReadOf(1, kTasAddress, 0x00), WriteOf(1, kTasAddress, 0x80)}, 1, 4},
    {"TAS.B of 0x80", 0x461B, 0x80, 1, {ReadOf(1, kTasAddress, 0x80), WriteOf(1, kTasAddress, 0x80)}, 0, 4},
    {"TAS.B of 0x7F", 0x461B, 0x7F, 1, {ReadOf(1, kTasAddress, 0x7F), WriteOf(1, kTasAddress, 0xFF)}, 0, 4},
};

class IsaLogicByte : public IsaTest, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(IsaLogicByte, AccessesTPcAndCycles) {
    const ByteCase &c = GetParam();
    Core().GBR = kGbr;
    SetRegisters({{0, kR0}, {6, kTasAddress}});
    Core().SR = 0x3F2u | static_cast<uint32_t>(c.tIn);
    const uint32_t address = (c.opcode >> 8) == 0x46 ? kTasAddress : kByte;
    Machine().SetByte(address, c.before);
    const int32_t cycles = Execute(c.opcode);
    ExpectAccesses(c.accesses, c.name);
    const uint32_t t = c.tOut < 0 ? static_cast<uint32_t>(c.tIn) : static_cast<uint32_t>(c.tOut);
    EXPECT_EQ(Core().SR, 0x3F2u | t) << c.name;
    EXPECT_EQ(cycles, c.cycles) << c.name;
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    ExpectRegisters({{0, kR0}, {6, kTasAddress}}, {}, c.name);
    EXPECT_EQ(Core().GBR, kGbr) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaLogicByte, ::testing::ValuesIn(kByteCases));

using IsaLogicWindows = IsaTest;

// GBR + R0 wraps modulo 2^32.
TEST_F(IsaLogicWindows, GbrPlusR0Wraps) {
    Core().GBR = 0xFFFFFFF0;
    SetRegisters({{0, 0x20}});
    Machine().SetByte(0x10, 0x01);
    Execute(0xCF02);  // or.b #2,@(r0,gbr)
    ExpectAccesses({ReadOf(1, 0x10, 0x01), WriteOf(1, 0x10, 0x03)}, "wrapped address");
}

// On the on-chip register window both halves of a read-modify-write are
// separate accesses with their own side effects: at 0xFFFFFE14 the read
// returns OCRA's high byte (not the image byte) and the write sets it.
TEST_F(IsaLogicWindows, ReadModifyWriteOnTheCompareRegisterWindow) {
    Core().OCRA = 0x1234;
    Core().GBR = 0xFFFFFE00;
    SetRegisters({{0, 0x14}});
    ASSERT_EQ(Core().OnChipRegisterFile[0x17] & 0x10, 0) << "TOCR selects OCRA";
    EXPECT_EQ(Execute(0xCD0F), 3);  // and.b #0x0f,@(r0,gbr): 0x12 & 0x0F
    EXPECT_EQ(Core().OCRA, 0x0234);
    EXPECT_EQ(Core().OnChipRegisterFile[0x14], 0x02);
    // TAS.B on the low byte: reads 0x34 from OCRA, T = 0, writes 0xB4.
    SetRegisters({{3, 0xFFFFFE15}});
    Core().SR = 0x1;
    EXPECT_EQ(Execute(0x431B), 4);
    EXPECT_EQ(Core().OCRA, 0x02B4);
    EXPECT_EQ(Core().SR & 1u, 0u);
    // TST.B reads through the window too and writes nothing.
    Core().OCRA = 0x8000;
    Execute(0xCC80);  // tst.b #0x80,@(r0,gbr)
    EXPECT_EQ(Core().SR & 1u, 0u);
    EXPECT_EQ(Core().OnChipRegisterFile[0x14], 0x02);
    EXPECT_TRUE(Machine().accesses.empty()) << Describe(Machine().accesses);
}

// In on-chip RAM the byte changes in place without any host access.
TEST_F(IsaLogicWindows, ReadModifyWriteInOnChipRam) {
    Core().GBR = 0xC0000000;
    SetRegisters({{0, 0x321}, {7, 0xFFFFF400}});
    Core().OnChipRam[0x321] = 0x0F;
    Execute(0xCEFF);  // xor.b #0xff,@(r0,gbr)
    EXPECT_EQ(Core().OnChipRam[0x321], 0xF0);
    Core().OnChipRam[0x400] = 0;
    Execute(0x471B);  // tas.b @r7
    EXPECT_EQ(Core().OnChipRam[0x400], 0x80);
    EXPECT_EQ(Core().SR & 1u, 1u);
    EXPECT_TRUE(Machine().accesses.empty()) << Describe(Machine().accesses);
}

// A write to the host-read-only range is dropped, but the read still happens.
TEST_F(IsaLogicWindows, TasOnTheReadOnlyRangeOnlyReads) {
    SetRegisters({{2, 0x40000100}});
    Machine().SetByte(0x40000100, 0x00);
    Execute(0x421B);
    ExpectAccesses({ReadOf(1, 0x40000100, 0x00)}, "dropped write");
    EXPECT_EQ(Core().SR & 1u, 1u);
}

}  // namespace
