// Pending interrupt requests, their acceptance at the end of a slice and the
// requested vector-11 exception: queueing rules, priority, the mask test, the
// exception frame and the exact host calls that build it.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

namespace {

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kRte = 0x002B;
constexpr uint16_t kSleep = 0x001B;
constexpr uint16_t kAddOneR0 = 0x7001;
constexpr uint16_t kUndefined = 0xFFFF;

constexpr uint32_t kEntry = 0x1000;
constexpr uint32_t kStack = 0x7F000;

// The raw bytes of a core, for "nothing at all changed" checks.
std::vector<unsigned char> BytesOf(const sh2::SH2Core &core) {
    const auto *first = reinterpret_cast<const unsigned char *>(&core);
    return std::vector<unsigned char>(first, first + sizeof core);
}

uint32_t MaskOf(const sh2::SH2Core &core) { return (core.SR >> 4) & 0xF; }

class Interrupts : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core, true, kEntry, kStack);
        sh2::Interrupting = 0;
        machine.accesses.clear();
    }
    void TearDown() override { sh2::Interrupting = 0; }

    // Stores words in emulated memory without recording them as host calls.
    void Program(uint32_t at, std::initializer_list<uint16_t> words) { machine.SetWords(at, words); }
    // Points `vector` (relative to the core's VBR) at `handler`.
    void SetVector(uint32_t vector, uint32_t handler) { machine.SetLong(core->VBR + 4 * vector, handler); }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// ---------------------------------------------------------------------------
// Queueing

TEST_F(Interrupts, RequestMarksItsLevelPendingWithItsVector) {
    for (uint32_t level = 1; level <= 15; ++level) {
        SCOPED_TRACE(level);
        sh2::ResetCore(*core);
        machine.accesses.clear();
        const uint8_t vector = static_cast<uint8_t>(0x80 + level);
        sh2::RequestInterrupt(*core, vector, static_cast<uint8_t>(level));
        const sh2::PendingInterruptTable &table = core->pendingInterrupts;
        for (uint32_t other = 0; other < 16; ++other) {
            EXPECT_EQ(table.pending[other], other == level ? 1 : 0) << "level " << other;
            EXPECT_EQ(table.vector[other], other == level ? vector : 0) << "level " << other;
        }
        EXPECT_EQ(table.pendingCount, 1u);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    }
}

TEST_F(Interrupts, PendingCountFollowsTheNumberOfPendingLevels) {
    sh2::RequestInterrupt(*core, 0x41, 1);
    sh2::RequestInterrupt(*core, 0x47, 7);
    sh2::RequestInterrupt(*core, 0x4F, 15);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 3u);
    sh2::RequestInterrupt(*core, 0x50, 7);  // already pending
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 3u);
    SetVector(0x4F, 0x2000);
    core->SR = 0;
    sh2::AcceptInterrupt(*core);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 2u);
}

TEST_F(Interrupts, SecondRequestForAPendingLevelIsLostNotQueued) {
    SetVector(0x40, 0x2000);
    SetVector(0x41, 0x3000);
    Program(kEntry, {kNop, kNop, kNop});
    Program(0x2000, {kNop});
    core->SR = 0;
    sh2::RequestInterrupt(*core, 0x40, 5);
    sh2::RequestInterrupt(*core, 0x41, 5);
    EXPECT_EQ(core->pendingInterrupts.vector[5], 0x40);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);

    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x2000u) << "the first vector stored for the level is taken";
    EXPECT_EQ(core->pendingInterrupts.pending[5], 0);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);

    // Nothing of the second request is left for a later slice end.
    core->SR = 0;
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2002u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);

    // Once the level is idle again a new request for it is queued.
    sh2::RequestInterrupt(*core, 0x41, 5);
    EXPECT_EQ(core->pendingInterrupts.vector[5], 0x41);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
}

TEST_F(Interrupts, LevelZeroRequestIsIgnored) {
    const std::vector<unsigned char> before = BytesOf(*core);
    for (uint32_t vector : {0u, 0x40u, 0xFFu}) {
        sh2::RequestInterrupt(*core, static_cast<uint8_t>(vector), 0);
    }
    EXPECT_TRUE(BytesOf(*core) == before) << "a level-0 request changed the core";
    EXPECT_EQ(core->pendingInterrupts.pending[0], 0);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);

    // With the mask fully open the slice end still finds nothing to accept.
    Program(kEntry, {kNop});
    core->SR = 0;
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, kEntry + 2);
    EXPECT_EQ(core->R[15], kStack);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(sh2::Interrupting, 0);
}

