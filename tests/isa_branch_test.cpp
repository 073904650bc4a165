// BT, BF, BT/S, BF/S, BRA, BSR, BRAF, BSRF, JMP, JSR and RTS: targets and
// displacement sign extension, PR, the delay slot (target and PR fixed before
// it runs, PC-relative slots see the target) and the cycle costs by outcome.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "isa/run_loop.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kAddOneR1 = 0x7101;  // add #1,r1: shows whether a slot ran
constexpr uint16_t kMovZeroR3 = 0xE300;  // mov #0,r3
constexpr uint16_t kStsPrR2 = 0x022A;  // sts pr,r2
constexpr uint16_t kClrt = 0x0008;
constexpr uint16_t kSett = 0x0018;
constexpr uint32_t kBackgroundPr = 0x0BAD0400;
constexpr uint32_t kOtherSrBits = 0x3F2;  // S, mask 15, Q and M: must stay

// One branch with `add #1,r1` in the word after it. The slot, when it runs,
// adds 1 cycle.
struct BranchCase {
    const char *name;
    uint16_t opcode;
    uint32_t pc;
    int t;
    RegisterList in;
    uint32_t target;  // PC afterwards
    bool slotRuns;
    int32_t cycles;  // the branch's own cost plus the slot's
    uint32_t prIn = kBackgroundPr;
    uint32_t prOut = kBackgroundPr;
};

inline std::ostream &operator<<(std::ostream &out, const BranchCase &c) { return out << c.name; }

