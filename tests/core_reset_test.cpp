// A processor's reset, inside the library: what it restores of the on-chip
// register image and RAM, what it keeps, and the requests it drops.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "test_host.h"

using namespace sh2test;

namespace {

// The non-zero bytes of the register image after creation and reset.
struct ImageByteValue {
    uint32_t address;
    uint8_t master;
    uint8_t slave;
};
constexpr ImageByteValue kResetImage[] = {
    {0xFFFFFE01, 0xFF, 0xFF},  // BRR
    {0xFFFFFE03, 0xFF, 0xFF},  // TDR
    {0xFFFFFE04, 0x84, 0x84},  // SSR
    {0xFFFFFE10, 0x01, 0x01},  // TIER
    {0xFFFFFE17, 0xE0, 0xE0},  // TOCR
    {0xFFFFFE80, 0x18, 0x18},  // WTCSR
    {0xFFFFFE82, 0x1F, 0x1F},  // RSTCSR write address
    {0xFFFFFFE2, 0x03, 0x83},  // BCR1 high byte: bit 15 marks the slave
    {0xFFFFFFE3, 0xF0, 0xF0},  // BCR1 low byte
    {0xFFFFFFE5, 0xFC, 0xFC},  // BCR2
    {0xFFFFFFE8, 0xAA, 0xAA},  // WCR
    {0xFFFFFFE9, 0xFF, 0xFF},  // WCR
};

void ExpectResetImageAndRam(const sh2::SH2Core &core) {
    uint8_t expected[sh2::kOnChipRegisterFileSize] = {};
    for (const ImageByteValue &b : kResetImage) {
        expected[b.address - 0xFFFFFE00] = core.isMaster ? b.master : b.slave;
    }
    for (uint32_t i = 0; i < sh2::kOnChipRegisterFileSize; ++i) {
        EXPECT_EQ(core.OnChipRegisterFile[i], expected[i]) << std::hex << "image byte 0x" << (0xFFFFFE00 + i);
    }
    uint32_t nonZeroRam = 0;
    for (uint8_t b : core.OnChipRam) nonZeroRam += b != 0;
    EXPECT_EQ(nonZeroRam, 0u) << "on-chip RAM is not all zero";
    EXPECT_EQ(core.timer.OCRA, 0xFFFF);
    EXPECT_EQ(core.timer.OCRB, 0xFFFF);
}

class CoreReset : public OnChipTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core, GetParam());
        machine.accesses.clear();
    }
    void TearDown() override { sh2::Interrupting = 0; }
};

// Creation and reset leave the same image; the reset keeps R0..R14, the
// Interrupting flag and a requested exception, and drops pending interrupts.
TEST_P(CoreReset, RestoresTheImageKeepsR0ToR14AndTheExceptionDropsInterrupts) {
    ExpectResetImageAndRam(*core);
    for (uint32_t i = 0; i < 15; ++i) core->R[i] = 0x10101010u * (i + 1) + i;
    core->VBR = 0x06000000;
    core->SR = 0x3F3;
    core->timer.OCRA = 0x1234;
    std::memset(core->OnChipRegisterFile, 0x5A, sizeof core->OnChipRegisterFile);
    std::memset(core->OnChipRam, 0xA5, sizeof core->OnChipRam);
    sh2::RequestInterrupt(*core, 0x40, 5);
    sh2::SetExceptionRequest(*core);
    sh2::Interrupting = 1;
    uint32_t registers[15];
    std::memcpy(registers, core->R, sizeof registers);

    sh2::ResetCore(*core);

    EXPECT_EQ(std::memcmp(registers, core->R, sizeof registers), 0) << "R0..R14 changed";
    EXPECT_EQ(core->VBR, 0u);
    EXPECT_EQ(core->SR, 0xF0u);
    EXPECT_EQ(core->timer.OCRA, 0x1234) << "the compare values stay";
    core->timer.OCRA = 0xFFFF;
    ExpectResetImageAndRam(*core);
    EXPECT_EQ(sh2::Interrupting, 1);
    // The next slice end enters the exception; the interrupt is gone.
    machine.SetLong(44, 0x3000);
    machine.SetLong(4 * 0x40, 0x3800);
    machine.accesses.clear();
    sh2::RunCycles(*core, 0);
    core->SR = 0;
    sh2::RunCycles(*core, 0);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, 0x7F000 - 4, 0x0F0),
                                              Write(4, 0x7F000 - 8, 0x1000),
                                              Read(4, 44, 0x3000),
                                          }));
}

INSTANTIATE_TEST_SUITE_P(Of, CoreReset, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &test) {
    return std::string(test.param ? "Master" : "Slave");
});

// A reset leaves the timer's clock selection and remainder, the compare
// values and the watchdog's read-back copies as they were.
TEST_P(CoreReset, KeepsTheTimerClockCompareValuesAndWatchdogCopies) {
    sh2::BusWriteByte(*core, 0xFFFFFE16, 0x01);    // TCR: internal clock / 32
    sh2::UpdateFreeRunningTimer(*core, 31);        // 31 cycles: no count yet
    sh2::BusWriteByte(*core, 0xFFFFFE14, 0x12);    // OCRA high
    sh2::BusWriteByte(*core, 0xFFFFFE15, 0x34);    // OCRA low
    sh2::BusWriteWord(*core, 0xFFFFFE80, 0x5A42);  // watchdog counter copy
    sh2::BusWriteWord(*core, 0xFFFFFE80, 0xA507);  // control copy; clears the counter copy
    sh2::BusWriteWord(*core, 0xFFFFFE80, 0x5A42);
    sh2::ResetCore(*core);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE14), 0x12);  // TOCR is back to 0xE0: OCRA selected
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE15), 0x34);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE80), 0x07);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x42);
    // 1 more cycle completes the first count (remainder kept), then 64 cycles
    // make 2 more counts at /32 (16 at /8 would mean the selection was lost).
    sh2::UpdateFreeRunningTimer(*core, 1);
    EXPECT_EQ(ImageWordAt(*core, 0xFFFFFE12), 1);
    sh2::UpdateFreeRunningTimer(*core, 64);
    EXPECT_EQ(ImageWordAt(*core, 0xFFFFFE12), 3);
}

}  // namespace
