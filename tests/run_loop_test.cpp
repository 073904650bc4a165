// The run loop: instruction fetch from the host blocks, slice accounting,
// delay slots, end-of-slice servicing and undefined opcodes.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstring>
#include <vector>

#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

namespace {

// ---------------------------------------------------------------------------
// Fetch

// A core whose three fetch blocks are exactly the minimum sizes, so that any
// read outside them is caught by the address sanitizer.
class Fetch : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core);
        blocks[0].assign(0x80000, 0);
        blocks[1].assign(0x100000, 0);
        blocks[2].assign(0x200000, 0);
        for (int i = 0; i < 3; ++i) core->memoryBlocks[i] = blocks[i].data();
    }
    // Stores a halfword in host byte order at a byte offset of a block.
    void PutHostHalfword(int block, uint32_t offset, uint16_t value) {
        std::memcpy(&blocks[block][offset], &value, sizeof value);
    }
    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
    std::vector<uint8_t> blocks[3];
};

struct FetchCase {
    uint32_t address;
    int block;
    uint32_t offset;
};

const FetchCase kFetchCases[] = {
    // Block 0: bits 20..27 all 0; offset (A XOR 2) AND 0x7FFFF.
    {0x00000100, 0, 0x000102},
    {0x00000102, 0, 0x000100},
    {0x0007FFFC, 0, 0x07FFFE},
    {0x0007FFFE, 0, 0x07FFFC},
    {0x00080000, 0, 0x000002},  // bit 19 lies outside the 19-bit mask
    {0x000FFFFC, 0, 0x07FFFE},
    // Bits 28..31 play no part, so on-chip addresses fetch from a block too.
    {0x20000100, 0, 0x000102},
    {0xF0000100, 0, 0x000102},
    {0xC0000100, 0, 0x000102},
    // Block 1: bits 20..27 equal 0x02; offset AND 0x1FFFFF.
    {0x00250000, 1, 0x050002},
    {0x00200000, 1, 0x000002},
    {0x002FFFFC, 1, 0x0FFFFE},
    {0x20200000, 1, 0x000002},
    {0x22200000, 2, 0x000002},  // bits 20..27 are 0x22, not 0x02
    // Block 2: everything else.
    {0x00100000, 2, 0x100002},
    {0x00300000, 2, 0x100002},
    {0x06000000, 2, 0x000002},
    {0x06000002, 2, 0x000000},
    {0x063FFFFC, 2, 0x1FFFFE},
    {0xFFFFFE00, 2, 0x1FFE02},
    {0xFFFFFFFE, 2, 0x1FFFFC},
    // Odd PCs: bit 0 of the offset is cleared, keeping the halfword inside
    // the block.
    {0x00000101, 0, 0x000102},
    {0x00000103, 0, 0x000100},
    {0x0007FFFD, 0, 0x07FFFE},
    {0x002FFFFF, 1, 0x0FFFFC},
    {0x063FFFFD, 2, 0x1FFFFE},
};

TEST_F(Fetch, AddressSelectsBlockAndOffset) {
    for (const FetchCase &c : kFetchCases) {
        SCOPED_TRACE(testing::Message() << std::hex << "address 0x" << c.address);
        // The opcode is only at the expected place; anywhere else reads 0.
        PutHostHalfword(c.block, c.offset, 0xB3C5);
        EXPECT_EQ(sh2::FetchOpcode(*core, c.address), 0xB3C5);
        PutHostHalfword(c.block, c.offset, 0);
    }
}

TEST_F(Fetch, HalfwordRuleOfTheHostWordFormat) {
    static_assert(std::endian::native == std::endian::little, "the test writes host words of a little-endian host");
    // The emulated long 0x11223344 at 0x06000010 is the host word at offset
    // 0x10 of block 2.
    const uint32_t hostWord = 0x11223344;
    std::memcpy(&blocks[2][0x10], &hostWord, sizeof hostWord);
    EXPECT_EQ(sh2::FetchOpcode(*core, 0x06000010), 0x1122);
    EXPECT_EQ(sh2::FetchOpcode(*core, 0x06000012), 0x3344);
}