const BranchCase kBranchCases[] = {
    // BT/BF: PC + 4 + disp8 * 2 when taken, PC + 2 otherwise; 1 cycle both ways.
    {"BT taken", 0x8910, 0x4000, 1, {}, 0x4024, false, 1},
    {"BT not taken", 0x8910, 0x4000, 0, {}, 0x4002, false, 1},
    {"BT disp 0x80 goes back 252", 0x8980, 0x4000, 1, {}, 0x3F04, false, 1},
    {"BT disp 0x7F", 0x897F, 0x4000, 1, {}, 0x4102, false, 1},
    {"BT disp 0xFE to itself", 0x89FE, 0x4000, 1, {}, 0x4000, false, 1},
    {"BT disp 0xFF taken lands on the next instruction", 0x89FF, 0x4000, 1, {}, 0x4002, false, 1},
    {"BT disp 0xFF not taken", 0x89FF, 0x4000, 0, {}, 0x4002, false, 1},
    {"BT backwards below address 0 wraps", 0x8980, 0x0010, 1, {}, 0xFFFFFF14, false, 1},
    {"BF taken", 0x8B10, 0x4000, 0, {}, 0x4024, false, 1},
    {"BF not taken", 0x8B10, 0x4000, 1, {}, 0x4002, false, 1},
    {"BF disp 0x80", 0x8B80, 0x4000, 0, {}, 0x3F04, false, 1},
    {"BF disp 0xFE to itself", 0x8BFE, 0x4000, 0, {}, 0x4000, false, 1},
    {"BF disp 0xFE not taken falls through", 0x8BFE, 0x4000, 1, {}, 0x4002, false, 1},
    // BT/S and BF/S: the slot runs only when taken. Not taken, BT/S costs 0
    // and BF/S 1.
    {"BT/S taken", 0x8D10, 0x4000, 1, {}, 0x4024, true, 2},
    {"BT/S not taken costs nothing", 0x8D10, 0x4000, 0, {}, 0x4002, false, 0},
    {"BT/S disp 0x80", 0x8D80, 0x4000, 1, {}, 0x3F04, true, 2},
    {"BT/S disp 0x7F", 0x8D7F, 0x4000, 1, {}, 0x4102, true, 2},
    {"BF/S taken", 0x8F10, 0x4000, 0, {}, 0x4024, true, 2},
    {"BF/S not taken costs 1", 0x8F10, 0x4000, 1, {}, 0x4002, false, 1},
    {"BF/S disp 0xFE to itself", 0x8FFE, 0x4000, 0, {}, 0x4000, true, 2},
    // BRA and BSR: PC + 4 + disp12 * 2, 2 cycles plus the slot.
    {"BRA", 0xA010, 0x4000, 0, {}, 0x4024, true, 3},
    {"BRA disp 0", 0xA000, 0x4000, 1, {}, 0x4004, true, 3},
    {"BRA disp 0x7FF", 0xA7FF, 0x4000, 0, {}, 0x5002, true, 3},
    {"BRA disp 0x800", 0xA800, 0x4000, 0, {}, 0x3004, true, 3},
    {"BRA disp 0x800 below address 0 wraps", 0xA800, 0x0400, 0, {}, 0xFFFFF404, true, 3},
    {"BRA to itself", 0xAFFE, 0x4000, 0, {}, 0x4000, true, 3},
    {"BRA to its own slot", 0xAFFF, 0x4000, 0, {}, 0x4002, true, 3},
    {"BSR", 0xB010, 0x4000, 0, {}, 0x4024, true, 3, kBackgroundPr, 0x4004},
    {"BSR disp 0x800", 0xB800, 0x4000, 1, {}, 0x3004, true, 3, kBackgroundPr, 0x4004},
    {"BSR at 0x1000", 0xB010, 0x1000, 0, {}, 0x1024, true, 3, kBackgroundPr, 0x1004},
    // BRAF and BSRF: PC + 4 + Rm, the whole register.
    {"BRAF R3", 0x0323, 0x4000, 0, {{3, 0x100}}, 0x4104, true, 3},
    {"BRAF R3 of -4 to itself", 0x0323, 0x4000, 0, {{3, 0xFFFFFFFC}}, 0x4000, true, 3},
    {"BRAF R3 is not masked", 0x0323, 0x4000, 1, {{3, 0x80000000}}, 0x80004004, true, 3},
    {"BRAF R15", 0x0F23, 0x4000, 0, {{15, 0x2000}}, 0x6004, true, 3},
    {"BSRF R0 of -4 at 0x100", 0x0003, 0x0100, 0, {{0, 0xFFFFFFFC}}, 0x0100, true, 3, kBackgroundPr, 0x0104},
    {"BSRF R3", 0x0303, 0x4000, 0, {{3, 0x1000}}, 0x5004, true, 3, kBackgroundPr, 0x4004},
    // JMP and JSR: Rm whole, odd or not.
    {"JMP @R3", 0x432B, 0x4000, 0, {{3, 0x06001234}}, 0x06001234, true, 3},
    {"JMP @R3 odd target", 0x432B, 0x4000, 0, {{3, 0x00001001}}, 0x00001001, true, 3},
    {"JMP @R3 top bits kept", 0x432B, 0x4000, 1, {{3, 0xC0000100}}, 0xC0000100, true, 3},
    {"JSR @R3", 0x430B, 0x4000, 0, {{3, 0x06001234}}, 0x06001234, true, 3, kBackgroundPr, 0x4004},
    {"JSR @R15", 0x4F0B, 0x4000, 0, {{15, 0x00002000}}, 0x00002000, true, 3, kBackgroundPr, 0x4004},
    // RTS: PR AND 0x3FFFFFFF; PR itself stays.
    {"RTS to 0x20000400", 0x000B, 0x4000, 0, {}, 0x20000400, true, 3, 0x20000400, 0x20000400},
    {"RTS from 0x80000400", 0x000B, 0x4000, 0, {}, 0x00000400, true, 3, 0x80000400, 0x80000400},
    {"RTS from 0xC0001000", 0x000B, 0x4000, 1, {}, 0x00001000, true, 3, 0xC0001000, 0xC0001000},
    {"RTS from 0xFFFFFFFF", 0x000B, 0x4000, 0, {}, 0x3FFFFFFF, true, 3, 0xFFFFFFFF, 0xFFFFFFFF},
    {"RTS odd return address", 0x000B, 0x4000, 0, {}, 0x06000001, true, 3, 0x06000001, 0x06000001},
};

class IsaBranch : public IsaTest, public ::testing::WithParamInterface<BranchCase> {};

