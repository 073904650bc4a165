// Creation and manual reset of a core: the vector reads, the register values,
// the on-chip register image, on-chip RAM, and what a reset leaves alone.
#include <gtest/gtest.h>

#include <cstring>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

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

void ExpectResetImage(const sh2::SH2Core &core, bool isMaster) {
    uint8_t expected[sh2::kOnChipRegisterFileSize] = {};
    for (const ImageByteValue &b : kResetImage) {
        expected[b.address - 0xFFFFFE00] = isMaster ? b.master : b.slave;
    }
    for (uint32_t i = 0; i < sh2::kOnChipRegisterFileSize; ++i) {
        EXPECT_EQ(core.OnChipRegisterFile[i], expected[i]) << std::hex << "image byte 0x" << (0xFFFFFE00 + i);
    }
    uint32_t nonZeroRam = 0;
    for (uint8_t b : core.OnChipRam) nonZeroRam += b != 0;
    EXPECT_EQ(nonZeroRam, 0u) << "on-chip RAM is not all zero";
}

class CoreState : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        machine.Reset();
        machine.SetLong(0, 0x06000100);   // power-on PC
        machine.SetLong(4, 0x0603F000);   // power-on SP
        machine.SetLong(8, 0x06000200);   // manual-reset PC
        machine.SetLong(12, 0x0603E000);  // manual-reset SP
        machine.accesses.clear();
    }
    void Create() { handle.core = sh2::CreateCore(GetParam(), machine.Interface()); }

    TestMachine &machine = TestMachine::Get();
    CoreHandle handle;
};

INSTANTIATE_TEST_SUITE_P(MasterAndSlave, CoreState, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Master" : "Slave"; });

TEST_P(CoreState, CreationReadsPowerOnVectorsOnceEachInOrder) {
    Create();
    ASSERT_NE(handle.core, nullptr);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 0, 0x06000100), Read(4, 4, 0x0603F000)}));
    EXPECT_EQ(handle->PC, 0x06000100u);
    EXPECT_EQ(handle->R[15], 0x0603F000u);
}

TEST_P(CoreState, CreationSetsRegisterValues) {
    Create();
    for (int i = 0; i < 15; ++i) EXPECT_EQ(handle->R[i], 0u) << "R" << i;
    EXPECT_EQ(handle->SR, 0x000000F0u);
    EXPECT_EQ(handle->GBR, 0u);
    EXPECT_EQ(handle->VBR, 0u);
    EXPECT_EQ(handle->MACH, 0u);
    EXPECT_EQ(handle->MACL, 0u);
    EXPECT_EQ(handle->PR, 0u);
    EXPECT_EQ(handle->isMaster, GetParam() ? 1 : 0);
    EXPECT_EQ(handle->exceptionRequest, 0);
    EXPECT_EQ(handle->sliceCycles, 0);
    EXPECT_EQ(handle->pendingInterrupts.pendingCount, 0u);
    for (int level = 0; level < 16; ++level) {
        EXPECT_EQ(handle->pendingInterrupts.pending[level], 0) << "level " << level;
        EXPECT_EQ(handle->pendingInterrupts.vector[level], 0) << "level " << level;
    }
    // Timer: internal clock / 8.
    EXPECT_EQ(handle->timerPrescalerShift, 3u);
    EXPECT_EQ(handle->timerPrescalerMask, 7u);
    EXPECT_EQ(handle->timerPrescalerRemainder, 0);
}

TEST_P(CoreState, CreationFillsImageWithResetValuesAndClearsRam) {
    Create();
    ExpectResetImage(*handle, GetParam());
}

TEST_P(CoreState, BusControlRegistersReadAsTheProgramSeesThem) {
    Create();
    const bool master = GetParam();
    EXPECT_EQ(sh2::BusReadWord(*handle, 0xFFFFFFE2), master ? 0x03F0 : 0x83F0);
    EXPECT_EQ(sh2::BusReadLong(*handle, 0xFFFFFFE0), master ? 0x000003F0u : 0x000083F0u);  // BCR1
    EXPECT_EQ(sh2::BusReadLong(*handle, 0xFFFFFFE4), 0x00FC0000u);                         // BCR2
    EXPECT_EQ(sh2::BusReadLong(*handle, 0xFFFFFFE8), 0xAAFF0000u);                         // WCR
}

