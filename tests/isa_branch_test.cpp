// Branches where the qemu fixture's branch group cannot reach: every
// displacement (also wrapping below address 0), register targets and return
// addresses outside its code, RTS's masking of PR, PC-relative operands in
// delay slots, and branches to their own slot or to themselves. Costs are in
// instruction_cost_test.cpp, nested slots in examples/nested_slots.s.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "isa/run_loop.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kAddOneR1 = 0x7101;  // add #1,r1: shows whether a slot ran
constexpr uint32_t kBackgroundPr = 0x0BAD0400;
constexpr uint32_t kOtherSrBits = 0x3F2;  // S, mask 15, Q and M: must stay

// BRAF, BSRF, JMP, JSR and RTS with `add #1,r1` as slot: the whole register
// (or PR AND 0x3FFFFFFF) is taken, odd or not.
struct JumpCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    uint32_t prIn;
    uint32_t target;
    uint32_t prOut;
};

inline std::ostream &operator<<(std::ostream &out, const JumpCase &c) {
    return out << c.name;
}

const JumpCase kJumpCases[] = {
    {"BRAF R3 is not masked", 0x0323, {{3, 0x80000000}}, kBackgroundPr, 0x80004004, kBackgroundPr},
    {"BSRF R0 of -4", 0x0003, {{0, 0xFFFFFFFC}}, kBackgroundPr, kCodeBase, kCodeBase + 4},
    {"JMP @R3 odd target", 0x432B, {{3, 0x00001001}}, kBackgroundPr, 0x00001001, kBackgroundPr},
    {"JMP @R3 top bits kept", 0x432B, {{3, 0xC0000100}}, kBackgroundPr, 0xC0000100, kBackgroundPr},
    {"JSR @R15", 0x4F0B, {{15, 0x00002000}}, kBackgroundPr, 0x00002000, kCodeBase + 4},
    {"RTS from 0x80000400", 0x000B, {}, 0x80000400, 0x00000400, 0x80000400},
    {"RTS from 0xC0001000", 0x000B, {}, 0xC0001000, 0x00001000, 0xC0001000},
    {"RTS from 0xFFFFFFFF", 0x000B, {}, 0xFFFFFFFF, 0x3FFFFFFF, 0xFFFFFFFF},
};

class IsaJump : public IsaTest, public ::testing::WithParamInterface<JumpCase> {};

TEST_P(IsaJump, TargetPrAndSlot) {
    const JumpCase &c = GetParam();
    SetRegisters(c.in);
    Core().SR = kOtherSrBits;
    Core().PR = c.prIn;
    Place(kCodeBase, {c.opcode, kAddOneR1});
    Step();
    EXPECT_EQ(Core().PC, c.target) << c.name << ": PC is " << Hex(Core().PC);
    EXPECT_EQ(Core().PR, c.prOut) << c.name;
    ExpectRegisters(c.in, {{1, BackgroundRegister(1) + 1}}, c.name);
    EXPECT_EQ(Core().SR, kOtherSrBits) << c.name;
    ExpectAccesses({}, c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaJump, ::testing::ValuesIn(kJumpCases));

// Every displacement of BT, BF, BT/S, BF/S, BRA and BSR, with a NOP slot,
// from the code base and from address 0, where backward targets wrap.
class IsaBranchSweep : public IsaTest {
protected:
    void Check(uint32_t base, uint16_t opcode, int t, uint32_t target, uint32_t pr, bool slot) {
        Core().PC = base;
        Core().PR = kBackgroundPr;
        Core().SR = kOtherSrBits | static_cast<uint32_t>(t);
        Place(base, {opcode, kNop});
        Step();
        ASSERT_EQ(Core().PC, target) << Hex(opcode) << " at " << Hex(base) << " T=" << t;
        ASSERT_EQ(Core().PR, pr) << Hex(opcode);
        ASSERT_EQ(Core().currentOpcode, slot ? kNop : opcode) << Hex(opcode);
        ASSERT_EQ(Core().SR, kOtherSrBits | static_cast<uint32_t>(t)) << Hex(opcode);
    }
};

TEST_F(IsaBranchSweep, EveryConditionalDisplacement) {
    for (const uint32_t base : {kCodeBase, 0u}) {
        for (uint32_t d = 0; d < 256; ++d) {
            const uint32_t offset = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(d)) * 2);
            const uint32_t taken = base + 4 + offset;
            const uint32_t next = base + 2;
            for (int t = 0; t < 2; ++t) {
                Check(base, static_cast<uint16_t>(0x8900 | d), t, t == 1 ? taken : next, kBackgroundPr, false);
                Check(base, static_cast<uint16_t>(0x8B00 | d), t, t == 0 ? taken : next, kBackgroundPr, false);
                Check(base, static_cast<uint16_t>(0x8D00 | d), t, t == 1 ? taken : next, kBackgroundPr, t == 1);
                Check(base, static_cast<uint16_t>(0x8F00 | d), t, t == 0 ? taken : next, kBackgroundPr, t == 0);
            }
        }
    }
}