TEST_P(IsaBranch, TargetPrSlotAndCycles) {
    const BranchCase &c = GetParam();
    SetRegisters(c.in);
    Core().PC = c.pc;
    Core().SR = kOtherSrBits | static_cast<uint32_t>(c.t);
    Core().PR = c.prIn;
    Place(c.pc, {c.opcode, kAddOneR1});
    const int32_t cycles = Step();
    EXPECT_EQ(Core().PC, c.target) << c.name << ": PC is " << Hex(Core().PC);
    EXPECT_EQ(cycles, c.cycles) << c.name;
    EXPECT_EQ(Core().PR, c.prOut) << c.name;
    RegisterList out;
    if (c.slotRuns) {
        out.push_back({1, BackgroundRegister(1) + 1});
    }
    ExpectRegisters(c.in, out, c.name);
    EXPECT_EQ(Core().currentOpcode, c.slotRuns ? kAddOneR1 : c.opcode) << c.name;
    EXPECT_EQ(Core().SR, kOtherSrBits | static_cast<uint32_t>(c.t)) << c.name;
    EXPECT_EQ(Core().GBR, 0x0BADB000u) << c.name;
    EXPECT_EQ(Core().VBR, 0x0BAD0000u) << c.name;
    EXPECT_EQ(Core().MACH, 0x4D414348u) << c.name;
    EXPECT_EQ(Core().MACL, 0x4D41434Cu) << c.name;
    ExpectAccesses({}, c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaBranch, ::testing::ValuesIn(kBranchCases));

// Every operand value of the branch rows against the rules, with a NOP slot.
class IsaBranchSweep : public IsaTest {
protected:
    void Check(uint16_t opcode, int t, uint32_t target, uint32_t pr, int32_t cycles, bool slot) {
        Core().PC = kCodeBase;
        Core().PR = kBackgroundPr;
        Core().SR = kOtherSrBits | static_cast<uint32_t>(t);
        Place(kCodeBase, {opcode, kNop});
        const int32_t spent = Step();
        ASSERT_EQ(Core().PC, target) << Hex(opcode) << " T=" << t;
        ASSERT_EQ(spent, cycles) << Hex(opcode) << " T=" << t;
        ASSERT_EQ(Core().PR, pr) << Hex(opcode);
        ASSERT_EQ(Core().currentOpcode, slot ? kNop : opcode) << Hex(opcode);
        ASSERT_EQ(Core().SR, kOtherSrBits | static_cast<uint32_t>(t)) << Hex(opcode);
    }
};

TEST_F(IsaBranchSweep, EveryConditionalDisplacement) {
    for (uint32_t d = 0; d < 256; ++d) {
        const uint32_t offset = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(d)) * 2);
        const uint32_t taken = kCodeBase + 4 + offset;
        const uint32_t next = kCodeBase + 2;
        for (int t = 0; t < 2; ++t) {
            Check(static_cast<uint16_t>(0x8900 | d), t, t == 1 ? taken : next, kBackgroundPr, 1, false);
            Check(static_cast<uint16_t>(0x8B00 | d), t, t == 0 ? taken : next, kBackgroundPr, 1, false);
            Check(static_cast<uint16_t>(0x8D00 | d), t, t == 1 ? taken : next, kBackgroundPr, t == 1 ? 2 : 0, t == 1);
            Check(static_cast<uint16_t>(0x8F00 | d), t, t == 0 ? taken : next, kBackgroundPr, t == 0 ? 2 : 1, t == 0);
        }
    }
}

TEST_F(IsaBranchSweep, EveryUnconditionalDisplacement) {
    for (uint32_t d = 0; d < 4096; ++d) {
        const int32_t signedDisp = d < 0x800 ? static_cast<int32_t>(d) : static_cast<int32_t>(d) - 0x1000;
        const uint32_t target = kCodeBase + 4 + static_cast<uint32_t>(signedDisp * 2);
        Check(static_cast<uint16_t>(0xA000 | d), static_cast<int>(d & 1), target, kBackgroundPr, 3, true);
        Check(static_cast<uint16_t>(0xB000 | d), static_cast<int>(d & 1), target, kCodeBase + 4, 3, true);
    }
}

TEST_F(IsaBranchSweep, EveryRegisterOperand) {
    for (uint32_t m = 0; m < 16; ++m) {
        for (uint32_t i = 0; i < 16; ++i) {
            Core().R[i] = 0x00100000u + i * 0x2468u;
        }
        const uint32_t rm = Core().R[m];
        Check(static_cast<uint16_t>(0x0023 | (m << 8)), 0, kCodeBase + 4 + rm, kBackgroundPr, 3, true);
        Check(static_cast<uint16_t>(0x0003 | (m << 8)), 0, kCodeBase + 4 + rm, kCodeBase + 4, 3, true);
        Check(static_cast<uint16_t>(0x402B | (m << 8)), 1, rm, kBackgroundPr, 3, true);
        Check(static_cast<uint16_t>(0x400B | (m << 8)), 1, rm, kCodeBase + 4, 3, true);
        for (uint32_t i = 0; i < 16; ++i) {
            ASSERT_EQ(Core().R[i], 0x00100000u + i * 0x2468u) << "R" << i;
        }
    }
}