TEST_F(Interrupts, LevelsAboveFifteenAreDroppedWithoutTouchingTheCore) {
    const std::vector<unsigned char> before = BytesOf(*core);
    for (uint32_t level = 16; level <= 255; ++level) {
        sh2::RequestInterrupt(*core, 0x40, static_cast<uint8_t>(level));
        ASSERT_TRUE(BytesOf(*core) == before) << "a level-" << level << " request changed the core";
    }
    Program(kEntry, {kNop});
    core->SR = 0;
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, kEntry + 2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// ---------------------------------------------------------------------------
// Priority and the mask

struct PriorityCase {
    const char *name;
    std::vector<uint8_t> requested;  // levels in request order
    std::vector<uint8_t> accepted;   // levels in acceptance order
};

TEST_F(Interrupts, HighestPendingLevelIsAcceptedFirst) {
    const PriorityCase cases[] = {
        {"ascending requests", {1, 2, 3}, {3, 2, 1}},
        {"descending requests", {15, 8, 2}, {15, 8, 2}},
        {"mixed requests", {3, 9, 1, 15, 7}, {15, 9, 7, 3, 1}},
        {"all levels", {5, 1, 14, 9, 2, 12, 6, 15, 3, 11, 8, 4, 13, 10, 7},
         {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
    };
    for (const PriorityCase &c : cases) {
        SCOPED_TRACE(c.name);
        sh2::ResetCore(*core);
        for (uint8_t level : c.requested) {
            SetVector(0x40u + level, 0x2000u + 0x100u * level);
            sh2::RequestInterrupt(*core, static_cast<uint8_t>(0x40 + level), level);
        }
        for (uint8_t level : c.accepted) {
            SCOPED_TRACE(static_cast<int>(level));
            core->SR = 0;  // open the mask so that only priority decides
            sh2::AcceptInterrupt(*core);
            EXPECT_EQ(core->PC, 0x2000u + 0x100u * level);
            EXPECT_EQ(MaskOf(*core), level);
            EXPECT_EQ(core->pendingInterrupts.pending[level], 0);
        }
        EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);
    }
}

TEST_F(Interrupts, LevelMustExceedTheMask) {
    SetVector(0x50, 0x2400);
    for (uint32_t mask = 0; mask <= 15; ++mask) {
        for (uint32_t level = 1; level <= 15; ++level) {
            SCOPED_TRACE(testing::Message() << "mask " << mask << ", level " << level);
            sh2::ResetCore(*core);
            core->PC = 0x1234;
            core->SR = 0x301 | (mask << 4);
            sh2::Interrupting = 0;
            sh2::RequestInterrupt(*core, 0x50, static_cast<uint8_t>(level));
            machine.accesses.clear();
            sh2::AcceptInterrupt(*core);
            if (level > mask) {
                EXPECT_EQ(core->PC, 0x2400u);
                EXPECT_EQ(core->SR, 0x301u | (level << 4));
                EXPECT_EQ(core->R[15], kStack - 8);
                EXPECT_EQ(core->pendingInterrupts.pending[level], 0);
                EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);
                EXPECT_EQ(sh2::Interrupting, 1);
                EXPECT_EQ(machine.accesses.size(), 3u);
            } else {
                EXPECT_EQ(core->PC, 0x1234u);
                EXPECT_EQ(core->SR, 0x301u | (mask << 4));
                EXPECT_EQ(core->R[15], kStack);
                EXPECT_EQ(core->pendingInterrupts.pending[level], 1);
                EXPECT_EQ(core->pendingInterrupts.vector[level], 0x50);
                EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
                EXPECT_EQ(sh2::Interrupting, 0);
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
            }
        }
    }
}

TEST_F(Interrupts, BlockedHighestLevelHoldsBackLowerOnes) {
    // Only the highest pending level is looked at: with mask 8, level 6 waits
    // behind level 8 even though neither can be taken.
    sh2::RequestInterrupt(*core, 0x46, 6);
    sh2::RequestInterrupt(*core, 0x48, 8);
    core->SR = 0x80;
    sh2::AcceptInterrupt(*core);
    EXPECT_EQ(core->PC, kEntry);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 2u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(Interrupts, StaleCountWithoutPendingLevelsIsCleared) {
    core->SR = 0;
    core->pendingInterrupts.pendingCount = 3;
    sh2::AcceptInterrupt(*core);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);
    EXPECT_EQ(core->PC, kEntry);
    EXPECT_EQ(core->R[15], kStack);
    EXPECT_EQ(sh2::Interrupting, 0);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// ---------------------------------------------------------------------------
// The frame and the host calls

struct FrameCase {
    const char *name;
    uint32_t r15;
    uint32_t vbr;
    uint32_t pc;
    uint32_t sr;
    uint8_t vector;
    uint8_t level;
    uint32_t vectorAddress;  // where the new PC is read
};

const FrameCase kFrameCases[] = {
    {"plain", kStack, 0, 0x00001234, 0x000, 0x40, 5, 0x100},
    {"other SR bits stay", kStack, 0, 0x00001234, 0x3F3 & ~0xF0u, 0x41, 9, 0x104},
    {"mask below the level", kStack, 0, 0x06000100, 0x073, 0x42, 8, 0x108},
    {"vector 0", kStack, 0x00040000, 0x00001000, 0x000, 0x00, 1, 0x00040000},
    {"vector base offset", kStack, 0x00040000, 0x00001000, 0x000, 0x7F, 15, 0x000401FC},
    {"vector address wraps", kStack, 0xFFFFFF00, 0x00001000, 0x000, 0xFF, 3, 0x000002FC},
    {"stack in on-chip RAM", 0xC0000800, 0, 0x00001000, 0x000, 0x43, 4, 0x10C},
    {"stack in the register window", 0xFFFFFE80, 0, 0x00001000, 0x000, 0x44, 4, 0x110},
    {"stack pointer wraps", 0x00000004, 0x00040000, 0x00001000, 0x000, 0x45, 4, 0x00040114},
    {"vector table in on-chip RAM is not seen", kStack, 0xC0000000, 0x00001000, 0x000, 0x46, 4, 0xC0000118},
};

TEST_F(Interrupts, AcceptancePushesSrThenPcAndReadsTheVectorThroughTheHost) {
    for (const FrameCase &c : kFrameCases) {
        SCOPED_TRACE(c.name);
        machine.Reset();
        MakeCore(core, true, kEntry, kStack);
        sh2::Interrupting = 0;
        core->R[15] = c.r15;
        core->VBR = c.vbr;
        core->PC = c.pc;
        core->SR = c.sr;
        core->sliceCycles = 17;
        machine.SetLong(c.vectorAddress, 0x0002A000);
        // A different handler in on-chip RAM, which must not be used.
        core->OnChipRam[(c.vectorAddress & 0xFFF) + 0] = 0x00;
        core->OnChipRam[(c.vectorAddress & 0xFFF) + 1] = 0x0B;
        core->OnChipRam[(c.vectorAddress & 0xFFF) + 2] = 0xB0;
        core->OnChipRam[(c.vectorAddress & 0xFFF) + 3] = 0x00;
        uint8_t ram[sh2::kOnChipRamSize];
        uint8_t image[sh2::kOnChipRegisterFileSize];
        std::memcpy(ram, core->OnChipRam, sizeof ram);
        std::memcpy(image, core->OnChipRegisterFile, sizeof image);
        sh2::RequestInterrupt(*core, c.vector, c.level);
        machine.accesses.clear();

        sh2::AcceptInterrupt(*core);

        EXPECT_EQ(Describe(machine.accesses), Describe({
                                                  Write(4, c.r15 - 4, c.sr),
                                                  Write(4, c.r15 - 8, c.pc),
                                                  Read(4, c.vectorAddress, 0x0002A000),
                                              }));
        EXPECT_EQ(core->R[15], c.r15 - 8);
        EXPECT_EQ(machine.Long(c.r15 - 4), c.sr);
        EXPECT_EQ(machine.Long(c.r15 - 8), c.pc);
        EXPECT_EQ(core->PC, 0x0002A000u);
        EXPECT_EQ(core->SR, (c.sr & ~0xF0u) | (uint32_t{c.level} << 4));
        EXPECT_EQ(core->VBR, c.vbr);
        EXPECT_EQ(core->sliceCycles, 17) << "acceptance adds no cycles";
        EXPECT_EQ(std::memcmp(ram, core->OnChipRam, sizeof ram), 0) << "the frame went into on-chip RAM";
        EXPECT_EQ(std::memcmp(image, core->OnChipRegisterFile, sizeof image), 0)
            << "the frame went into the register image";
        EXPECT_EQ(sh2::Interrupting, 1);
    }
}

TEST_F(Interrupts, RequestedExceptionPushesSrThenPcAndReadsVectorEleven) {
    for (const FrameCase &c : kFrameCases) {
        SCOPED_TRACE(c.name);
        machine.Reset();
        MakeCore(core, true, kEntry, kStack);
        core->R[15] = c.r15;
        core->VBR = c.vbr;
        core->PC = c.pc;
        core->SR = c.sr;
        core->sliceCycles = 9;
        const uint32_t vectorAddress = c.vbr + 44;
        machine.SetLong(vectorAddress, 0x0002B000);
        // A pending request is neither taken nor dropped by the exception.
        sh2::RequestInterrupt(*core, c.vector, c.level);
        const sh2::PendingInterruptTable table = core->pendingInterrupts;
        for (uint8_t interrupting : {uint8_t{0}, uint8_t{1}}) {
            sh2::Interrupting = interrupting;
            machine.accesses.clear();
            sh2::EnterRequestedException(*core);
            EXPECT_EQ(Describe(machine.accesses), Describe({
                                                      Write(4, c.r15 - 4, c.sr),
                                                      Write(4, c.r15 - 8, c.pc),
                                                      Read(4, vectorAddress, 0x0002B000),
                                                  }));
            EXPECT_EQ(core->R[15], c.r15 - 8);
            EXPECT_EQ(core->PC, 0x0002B000u);
            EXPECT_EQ(core->SR, c.sr | 0xF0u);
            EXPECT_EQ(core->sliceCycles, 9) << "the exception adds no cycles";
            EXPECT_EQ(std::memcmp(&table, &core->pendingInterrupts, sizeof table), 0);
            EXPECT_EQ(sh2::Interrupting, interrupting);
            // Put the frame's inputs back for the second round.
            core->R[15] = c.r15;
            core->PC = c.pc;
            core->SR = c.sr;
        }
    }
}

TEST_F(Interrupts, SliceEndPushesTheAddressWhereTheSliceStopped) {
    Program(kEntry, {kAddOneR0, kAddOneR0, kAddOneR0, kAddOneR0});
    SetVector(0x60, 0x2000);
    core->SR = 0x030;
    sh2::RequestInterrupt(*core, 0x60, 4);
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 3), 3);
    EXPECT_EQ(core->R[0], 3u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kStack - 4, 0x030),
                                              Write(4, kStack - 8, kEntry + 6),
                                              Read(4, 4 * 0x60, 0x2000),
                                          }));
    EXPECT_EQ(core->PC, 0x2000u);
    EXPECT_EQ(core->SR, 0x040u);
}