TEST_P(CoreState, CreationClearsInterrupting) {
    sh2::Interrupting = 1;
    Create();
    EXPECT_EQ(sh2::Interrupting, 0);
}

TEST_P(CoreState, ResetReadsManualResetVectorsOnceEachInOrderWhateverVbr) {
    Create();
    handle->VBR = 0x00000100;
    machine.SetLong(0x108, 0xBAD0BAD0);
    machine.SetLong(0x10C, 0xBAD1BAD1);
    machine.accesses.clear();
    sh2::ResetCore(*handle);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 8, 0x06000200), Read(4, 12, 0x0603E000)}));
    EXPECT_EQ(handle->PC, 0x06000200u);
    EXPECT_EQ(handle->R[15], 0x0603E000u);
}

TEST_P(CoreState, ResetRestoresControlRegistersImageAndRam) {
    Create();
    ScribbleRegisters(*handle);
    handle->SR = 0x000003F3;
    std::memset(handle->OnChipRegisterFile, 0x5A, sizeof handle->OnChipRegisterFile);
    std::memset(handle->OnChipRam, 0xA5, sizeof handle->OnChipRam);
    sh2::ResetCore(*handle);
    EXPECT_EQ(handle->SR, 0x000000F0u);
    EXPECT_EQ(handle->GBR, 0u);
    EXPECT_EQ(handle->VBR, 0u);
    EXPECT_EQ(handle->MACH, 0u);
    EXPECT_EQ(handle->MACL, 0u);
    EXPECT_EQ(handle->PR, 0u);
    ExpectResetImage(*handle, GetParam());
}

TEST_P(CoreState, ResetDropsPendingInterrupts) {
    Create();
    sh2::RequestInterrupt(*handle, 0x40, 5);
    sh2::RequestInterrupt(*handle, 0x41, 12);
    sh2::ResetCore(*handle);
    EXPECT_EQ(handle->pendingInterrupts.pendingCount, 0u);
    for (int level = 0; level < 16; ++level) {
        EXPECT_EQ(handle->pendingInterrupts.pending[level], 0) << "level " << level;
        EXPECT_EQ(handle->pendingInterrupts.vector[level], 0) << "level " << level;
    }
    // With the mask open, a slice end accepts nothing.
    handle->SR = 0;
    machine.accesses.clear();
    sh2::RunCycles(*handle, 0);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(handle->PC, 0x06000200u);
}

TEST_P(CoreState, ResetKeepsGeneralRegistersAndBookkeeping) {
    Create();
    machine.SetWords(0x06000100, {0x7001, 0x0007});  // add #1,r0 ; mul.l r0,r0
    ASSERT_EQ(sh2::RunCycles(*handle, 2), 3);
    ScribbleRegisters(*handle);
    uint32_t before[15];
    std::memcpy(before, handle->R, sizeof before);
    handle->exceptionRequest = 1;
    sh2::Interrupting = 1;
    const uint16_t opcodeBefore = handle->currentOpcode;

    sh2::ResetCore(*handle);
    EXPECT_EQ(0, std::memcmp(before, handle->R, sizeof before)) << "R0..R14 changed";
    EXPECT_EQ(handle->exceptionRequest, 1);
    EXPECT_EQ(sh2::Interrupting, 1);
    EXPECT_EQ(handle->currentOpcode, opcodeBefore);
    EXPECT_EQ(handle->currentOpcode, 0x0007);
    EXPECT_EQ(handle->sliceCycles, 3);
    EXPECT_EQ(handle->isMaster, GetParam() ? 1 : 0);
    // The host bindings still work: the next slice end enters the requested
    // exception through them.
    machine.SetLong(44, 0x06000300);
    machine.accesses.clear();
    sh2::RunCycles(*handle, 0);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Write(4, 0x0603DFFC, 0x000000F0), Write(4, 0x0603DFF8, 0x06000200), Read(4, 44, 0x06000300)}));
    sh2::Interrupting = 0;
}