TEST_F(IsaBranchSweep, EveryUnconditionalDisplacement) {
    for (const uint32_t base : {kCodeBase, 0u}) {
        for (uint32_t d = 0; d < 4096; ++d) {
            const int32_t signedDisp = d < 0x800 ? static_cast<int32_t>(d) : static_cast<int32_t>(d) - 0x1000;
            const uint32_t target = base + 4 + static_cast<uint32_t>(signedDisp * 2);
            Check(base, static_cast<uint16_t>(0xA000 | d), static_cast<int>(d & 1), target, kBackgroundPr, true);
            Check(base, static_cast<uint16_t>(0xB000 | d), static_cast<int>(d & 1), target, base + 4, true);
        }
    }
}

using IsaDelaySlot = IsaTest;

// PC-relative instructions in a slot compute from the branch target.
TEST_F(IsaDelaySlot, PcRelativeSlotUsesTheTarget) {
    // jmp @r3 to 0x6006 ; slot mov.l @(2,pc),r1 reads (0x6006 & ~3) + 4 + 8.
    SetRegisters({{3, 0x6006}});
    Machine().SetLong(0x6010, 0xCAFEBABE);
    Place(kCodeBase, {0x432B, 0xD102});
    Step();
    EXPECT_EQ(Core().PC, 0x6006u);
    EXPECT_EQ(Core().R[1], 0xCAFEBABEu);
    ExpectAccesses({Read(4, 0x6010, 0xCAFEBABE)}, "mov.l @(disp,pc)");

    // rts to 0x7002 ; slot mov.w @(3,pc),r1 reads 0x7002 + 4 + 6.
    SetBackground();
    Machine().accesses.clear();
    Core().PR = 0x7002;
    Machine().SetWord(0x700C, 0x8001);
    Place(kCodeBase, {0x000B, 0x9103});
    Step();
    EXPECT_EQ(Core().PC, 0x7002u);
    EXPECT_EQ(Core().R[1], 0xFFFF8001u);
    ExpectAccesses({Read(2, 0x700C, 0x8001)}, "mov.w @(disp,pc)");

    // A taken bt/s to 0x4024 ; slot mova @(0,pc),r0: 0x4024 + 4.
    SetBackground();
    Core().SR = 1;
    Place(kCodeBase, {0x8D10, 0xC700});
    Step();
    EXPECT_EQ(Core().R[0], 0x4028u);
}

// A BRA to the word after it runs that word twice: once as its slot, once
// as the next instruction.
TEST_F(IsaDelaySlot, BranchToItsOwnSlotRunsTheSlotTwice) {
    Place(kCodeBase, {0xAFFF, kAddOneR1});
    Step();
    EXPECT_EQ(Core().PC, kCodeBase + 2);
    Step();
    EXPECT_EQ(Core().PC, kCodeBase + 4);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 2);
}

// A branch to itself is not detected or skipped: it runs until the slice is
// used up.
TEST_F(IsaDelaySlot, BranchToItselfSpinsUntilTheSliceEnds) {
    Place(kCodeBase, {0xAFFE, kAddOneR1});      // bra . ; add #1,r1
    EXPECT_EQ(sh2::RunCycles(Core(), 30), 30);  // ten times 2 + 1
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 10);
}

}  // namespace