TEST_F(Interrupts, RequestBetweenSlicesWaitsForTheWholeNextSlice) {
    Program(kEntry, {kAddOneR0, kAddOneR0, kAddOneR0});
    Program(0x2000, {kNop});
    SetVector(0x61, 0x2000);
    core->SR = 0;
    sh2::RequestInterrupt(*core, 0x61, 2);
    // The whole slice runs first, from the old PC.
    EXPECT_EQ(sh2::RunCycles(*core, 2), 2);
    EXPECT_EQ(core->R[0], 2u);
    EXPECT_EQ(core->PC, 0x2000u);
    EXPECT_EQ(machine.Long(kStack - 8), kEntry + 4);
}

TEST_F(Interrupts, SleepRequestsTheExceptionWithItsOwnAddressAsReturnPc) {
    Program(kEntry, {kNop, kSleep, kNop});
    SetVector(sh2::kRequestedExceptionVector, 0x3000);
    core->SR = 0x000;
    machine.accesses.clear();
    // nop (1) then SLEEP four times (12): the slice ends at 13.
    EXPECT_EQ(sh2::RunCycles(*core, 11), 13);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kStack - 4, 0x000),
                                              Write(4, kStack - 8, kEntry + 2),
                                              Read(4, 44, 0x3000),
                                          }));
    EXPECT_EQ(core->PC, 0x3000u);
    EXPECT_EQ(core->SR, 0x0F0u);
    EXPECT_EQ(core->exceptionRequest, 0);
    EXPECT_EQ(sh2::Interrupting, 0) << "the exception is not an interrupt";
}