TEST_F(Fetch, RunLoopFetchesFromBlocksNotThroughTheBusOrOnChipRam) {
    // PC in the on-chip RAM range: the opcode comes from block 0 (bits 20..27
    // are 0), not from on-chip RAM, and no host callback is made.
    core->PC = 0xC0000100;
    PutHostHalfword(0, 0x102, 0x7001);  // add #1,r0
    core->OnChipRam[0x100] = 0x71;      // add #1,r1 if RAM were used
    core->OnChipRam[0x101] = 0x01;
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->R[0], 1u);
    EXPECT_EQ(core->R[1], 0u);
    EXPECT_EQ(core->PC, 0xC0000102u);
    EXPECT_EQ(core->currentOpcode, 0x7001);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// ---------------------------------------------------------------------------
// Slice accounting

class RunLoop : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core, true, 0x1000, 0x7F000);
        machine.accesses.clear();
    }
    void Program(std::initializer_list<uint16_t> words, uint32_t at = 0x1000) {
        machine.recording = false;
        machine.SetWords(at, words);
        machine.recording = true;
    }
    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kAddOneR0 = 0x7001;
constexpr uint16_t kAddOneR1 = 0x7101;
constexpr uint16_t kAddOneR2 = 0x7201;
constexpr uint16_t kMulL = 0x0007;  // mul.l r0,r0: 2 cycles
constexpr uint16_t kUndefined = 0xFFFF;

struct BudgetCase {
    const char *name;
    int32_t target;
    std::initializer_list<uint16_t> program;
    int32_t cycles;        // the slice's result
    uint32_t pc;           // PC after the slice
    uint32_t instructions; // how many add #1,r0 ran, where the program counts
};

TEST_F(RunLoop, SliceEndsAtFirstBoundaryReachingTheTarget) {
    const BudgetCase cases[] = {
        {"zero budget runs nothing", 0, {kAddOneR0, kAddOneR0}, 0, 0x1000, 0},
        {"negative budget runs nothing", -5, {kAddOneR0, kAddOneR0}, 0, 0x1000, 0},
        {"most negative budget runs nothing", INT32_MIN, {kAddOneR0}, 0, 0x1000, 0},
        {"budget 1 runs one instruction", 1, {kAddOneR0, kAddOneR0}, 1, 0x1002, 1},
        {"exact budget", 3, {kAddOneR0, kAddOneR0, kAddOneR0, kAddOneR0}, 3, 0x1006, 3},
        {"budget 1 with a 2-cycle instruction", 1, {kMulL, kAddOneR1}, 2, 0x1002, 0},
        {"overshoot by the last instruction", 4, {kNop, kMulL, kMulL, kAddOneR1}, 5, 0x1006, 0},
    };
    for (const BudgetCase &c : cases) {
        SCOPED_TRACE(c.name);
        machine.Reset();
        MakeCore(core, true, 0x1000, 0x7F000);
        machine.SetWords(0x1000, c.program);
        EXPECT_EQ(sh2::RunCycles(*core, c.target), c.cycles);
        EXPECT_EQ(core->sliceCycles, c.cycles);
        EXPECT_EQ(core->PC, c.pc);
        EXPECT_EQ(core->R[0], c.instructions);
        EXPECT_EQ(core->R[1], 0u) << "an instruction past the slice end ran";
        EXPECT_TRUE(machine.boxes.empty());
    }
}

TEST_F(RunLoop, EachSliceStartsCountingFromZero) {
    Program({kMulL, kMulL, kMulL, kMulL});
    EXPECT_EQ(sh2::RunCycles(*core, 3), 4);
    EXPECT_EQ(sh2::RunCycles(*core, 1), 2);
    EXPECT_EQ(core->PC, 0x1006u);
}