TEST_P(CoreState, ResetKeepsTimerClockSelectionAndRemainder) {
    Create();
    sh2::BusWriteByte(*handle, 0xFFFFFE16, 0x01);  // TCR: internal clock / 32
    sh2::UpdateFreeRunningTimer(*handle, 31);      // 31 cycles: no count yet
    ASSERT_EQ(ImageWordAt(*handle, 0xFFFFFE12), 0);
    sh2::ResetCore(*handle);
    EXPECT_EQ(handle->OnChipRegisterFile[0x16], 0) << "the TCR byte reads 0 after a reset";
    // 1 more cycle completes the first count (remainder kept), then 64 cycles
    // make 2 more counts at /32 (16 at /8 would mean the selection was lost).
    sh2::UpdateFreeRunningTimer(*handle, 1);
    EXPECT_EQ(ImageWordAt(*handle, 0xFFFFFE12), 1);
    sh2::UpdateFreeRunningTimer(*handle, 64);
    EXPECT_EQ(ImageWordAt(*handle, 0xFFFFFE12), 3);
}

TEST_P(CoreState, ResetKeepsCompareValuesAndWatchdogCopies) {
    Create();
    sh2::BusWriteByte(*handle, 0xFFFFFE14, 0x12);      // OCRA high
    sh2::BusWriteByte(*handle, 0xFFFFFE15, 0x34);      // OCRA low
    sh2::BusWriteWord(*handle, 0xFFFFFE80, 0x5A42);    // watchdog counter copy
    sh2::BusWriteWord(*handle, 0xFFFFFE80, 0xA507);    // control copy; clears the counter copy
    sh2::BusWriteWord(*handle, 0xFFFFFE80, 0x5A42);
    sh2::ResetCore(*handle);
    EXPECT_EQ(handle->OCRA, 0x1234);
    EXPECT_EQ(sh2::BusReadByte(*handle, 0xFFFFFE14), 0x12);  // TOCR is back to 0xE0: OCRA selected
    EXPECT_EQ(sh2::BusReadByte(*handle, 0xFFFFFE15), 0x34);
    EXPECT_EQ(sh2::BusReadByte(*handle, 0xFFFFFE80), 0x07);
    EXPECT_EQ(sh2::BusReadByte(*handle, 0xFFFFFE81), 0x42);
    // while the image itself is back to its reset bytes
    EXPECT_EQ(handle->OnChipRegisterFile[0x80], 0x18);
    EXPECT_EQ(handle->OnChipRegisterFile[0x81], 0x00);
    EXPECT_EQ(handle->OnChipRegisterFile[0x14], 0x00);
}

TEST(CoreStateStart, FreshCoreStartsWithDocumentedPeripheralCopies) {
    TestMachine &machine = TestMachine::Get();
    machine.Reset();
    CoreHandle core;
    MakeCore(core);
    EXPECT_EQ(core->OCRA, 0xFFFF);
    EXPECT_EQ(core->OCRB, 0xFFFF);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE80), 0x18);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x00);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE83), 0x1F);
}

TEST(CoreStateStart, CreationWithoutACallbackOrBlockFails) {
    TestMachine &machine = TestMachine::Get();
    machine.Reset();
    const SH2HostInterface complete = machine.Interface();
    for (int field = 0; field < 9; ++field) {
        SCOPED_TRACE(testing::Message() << "missing word " << field);
        SH2HostInterface host = complete;
        switch (field) {
            case 0: host.ReadByte = nullptr; break;
            case 1: host.ReadWord = nullptr; break;
            case 2: host.ReadLong = nullptr; break;
            case 3: host.WriteByte = nullptr; break;
            case 4: host.WriteWord = nullptr; break;
            case 5: host.WriteLong = nullptr; break;
            case 6: host.MemoryBlock0 = nullptr; break;
            case 7: host.MemoryBlock1 = nullptr; break;
            case 8: host.MemoryBlock2 = nullptr; break;
        }
        machine.accesses.clear();
        CoreHandle core;
        core.core = sh2::CreateCore(true, host);
        EXPECT_EQ(core.core, nullptr);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    }
}

}  // namespace