// ---------------------------------------------------------------------------
// Slice ends

TEST_F(Interrupts, EachSliceEndAcceptsAtMostOneRequest) {
    Program(kEntry, {kNop, kNop, kNop, kNop});
    Program(0x2400, {kNop, kNop});
    Program(0x2800, {kNop, kNop});
    Program(0x2C00, {kNop, kNop});
    SetVector(0x44, 0x2400);
    SetVector(0x48, 0x2800);
    SetVector(0x4C, 0x2C00);
    sh2::RequestInterrupt(*core, 0x44, 4);
    sh2::RequestInterrupt(*core, 0x48, 8);
    sh2::RequestInterrupt(*core, 0x4C, 12);
    const uint32_t expectedPc[] = {0x2C00, 0x2800, 0x2400};
    for (int slice = 0; slice < 3; ++slice) {
        SCOPED_TRACE(slice);
        core->SR = 0;  // the test opens the mask before every slice
        machine.accesses.clear();
        sh2::RunCycles(*core, 1);
        EXPECT_EQ(core->PC, expectedPc[slice]);
        EXPECT_EQ(machine.accesses.size(), 3u) << Describe(machine.accesses);
        EXPECT_EQ(core->pendingInterrupts.pendingCount, static_cast<uint32_t>(2 - slice));
    }
    core->SR = 0;
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2402u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(Interrupts, HigherRequestNestsIntoARunningHandlerLowerOneWaits) {
    Program(kEntry, {kNop});
    Program(0x2500, {kNop, kNop, kNop});
    Program(0x2900, {kNop});
    SetVector(0x45, 0x2500);
    SetVector(0x49, 0x2900);
    SetVector(0x43, 0x2300);
    core->SR = 0;
    sh2::RequestInterrupt(*core, 0x45, 5);
    sh2::RunCycles(*core, 1);
    ASSERT_EQ(core->PC, 0x2500u);

    // Level 3 is below the handler's mask 5; level 9 is above it.
    sh2::RequestInterrupt(*core, 0x43, 3);
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2502u);
    sh2::RequestInterrupt(*core, 0x49, 9);
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2900u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kStack - 12, 0x050),
                                              Write(4, kStack - 16, 0x2504),
                                              Read(4, 4 * 0x49, 0x2900),
                                          }));
    EXPECT_EQ(MaskOf(*core), 9u);
    EXPECT_EQ(core->pendingInterrupts.pending[3], 1);
}