TEST_F(RunLoop, DelaySlotIsPartOfTheBranchEvenPastTheTarget) {
    // bra +4 (to 0x1008) ; slot: add #1,r2 ; ... ; 0x1008: add #1,r1
    Program({0xA002, kAddOneR2, kAddOneR0, kAddOneR0, kAddOneR1});
    EXPECT_EQ(sh2::RunCycles(*core, 1), 3);  // 2 for BRA, 1 for its slot
    EXPECT_EQ(core->PC, 0x1008u);
    EXPECT_EQ(core->R[2], 1u);
    EXPECT_EQ(core->R[0], 0u);
    EXPECT_EQ(core->R[1], 0u);
    EXPECT_EQ(core->currentOpcode, kAddOneR2) << "the slot's opcode stays in currentOpcode";
}

TEST_F(RunLoop, DelaySlotSeesTheBranchTargetAsPc) {
    // 0x1000: bra 0x1010 ; slot 0x1002: mova @(4,pc),r0.
    // With PC = 0x1010 in the slot, MOVA gives (0x1010 & ~3) + 4 + 4.
    Program({0xA006, 0xC701});
    EXPECT_EQ(sh2::RunCycles(*core, 1), 3);
    EXPECT_EQ(core->R[0], 0x1018u);
    EXPECT_EQ(core->PC, 0x1010u);
}

TEST_F(RunLoop, ExecuteDelaySlotRunsOneInstructionAndLeavesPc) {
    Program({kAddOneR2}, 0x1800);
    core->PC = 0x2000;
    core->sliceCycles = 7;
    sh2::ExecuteDelaySlot(*core, 0x1800);
    EXPECT_EQ(core->PC, 0x2000u);
    EXPECT_EQ(core->sliceCycles, 8);
    EXPECT_EQ(core->R[2], 1u);
    EXPECT_EQ(core->currentOpcode, kAddOneR2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(RunLoop, BranchInADelaySlotJumpsWithoutASecondSlot) {
    // 0x1000: bra 0x1100 ; slot 0x1002: bra (own target from PC = 0x1100:
    // 0x1100 + 4 + 2 * 0x20 = 0x1144) ; 0x1004 would be a second slot.
    Program({0xA07E, 0xA020, kAddOneR1});
    EXPECT_EQ(sh2::RunCycles(*core, 1), 4);  // two BRAs, no slot for the inner one
    EXPECT_EQ(core->PC, 0x1144u);
    EXPECT_EQ(core->R[1], 0u);
}

// ---------------------------------------------------------------------------
// End-of-slice servicing

TEST_F(RunLoop, ServicingHappensEvenWithoutInstructions) {
    for (int32_t target : {0, -5}) {
        SCOPED_TRACE(target);
        machine.Reset();
        MakeCore(core, true, 0x1000, 0x7F000);
        machine.SetWords(0x1000, {kAddOneR0});
        machine.SetLong(44, 0x3000);          // vector 11
        machine.SetLong(4 * 0x50, 0x4000);    // vector 0x50
        core->SR = 0;
        core->exceptionRequest = 1;
        sh2::RequestInterrupt(*core, 0x50, 3);
        machine.accesses.clear();
        // The exception raises the mask to 15, so the interrupt stays pending.
        EXPECT_EQ(sh2::RunCycles(*core, target), 0);
        EXPECT_EQ(core->R[0], 0u);
        EXPECT_EQ(core->PC, 0x3000u);
        EXPECT_EQ(core->exceptionRequest, 0);
        EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
        // With the mask lowered, the next empty slice accepts the interrupt.
        core->SR = 0;
        EXPECT_EQ(sh2::RunCycles(*core, target), 0);
        EXPECT_EQ(core->PC, 0x4000u);
        EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);
        EXPECT_EQ(Describe(machine.accesses), Describe({
                                                  Write(4, 0x7EFFC, 0x00000000),
                                                  Write(4, 0x7EFF8, 0x00001000),
                                                  Read(4, 44, 0x3000),
                                                  Write(4, 0x7EFF4, 0x00000000),
                                                  Write(4, 0x7EFF0, 0x00003000),
                                                  Read(4, 4 * 0x50, 0x4000),
                                              }));
    }
    sh2::Interrupting = 0;
}

TEST_F(RunLoop, TimerInterruptRaisedAtSliceEndIsAcceptedAtThatSliceEnd) {
    // FRC at 0xFFFF with the overflow interrupt enabled: the 8 cycles of the
    // slice make one count, the timer overflows and requests vector 0x42 at
    // level 5, and the same slice end accepts it.
    Program({kNop, kNop, kNop, kNop, kNop, kNop, kNop, kNop});
    sh2::BusWriteWord(*core, 0xFFFFFE12, 0xFFFF);  // FRC
    sh2::BusWriteByte(*core, 0xFFFFFE10, 0x02);    // TIER: OVIE
    sh2::BusWriteByte(*core, 0xFFFFFE60, 0x05);    // IPRB: timer level 5
    sh2::BusWriteByte(*core, 0xFFFFFE68, 0x42);    // VCRD: overflow vector
    machine.SetLong(4 * 0x42, 0x5000);
    core->SR = 0x40;                                // mask 4
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 8), 8);
    EXPECT_EQ(core->PC, 0x5000u);
    EXPECT_EQ(core->SR & 0xF0, 0x50u);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Write(4, 0x7EFFC, 0x40), Write(4, 0x7EFF8, 0x1010), Read(4, 4 * 0x42, 0x5000)}));
    sh2::Interrupting = 0;
}