using IsaDelaySlot = IsaTest;

// A slot that rewrites the branch's register, PR or T does not move the
// branch: the target is fixed first.
TEST_F(IsaDelaySlot, TargetIsFixedBeforeTheSlotRuns) {
    struct Case {
        const char *name;
        uint16_t branch;
        uint16_t slot;
        int t;
        uint32_t target;
    };
    const Case cases[] = {
        {"JMP @R3, slot mov #0,r3", 0x432B, kMovZeroR3, 0, 0x5000},
        {"JSR @R3, slot mov #0,r3", 0x430B, kMovZeroR3, 0, 0x5000},
        {"BRAF R3, slot mov #0,r3", 0x0323, kMovZeroR3, 0, 0x9004},
        {"BSRF R3, slot mov #0,r3", 0x0303, kMovZeroR3, 0, 0x9004},
        {"RTS, slot lds r5,pr", 0x000B, 0x452A, 0, 0x7000},
        {"BT/S, slot clrt", 0x8D10, kClrt, 1, 0x4024},
        {"BF/S, slot sett", 0x8F10, kSett, 0, 0x4024},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetBackground();
        SetRegisters({{3, 0x5000}, {5, 0x6000}});
        Core().PR = 0x7000;
        Core().SR = static_cast<uint32_t>(c.t);
        Place(kCodeBase, {c.branch, c.slot});
        Step();
        EXPECT_EQ(Core().PC, c.target);
        EXPECT_EQ(Core().currentOpcode, c.slot);
    }
    // The slots' own effects took place.
    SetBackground();
    SetRegisters({{3, 0x5000}});
    Place(kCodeBase, {0x432B, kMovZeroR3});
    Step();
    EXPECT_EQ(Core().R[3], 0u);
    SetBackground();
    SetRegisters({{5, 0x6000}});
    Core().PR = 0x7000;
    Place(kCodeBase, {0x000B, 0x452A});
    Step();
    EXPECT_EQ(Core().PR, 0x6000u);
    EXPECT_EQ(Core().PC, 0x7000u);
}

// BSR, BSRF and JSR write PR before their slot runs; RTS leaves it.
TEST_F(IsaDelaySlot, SlotReadingPrSeesTheNewReturnAddress) {
    struct Case {
        const char *name;
        uint16_t branch;
        uint32_t r2;
    };
    const Case cases[] = {
        {"BSR", 0xB010, kCodeBase + 4},
        {"BSRF R3", 0x0303, kCodeBase + 4},
        {"JSR @R3", 0x430B, kCodeBase + 4},
        {"RTS", 0x000B, 0x00007000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetBackground();
        SetRegisters({{3, 0x5000}});
        Core().PR = 0x00007000;
        Place(kCodeBase, {c.branch, kStsPrR2});
        EXPECT_EQ(Step(), 3);
        EXPECT_EQ(Core().R[2], c.r2);
        EXPECT_EQ(Core().currentOpcode, kStsPrR2);
    }
}

// PC-relative instructions in a slot compute from the branch target.
TEST_F(IsaDelaySlot, PcRelativeSlotUsesTheTarget) {
    // bra 0x5002 ; slot mova @(4,pc),r0: (0x5002 & ~3) + 4 + 4 * 4.
    Place(kCodeBase, {0xA7FF, 0xC704});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().PC, 0x5002u);
    EXPECT_EQ(Core().R[0], 0x5014u);
    ExpectAccesses({}, "mova");

    // jmp @r3 to 0x6006 ; slot mov.l @(2,pc),r1 reads (0x6006 & ~3) + 4 + 8.
    SetBackground();
    SetRegisters({{3, 0x6006}});
    Machine().SetLong(0x6010, 0xCAFEBABE);
    Place(kCodeBase, {0x432B, 0xD102});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().PC, 0x6006u);
    EXPECT_EQ(Core().R[1], 0xCAFEBABEu);
    ExpectAccesses({ReadOf(4, 0x6010, 0xCAFEBABE)}, "mov.l @(disp,pc)");

    // rts to 0x7002 ; slot mov.w @(3,pc),r1 reads 0x7002 + 4 + 6.
    SetBackground();
    Machine().accesses.clear();
    Core().PR = 0x7002;
    Machine().SetWord(0x700C, 0x8001);
    Place(kCodeBase, {0x000B, 0x9103});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().PC, 0x7002u);
    EXPECT_EQ(Core().R[1], 0xFFFF8001u);
    ExpectAccesses({ReadOf(2, 0x700C, 0x8001)}, "mov.w @(disp,pc)");

    // A taken bt/s to 0x4024 ; slot mova @(0,pc),r0: 0x4024 + 4.
    SetBackground();
    Machine().accesses.clear();
    Core().SR = 1;
    Place(kCodeBase, {0x8D10, 0xC700});
    EXPECT_EQ(Step(), 2);
    EXPECT_EQ(Core().R[0], 0x4028u);
    // bsr to 0x4026 ; slot mova @(1,pc),r0: (0x4026 & ~3) + 4 + 4.
    SetBackground();
    Place(kCodeBase, {0xB011, 0xC701});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().R[0], 0x402Cu);
    EXPECT_EQ(Core().PR, kCodeBase + 4);
}