TEST_F(Interrupts, LowerLevelWaitsUntilRteRestoresAMaskBelowIt) {
    // Mask 6 with levels 9 and 5 pending: 9 is taken, its handler returns
    // with RTE to mask 6, so 5 still waits until the mask drops below 5.
    Program(kEntry, {kNop, kNop, kNop, kNop});
    Program(0x2900, {kRte, kNop});
    Program(0x2500, {kNop});
    SetVector(0x49, 0x2900);
    SetVector(0x45, 0x2500);
    core->SR = 0x060;
    sh2::RequestInterrupt(*core, 0x45, 5);
    sh2::RequestInterrupt(*core, 0x49, 9);

    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2900u);
    EXPECT_EQ(core->SR, 0x090u);
    EXPECT_EQ(sh2::Interrupting, 1);
    EXPECT_EQ(core->pendingInterrupts.pending[5], 1);

    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 1), 5);  // RTE and its slot
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, kStack - 8, kEntry + 2),
                                              Read(4, kStack - 4, 0x060),
                                          }));
    EXPECT_EQ(core->PC, kEntry + 2);
    EXPECT_EQ(core->SR, 0x060u);
    EXPECT_EQ(core->R[15], kStack);
    EXPECT_EQ(sh2::Interrupting, 0) << "RTE clears the flag";
    EXPECT_EQ(core->pendingInterrupts.pending[5], 1);

    core->SR = 0x040;
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2500u);
    EXPECT_EQ(core->SR, 0x050u);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 0u);
}