TEST_F(RunLoop, ExceptionIsEnteredBeforeInterruptAcceptance) {
    // Level 15 pending and the exception requested: the exception frame is
    // pushed, the mask becomes 15 and the level-15 request waits.
    Program({kNop});
    machine.SetLong(44, 0x3000);
    machine.SetLong(4 * 0x60, 0x6000);
    core->SR = 0;
    sh2::SetExceptionRequest(*core);
    sh2::RequestInterrupt(*core, 0x60, 15);
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Write(4, 0x7EFFC, 0x00), Write(4, 0x7EFF8, 0x1002), Read(4, 44, 0x3000)}));
    EXPECT_EQ(core->PC, 0x3000u);
    EXPECT_EQ(core->SR, 0xF0u);
    EXPECT_EQ(core->pendingInterrupts.pending[15], 1);
    EXPECT_EQ(sh2::Interrupting, 0);
}

TEST_F(RunLoop, AtMostOneInterruptIsAcceptedPerSlice) {
    Program({kNop, kNop});
    machine.SetLong(4 * 0x49, 0x2900);
    machine.SetLong(4 * 0x45, 0x2500);
    core->SR = 0;
    sh2::RequestInterrupt(*core, 0x45, 5);
    sh2::RequestInterrupt(*core, 0x49, 9);
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2900u);
    EXPECT_EQ(machine.accesses.size(), 3u) << Describe(machine.accesses);
    EXPECT_EQ(core->pendingInterrupts.pending[5], 1);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
    sh2::Interrupting = 0;
}

// ---------------------------------------------------------------------------
// Undefined opcodes

TEST_F(RunLoop, UndefinedOpcodeShowsOneBoxAndStopsTheCore) {
    // add #1,r0 ; undefined ; add #1,r1
    Program({kAddOneR0, kUndefined, kAddOneR1});
    core->SR = 0x301;
    core->R[5] = 0x55;
    sh2::RunCycles(*core, 1);  // runs the add only
    const RegisterSnapshot before = RegisterSnapshot::Of(*core);
    machine.accesses.clear();

    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].caption, "Error");
    EXPECT_EQ(machine.boxes[0].text, "Unknown opcode (master SH2) @0x00001002: 0xFFFF");
    EXPECT_EQ(machine.boxes[0].flags, 0x10u);
    EXPECT_TRUE(RegisterSnapshot::Of(*core) == before) << "the undefined opcode changed a register";
    EXPECT_EQ(core->PC, 0x1002u);
    EXPECT_EQ(core->R[1], 0u);

    // Later slices run nothing and show nothing more.
    EXPECT_EQ(sh2::RunCycles(*core, 50), 50);
    EXPECT_EQ(sh2::RunCycles(*core, 0), 0);
    EXPECT_EQ(machine.boxes.size(), 1u);
    EXPECT_TRUE(RegisterSnapshot::Of(*core) == before);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(RunLoop, StoppedCoreCountsItsBudgetAsIdleTimeForTheTimer) {
    Program({kNop, kUndefined});
    // 1 cycle before the stop; the slice still counts as 100 cycles.
    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    EXPECT_EQ(ImageWordAt(*core, 0xFFFFFE12), 12);  // 100 / 8, remainder 4
    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    EXPECT_EQ(ImageWordAt(*core, 0xFFFFFE12), 25);  // (4 + 100) / 8 more
}