// The branch adds its own cost, the slot instruction its own.
TEST_F(IsaDelaySlot, CyclesAreBranchCostPlusSlotCost) {
    struct Branch {
        const char *name;
        uint16_t opcode;
        int t;
        int32_t cost;
    };
    struct Slot {
        const char *name;
        uint16_t opcode;
        int32_t cost;
    };
    const Branch branches[] = {
        {"BRA", 0xA010, 0, 2},  {"BSR", 0xB010, 0, 2}, {"BRAF R3", 0x0323, 0, 2},
        {"BSRF R3", 0x0303, 0, 2}, {"JMP @R3", 0x432B, 0, 2}, {"JSR @R3", 0x430B, 0, 2},
        {"RTS", 0x000B, 0, 2},  {"BT/S", 0x8D10, 1, 1}, {"BF/S", 0x8F10, 0, 1},
    };
    const Slot slots[] = {
        {"nop", kNop, 1},
        {"mul.l r1,r2", 0x0217, 2},
        {"ldc.l @r6+,gbr", 0x4617, 3},
        {"tas.b @r6", 0x461B, 4},
    };
    for (const Branch &b : branches) {
        for (const Slot &s : slots) {
            SCOPED_TRACE(std::string(b.name) + " with " + s.name);
            SetBackground();
            SetRegisters({{3, 0x5000}, {6, 0x2000}});
            Core().PR = 0x5000;
            Core().SR = static_cast<uint32_t>(b.t);
            Place(kCodeBase, {b.opcode, s.opcode});
            EXPECT_EQ(Step(), b.cost + s.cost);
            EXPECT_EQ(Core().currentOpcode, s.opcode);
        }
    }
}

// A BRA to the word after it runs that word twice: once as its slot, once
// as the next instruction.
TEST_F(IsaDelaySlot, BranchToItsOwnSlotRunsTheSlotTwice) {
    Place(kCodeBase, {0xAFFF, kAddOneR1});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().PC, kCodeBase + 2);
    EXPECT_EQ(Step(), 1);
    EXPECT_EQ(Core().PC, kCodeBase + 4);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 2);
}

using IsaBranchLoop = IsaTest;

// A counted loop closed by a backward BF.
TEST_F(IsaBranchLoop, BackwardBfLoop) {
    Place(kCodeBase, {
                         0xE100,  // mov #0,r1
                         0xE205,  // mov #5,r2
                         0x7101,  // loop: add #1,r1
                         0x4210,  // dt r2
                         0x8BFC,  // bf loop
                         0xAFFE,  // bra .
                         kNop,
                     });
    // 2 + 5 * 3 cycles reach the BRA.
    EXPECT_EQ(sh2::RunCycles(Core(), 17), 17);
    EXPECT_EQ(Core().PC, kCodeBase + 10);
    EXPECT_EQ(Core().R[1], 5u);
    EXPECT_EQ(Core().R[2], 0u);
}