TEST_F(Interrupts, ExceptionAndLevelFifteenAtTheSameSliceEnd) {
    // The exception comes first and raises the mask to 15, which no level
    // exceeds: every request stays pending until the mask is lowered.
    Program(kEntry, {kNop});
    Program(0x3000, {kNop, kNop, kNop});
    SetVector(sh2::kRequestedExceptionVector, 0x3000);
    SetVector(0x4F, 0x2F00);
    SetVector(0x42, 0x2200);
    core->SR = 0x001;
    sh2::RequestInterrupt(*core, 0x4F, 15);
    sh2::RequestInterrupt(*core, 0x42, 2);
    sh2::SetExceptionRequest(*core);
    machine.accesses.clear();

    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kStack - 4, 0x001),
                                              Write(4, kStack - 8, kEntry + 2),
                                              Read(4, 44, 0x3000),
                                          }));
    EXPECT_EQ(core->PC, 0x3000u);
    EXPECT_EQ(core->SR, 0x0F1u);
    EXPECT_EQ(core->exceptionRequest, 0);
    EXPECT_EQ(core->pendingInterrupts.pending[15], 1);
    EXPECT_EQ(core->pendingInterrupts.pending[2], 1);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 2u);
    EXPECT_EQ(sh2::Interrupting, 0);

    // Mask 15 holds level 15 too.
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x3002u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);

    // Mask 14 lets it through.
    core->SR = 0x0E1;
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x2F00u);
    EXPECT_EQ(core->SR, 0x0F1u);
    EXPECT_EQ(machine.Long(kStack - 12), 0x0E1u);
    EXPECT_EQ(machine.Long(kStack - 16), 0x3004u);
    EXPECT_EQ(core->pendingInterrupts.pendingCount, 1u);
    EXPECT_EQ(sh2::Interrupting, 1);
}

TEST_F(Interrupts, ExceptionWithLowMaskStillLetsNoInterruptThroughThatSliceEnd) {
    // Even a level above the old mask waits: the exception has already set
    // mask 15 when acceptance looks at SR.
    Program(kEntry, {kNop});
    SetVector(sh2::kRequestedExceptionVector, 0x3000);
    SetVector(0x47, 0x2700);
    core->SR = 0x000;
    sh2::RequestInterrupt(*core, 0x47, 7);
    sh2::SetExceptionRequest(*core);
    machine.accesses.clear();
    sh2::RunCycles(*core, 1);
    EXPECT_EQ(core->PC, 0x3000u);
    EXPECT_EQ(machine.accesses.size(), 3u) << Describe(machine.accesses);
    EXPECT_EQ(core->pendingInterrupts.pending[7], 1);
}

// ---------------------------------------------------------------------------
// The shared Interrupting flag

TEST_F(Interrupts, AcceptanceOnTheSlaveChangesTheMastersUndefinedOpcodeWording) {
    CoreHandle slave;
    MakeCore(slave, false, kEntry, kStack);
    Program(kEntry, {kNop});
    Program(0x2000, {kNop});
    Program(0x4000, {kUndefined});
    SetVector(0x50, 0x2000);
    slave->SR = 0;
    sh2::RequestInterrupt(*slave, 0x50, 3);
    sh2::RunCycles(*slave, 1);
    ASSERT_EQ(slave->PC, 0x2000u);
    EXPECT_EQ(sh2::Interrupting, 1);

    core->PC = 0x4000;
    sh2::RunCycles(*core, 1);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].text, "Unknown opcode while interrupting (master SH2) @0x00004000: 0xFFFF");
}

TEST_F(Interrupts, RteOnEitherCoreClearsTheSharedFlag) {
    CoreHandle slave;
    MakeCore(slave, false, kEntry, kStack);
    Program(kEntry, {kNop});
    Program(0x2000, {kRte, kNop});
    SetVector(0x50, 0x2000);
    core->SR = 0;
    sh2::RequestInterrupt(*core, 0x50, 3);
    sh2::RunCycles(*core, 1);
    ASSERT_EQ(sh2::Interrupting, 1);
    // The slave returns from a frame of its own; the master's handler has not
    // finished, yet the flag is clear.
    machine.SetLong(0x7E000, kEntry);
    machine.SetLong(0x7E004, 0x000);
    slave->R[15] = 0x7E000;
    slave->PC = 0x2000;
    sh2::RunCycles(*slave, 1);
    EXPECT_EQ(slave->PC, kEntry);
    EXPECT_EQ(sh2::Interrupting, 0);
    EXPECT_EQ(core->PC, 0x2000u);
}

TEST_F(Interrupts, BlockedAcceptanceLeavesTheFlagAlone) {
    sh2::RequestInterrupt(*core, 0x50, 3);
    core->SR = 0x0F0;
    for (uint8_t flag : {uint8_t{0}, uint8_t{1}}) {
        sh2::Interrupting = flag;
        sh2::AcceptInterrupt(*core);
        EXPECT_EQ(sh2::Interrupting, flag);
    }
}

}  // namespace
