// Hostile inputs: code, cycle budgets, register values and memory contents that
// a well-behaved program would not produce. The library must stay inside its
// memory, return from every slice and keep its costs bounded. The fuzz targets
// in fuzz/ try the same things at random; the cases here are the ones worth
// pinning down.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "bus/memory.h"
#include "bus/onchip_registers.h"
#include "core/interrupts.h"
#include "core/sh2_core.h"
#include "isa/run_loop.h"
#include "test_host.h"

using namespace sh2test;

// The instrumented, unoptimised sanitizer build (SH2_UNDER_SANITIZER, see
// CMakeLists.txt) runs some 2 million instructions a second: tests that need
// hundreds of millions are left to the optimised build there.

namespace {

// The most cycles one step of the run loop can add: RTE (4) with TRAPA (8) in
// its delay slot. A branch that runs as a delay slot adds only its own cost
// and runs no slot of its own.
constexpr int32_t kLongestStep = 12;

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kRte = 0x002B;
constexpr uint16_t kTrapa20 = 0xC320;      // TRAPA #0x20
constexpr uint16_t kBtsNotTaken = 0x8D00;  // BT/S, not taken while T is 0

class Robustness : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        machine.recording = false;
        MakeCore(core, true, 0x1000, 0x7F000);
    }

    // Every register pointing at plain host memory, so that no store of the
    // instruction under test reaches an on-chip register.
    void CalmRegisters(uint32_t sr) {
        for (uint32_t i = 0; i < 15; ++i) core->R[i] = 0x00002000u + 0x100u * i;
        core->R[15] = 0x0007F000;
        core->SR = sr;
        core->GBR = 0x00003000;
        core->VBR = 0;
        core->MACH = core->MACL = 0;
        core->PR = 0x00004000;
        core->exceptionRequest = 0;
        core->pendingInterrupts = {};
        sh2::ClearUndefinedOpcodeStop(*core);
    }

    // Runs a one-cycle slice at 0x1000 holding `first` and `second`.
    int32_t OneStep(uint16_t first, uint16_t second, uint32_t sr) {
        machine.SetWords(0x1000, {first, second});
        CalmRegisters(sr);
        core->PC = 0x1000;
        return sh2::RunCycles(*core, 1);
    }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// ---------------------------------------------------------------------------
// Slice length

// Every opcode, with T clear and set: as the instruction of the step with the
// costliest instruction (TRAPA) behind it as a possible delay slot, and as the
// delay slot of the costliest delayed branch (RTE). No step costs more than
// kLongestStep cycles, and that bound is reached.
TEST_F(Robustness, NoStepCostsMoreThanTheLongestInstructionWithItsSlot) {
    int32_t longest = 0;
    for (uint32_t opcode = 0; opcode < 0x10000; ++opcode) {
        for (uint32_t sr : {0x000u, 0x001u}) {
            const auto op = static_cast<uint16_t>(opcode);
            const int32_t asInstruction = OneStep(op, kTrapa20, sr);
            const int32_t asSlot = OneStep(kRte, op, sr);
            ASSERT_GE(asInstruction, 1) << std::hex << opcode;
            ASSERT_LE(asInstruction, kLongestStep) << std::hex << opcode;
            ASSERT_LE(asSlot, kLongestStep) << std::hex << opcode;
            longest = std::max({longest, asInstruction, asSlot});
        }
        machine.boxes.clear();
    }
    EXPECT_EQ(longest, kLongestStep);
}

// Random code, random budgets: a slice of N > 0 cycles executes at least N and
// less than N + kLongestStep cycles.
TEST_F(Robustness, SliceOfRandomCodeEndsWithinTheLongestStepOfItsBudget) {
    uint32_t state = 0x12345678;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 200; ++round) {
        for (uint32_t address = 0x1000; address < 0x1400; address += 2) {
            machine.SetWord(address, static_cast<uint16_t>(next()));
        }
        CalmRegisters(next() & 0x3F3);
        core->PC = 0x1000 + (next() & 0x3FE);
        for (int slice = 0; slice < 50; ++slice) {
            const int32_t target = static_cast<int32_t>(next() % 300) + 1;
            const int32_t executed = sh2::RunCycles(*core, target);
            ASSERT_GE(executed, target) << "round " << round;
            ASSERT_LT(executed, target + kLongestStep) << "round " << round;
            if (core->stoppedOnUndefinedOpcode || core->PC - 0x1000 >= 0x400) {
                // Back into the random code after an undefined opcode or a
                // jump elsewhere.
                sh2::ClearUndefinedOpcodeStop(*core);
                core->PC = 0x1000 + (next() & 0x3FE);
            }
        }
        machine.boxes.clear();
    }
}

