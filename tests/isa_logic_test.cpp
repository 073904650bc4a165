// The host traffic of the read-modify-write byte forms on @(R0,GBR) and of
// TAS.B: which accesses, of which width, in which order. Their results are
// decided by the qemu fixture's rmw group, which sees only the final page.
#include <gtest/gtest.h>

#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr int kKeep = -1;

// Exactly the host accesses named (a byte read, then for the modifying forms
// a byte write of the result to the same address, even where it cannot
// differ), and T.
struct ByteCase {
    const char *name;
    uint16_t opcode;
    uint8_t before;
    int tIn;
    std::vector<HostAccess> accesses;
    int tOut;  // -1: unchanged
};

inline std::ostream &operator<<(std::ostream &out, const ByteCase &c) {
    return out << c.name;
}

constexpr uint32_t kGbr = 0x2000;
constexpr uint32_t kR0 = 0x10;
constexpr uint32_t kByte = kGbr + kR0;
constexpr uint32_t kTasAddress = 0x2345;  // R6 for TAS.B @R6

// clang-format off
const ByteCase kByteCases[] = {
    {"AND.B #0xFF writes the byte back", 0xCDFF, 0x5A, 0, {Read(1, kByte, 0x5A), Write(1, kByte, 0x5A)}, kKeep},
    {"OR.B #0 writes the byte back", 0xCF00, 0xA5, 1, {Read(1, kByte, 0xA5), Write(1, kByte, 0xA5)}, kKeep},
    {"XOR.B #0 writes the byte back", 0xCE00, 0x3C, 1, {Read(1, kByte, 0x3C), Write(1, kByte, 0x3C)}, kKeep},
    {"TST.B #0x80 with 0x80 only reads", 0xCC80, 0x80, 1, {Read(1, kByte, 0x80)}, 0},
    {"TAS.B of 0x00", 0x461B, 0x00, 0, {Read(1, kTasAddress, 0x00), Write(1, kTasAddress, 0x80)}, 1},
    {"TAS.B of 0x80 writes the byte back", 0x461B, 0x80, 1,
     {Read(1, kTasAddress, 0x80), Write(1, kTasAddress, 0x80)}, 0},
};
// clang-format on

class IsaLogicByte : public IsaTest, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(IsaLogicByte, AccessesAndT) {
    const ByteCase &c = GetParam();
    Core().GBR = kGbr;
    SetRegisters({{0, kR0}, {6, kTasAddress}});
    Core().SR = 0x3F2u | static_cast<uint32_t>(c.tIn);
    const uint32_t address = (c.opcode >> 8) == 0x46 ? kTasAddress : kByte;
    Machine().SetByte(address, c.before);
    Execute(c.opcode);
    ExpectAccesses(c.accesses, c.name);
    const uint32_t t = c.tOut < 0 ? static_cast<uint32_t>(c.tIn) : static_cast<uint32_t>(c.tOut);
    EXPECT_EQ(Core().SR, 0x3F2u | t) << c.name;
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    ExpectRegisters({{0, kR0}, {6, kTasAddress}}, {}, c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaLogicByte, ::testing::ValuesIn(kByteCases));

using IsaLogicWindows = IsaTest;

// GBR + R0 wraps modulo 2^32.
TEST_F(IsaLogicWindows, GbrPlusR0Wraps) {
    Core().GBR = 0xFFFFFFF0;
    SetRegisters({{0, 0x20}});
    Machine().SetByte(0x10, 0x01);
    Execute(0xCF02);  // or.b #2,@(r0,gbr)
    ExpectAccesses({Read(1, 0x10, 0x01), Write(1, 0x10, 0x03)}, "wrapped address");
}

// On the on-chip register window both halves of a read-modify-write are
// separate accesses with their own side effects: at 0xFFFFFE14 the read
// returns OCRA's high byte (not the image byte) and the write sets it.
TEST_F(IsaLogicWindows, ReadModifyWriteOnTheCompareRegisterWindow) {
    Core().timer.OCRA = 0x1234;
    Core().GBR = 0xFFFFFE00;
    SetRegisters({{0, 0x14}});
    ASSERT_EQ(Core().OnChipRegisterFile[0x17] & 0x10, 0) << "TOCR selects OCRA";
    Execute(0xCD0F);  // and.b #0x0f,@(r0,gbr): 0x12 & 0x0F
    EXPECT_EQ(Core().timer.OCRA, 0x0234);
    EXPECT_EQ(Core().OnChipRegisterFile[0x14], 0x02);
    // TAS.B on the low byte: reads 0x34 from OCRA, T = 0, writes 0xB4.
    SetRegisters({{3, 0xFFFFFE15}});
    Core().SR = 0x1;
    Execute(0x431B);
    EXPECT_EQ(Core().timer.OCRA, 0x02B4);
    EXPECT_EQ(Core().SR & 1u, 0u);
    // TST.B reads through the window too and writes nothing.
    Core().timer.OCRA = 0x8000;
    Execute(0xCC80);  // tst.b #0x80,@(r0,gbr)
    EXPECT_EQ(Core().SR & 1u, 0u);
    EXPECT_EQ(Core().OnChipRegisterFile[0x14], 0x02);
    EXPECT_TRUE(Machine().accesses.empty()) << Describe(Machine().accesses);
}

}  // namespace