// The same loop with BF/S and the increment in its slot: the last, not
// taken, BF/S costs 1 and the increment then runs as an ordinary
// instruction.
TEST_F(IsaBranchLoop, BackwardBfsLoopWithTheBodyInTheSlot) {
    Place(kCodeBase, {
                         0xE100,  // mov #0,r1
                         0xE205,  // mov #5,r2
                         0x4210,  // loop: dt r2
                         0x8FFD,  // bf/s loop
                         0x7101,  // add #1,r1 (slot)
                         0xAFFE,  // bra .
                         kNop,
                     });
    // 2 + 4 * (1 + 1 + 1) + (1 + 1) + 1.
    EXPECT_EQ(sh2::RunCycles(Core(), 17), 17);
    EXPECT_EQ(Core().PC, kCodeBase + 10);
    EXPECT_EQ(Core().R[1], 5u);
    EXPECT_EQ(Core().R[2], 0u);
}

// Branches to themselves are not detected or skipped: they run until the slice
// is used up.
TEST_F(IsaBranchLoop, BranchesToThemselvesSpinUntilTheSliceEnds) {
    Place(kCodeBase, {0xAFFE, kAddOneR1});  // bra . ; add #1,r1
    EXPECT_EQ(sh2::RunCycles(Core(), 30), 30);  // ten times 2 + 1
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 10);

    SetBackground();
    Core().SR = 0;
    Place(kCodeBase, {0x8BFE, kAddOneR1});  // bf . ; add #1,r1
    EXPECT_EQ(sh2::RunCycles(Core(), 10), 10);
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1));
    Core().SR = 1;  // now it falls through
    EXPECT_EQ(sh2::RunCycles(Core(), 2), 2);
    EXPECT_EQ(Core().PC, kCodeBase + 4);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 1);
}

using IsaNestedDelaySlot = IsaTest;

// A delayed branch met as a slot jumps to its own target (computed from the
// outer target) without running a second slot.
TEST_F(IsaNestedDelaySlot, BranchInASlotJumpsWithoutItsOwnSlot) {
    // jmp @r3 (0x5000) ; slot: bra, computed from PC = 0x5000: 0x5000 + 4 + 0x20.
    SetRegisters({{3, 0x5000}});
    Place(kCodeBase, {0x432B, 0xA010, kAddOneR1});
    EXPECT_EQ(Step(), 4);
    EXPECT_EQ(Core().PC, 0x5024u);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1)) << "no second slot may run";
    EXPECT_EQ(Core().currentOpcode, 0xA010);

    // jmp @r3 ; slot: rts to PR AND 0x3FFFFFFF.
    SetBackground();
    SetRegisters({{3, 0x5000}});
    Core().PR = 0x80006000;
    Place(kCodeBase, {0x432B, 0x000B, kAddOneR1});
    EXPECT_EQ(Step(), 4);
    EXPECT_EQ(Core().PC, 0x6000u);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1));

    // After the nested case an ordinary branch runs its slot again.
    SetBackground();
    Place(kCodeBase, {0xA010, kAddOneR1});
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(Core().PC, kCodeBase + 0x24);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1) + 1);
}

// BRA to itself whose slot is again BRA to itself: each pass costs two
// branches, slot execution stays bounded and the slice ends on budget.
TEST_F(IsaNestedDelaySlot, BranchToItselfInASlotStaysBounded) {
    Place(kCodeBase, {0xAFFE, 0xAFFE, kAddOneR1});
    EXPECT_EQ(sh2::RunCycles(Core(), 1000), 1000);
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().R[1], BackgroundRegister(1));
    EXPECT_EQ(Core().currentOpcode, 0xAFFE);
    // The next slice goes on the same way.
    EXPECT_EQ(sh2::RunCycles(Core(), 6), 8);
    EXPECT_EQ(Core().PC, kCodeBase);
}

// A long run of BRA +0 words: each outer BRA lands 4 bytes on, its slot BRA
// 4 further from there, so every pass moves 8 bytes for 4 cycles.
TEST_F(IsaNestedDelaySlot, ChainOfBranchesInSlots) {
    std::vector<uint16_t> chain(0x800, 0xA000);
    Place(kCodeBase, chain);
    EXPECT_EQ(sh2::RunCycles(Core(), 400), 400);
    EXPECT_EQ(Core().PC, kCodeBase + 100 * 8);
    ExpectRegisters({}, {}, "chain");
    EXPECT_EQ(Core().PR, kBackgroundPr);
}

}  // namespace