// A budget of INT32_MAX must not overflow the signed cycle count: a loop of
// RTE with TRAPA in its slot (12 cycles a step, everything in on-chip RAM)
// runs until the count is within one step of the top and returns it.
TEST_F(Robustness, LargestBudgetDoesNotOverflowTheCycleCount) {
#if defined(SH2_UNDER_SANITIZER)
    GTEST_SKIP() << "179 million instructions: run by the optimised build";
#endif
    machine.SetWords(0x1000, {kRte, kTrapa20});
    core->VBR = 0xC0000000;
    sh2::BusWriteLong(*core, 0xC0000000 + 4 * 0x20, 0x1002);  // TRAPA's vector: behind the RTE
    core->R[15] = 0xC0000800;
    sh2::BusWriteLong(*core, 0xC0000800, 0x1000);  // the frame RTE pops first
    sh2::BusWriteLong(*core, 0xC0000804, 0);
    core->PC = 0x1000;
    const int32_t executed = sh2::RunCycles(*core, INT32_MAX);
    EXPECT_GT(executed, INT32_MAX - 256);
    EXPECT_EQ(core->PC, 0x1000u);
    EXPECT_EQ(core->R[15], 0xC0000800u);
    EXPECT_TRUE(machine.boxes.empty());
}

// ---------------------------------------------------------------------------
// Instructions that cost nothing

// Fills every block with one halfword, after the core has read its vectors.
void FillAllBlocks(TestMachine &machine, uint16_t value) {
    const uint32_t bases[] = {0, 0x00200000, 0x06000000};
    for (int block = 0; block < 3; ++block) {
        for (uint32_t a = 0; a < sh2host::kBlockSizes[block]; a += 2) machine.SetWord(bases[block] + a, value);
    }
}

// A not-taken BT/S costs no cycles. With nothing else in memory the walk would
// never end; once it has passed every fetch position (2^27 instructions: bits
// 28..31 of PC play no part in the fetch) the slice's budget passes as idle
// time, and the slice ends with its usual servicing. A walk that does end, a
// little short of 2^27 instructions, is run to its end.
TEST_F(Robustness, WalksOfFreeInstructionsEndTheSlice) {
#if defined(SH2_UNDER_SANITIZER)
    GTEST_SKIP() << "two walks of 134 million free instructions: run by the optimised build";
#endif
    FillAllBlocks(machine, kBtsNotTaken);
    core->SR = 0;  // T clear, interrupt mask 0
    core->PC = 0x1000;
    // The pending interrupt's vector, read from the same memory, is 0x8D008D00.
    sh2::RequestInterrupt(*core, 64, 5);
    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    EXPECT_EQ(core->PC, 0x8D008D00u);
    EXPECT_EQ((core->SR >> 4) & 0xF, 5u);
    EXPECT_TRUE(machine.boxes.empty());

    // 0x00200000 is the only address whose region selects block 1 between
    // 0x00300000 and the next such address, 0x10200000.
    FillAllBlocks(machine, kBtsNotTaken);  // over the interrupt's frame
    machine.SetWord(0x00200000, kNop);
    core->SR = 0;
    core->PC = 0x00300000;
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x10200002u);
}

// ---------------------------------------------------------------------------
// DMA

// The largest count, 2^24 - 1 one-byte units (the top byte of TCR is
// ignored), runs to its end inside the control register write; the DMA tests
// count the host calls of each unit.
TEST_F(Robustness, LargestDmaCountRunsToItsEnd) {
#if defined(SH2_UNDER_SANITIZER)
    GTEST_SKIP() << "16.7 million DMA units: run by the optimised build";
#endif
    sh2::BusWriteLong(*core, sh2::reg::SAR0, 0x06000000);
    sh2::BusWriteLong(*core, sh2::reg::DAR0, 0x06100000);
    sh2::BusWriteLong(*core, sh2::reg::TCR0, 0xFFFFFFFF);
    sh2::BusWriteLong(*core, sh2::reg::DMAOR, 1);
    sh2::BusWriteLong(*core, sh2::reg::CHCR0, 0x5001);  // SM and DM increment, bytes, DE
    EXPECT_EQ(sh2::ImageLong(*core, sh2::reg::TCR0), 0u);
    EXPECT_EQ(sh2::ImageLong(*core, sh2::reg::SAR0), 0x06000000u + 0xFFFFFFu);
    EXPECT_EQ(sh2::ImageLong(*core, sh2::reg::DAR0), 0x06100000u + 0xFFFFFFu);
    EXPECT_NE(sh2::ImageLong(*core, sh2::reg::CHCR0) & 2u, 0u) << "TE";
}

}  // namespace
