#include <gtest/gtest.h>

#include "isa/run_loop.h"
#include "test_host.h"

using namespace sh2test;

TEST(Smoke, CountsDownALoop) {
    TestMachine &machine = TestMachine::Get();
    machine.Reset();
    // mov #10,r0 ; loop: dt r0 ; bf loop ; nop ; sleep
    machine.SetWords(0x1000, {0xE00A, 0x4010, 0x8BFD, 0x0009, 0x001B});
    CoreHandle core;
    MakeCore(core);
    const int32_t cycles = sh2::RunCycles(*core, 21);
    EXPECT_EQ(core->R[0], 0u);
    EXPECT_EQ(core->PC, 0x1006u);
    EXPECT_EQ(cycles, 21);
}