TEST_F(RunLoop, StoppedCoreEntersNoExceptionOrInterrupt) {
    Program({kUndefined});
    machine.SetLong(44, 0x3000);
    machine.SetLong(4 * 0x50, 0x4000);
    core->SR = 0;
    core->exceptionRequest = 1;
    sh2::RequestInterrupt(*core, 0x50, 3);
    machine.accesses.clear();
    sh2::RunCycles(*core, 10);
    sh2::RunCycles(*core, 10);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(core->PC, 0x1000u);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
    EXPECT_EQ(core->exceptionRequest, 0) << "a stopped core drops its exception request";
    // A reset makes the core run again, from the reset vector, with no
    // exception left to enter.
    machine.SetWords(0x1000, {kAddOneR0});
    sh2::ResetCore(*core);
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->R[0], 1u);
    EXPECT_EQ(core->PC, 0x1002u);
}

TEST_F(RunLoop, UndefinedOpcodeAfterResetShowsAnotherBox) {
    Program({kUndefined});
    sh2::RunCycles(*core, 10);
    sh2::ResetCore(*core);
    sh2::RunCycles(*core, 10);
    ASSERT_EQ(machine.boxes.size(), 2u);
    EXPECT_EQ(machine.boxes[1].text, "Unknown opcode (master SH2) @0x00001000: 0xFFFF");
}

struct WordingCase {
    bool master;
    uint8_t interrupting;
    uint32_t pc;
    uint16_t opcode;
    const char *text;
};

TEST(UndefinedOpcode, WordingNamesProcessorStateAddressAndOpcode) {
    const WordingCase cases[] = {
        {true, 0, 0x06000ABC, 0xF00A, "Unknown opcode (master SH2) @0x06000ABC: 0xF00A"},
        {true, 1, 0x06000ABC, 0xF00A, "Unknown opcode while interrupting (master SH2) @0x06000ABC: 0xF00A"},
        {false, 0, 0x06000ABC, 0xF00A, "Unknown opcode (slave SH2) @0x06000ABC: 0xF00A"},
        {false, 1, 0x06000ABC, 0xF00A, "Unknown opcode (slave SH2) @0x06000ABC: 0xF00A"},
        {true, 0, 0x00000010, 0x0000, "Unknown opcode (master SH2) @0x00000010: 0x0000"},
        {true, 0, 0x0000FFEE, 0x3001, "Unknown opcode (master SH2) @0x0000FFEE: 0x3001"},
    };
    TestMachine &machine = TestMachine::Get();
    for (const WordingCase &c : cases) {
        SCOPED_TRACE(c.text);
        machine.Reset();
        CoreHandle core;
        MakeCore(core, c.master, c.pc);
        machine.SetWord(c.pc, c.opcode);
        sh2::Interrupting = c.interrupting;
        sh2::RunCycles(*core, 1);
        ASSERT_EQ(machine.boxes.size(), 1u);
        EXPECT_EQ(machine.boxes[0].caption, "Error");
        EXPECT_EQ(machine.boxes[0].text, c.text);
        EXPECT_EQ(machine.boxes[0].flags, 0x10u);
        EXPECT_EQ(core->PC, c.pc);
    }
    sh2::Interrupting = 0;
}

TEST_F(RunLoop, UndefinedOpcodeInADelaySlotReportsTheBranchTarget) {
    // bra 0x2000 ; slot: undefined
    Program({0xA7FE, kUndefined});
    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].text, "Unknown opcode (master SH2) @0x00002000: 0xFFFF");
    EXPECT_EQ(core->PC, 0x2000u);
    // Still stopped, at the target.
    sh2::RunCycles(*core, 100);
    EXPECT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(core->PC, 0x2000u);
}

}  // namespace
