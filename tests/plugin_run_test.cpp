// The entry points that run the processors and reach them between slices
// (interrupt requests, input capture, a new PC, resets, the slave switch),
// called the way a host calls them, with both processors seen through the
// debugging interface.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin_host.h"

using namespace sh2test;

namespace {

using sh2debug::Registers;

// ---------------------------------------------------------------------------
// Running master and slave

// The master's slice and servicing (here an interrupt's frame and vector
// read) come first, then the slave's; the result is the master's count,
// whatever the slave ran. A slice of no cycles still services both.
TEST_F(PluginEntryPoints, RunRunsTheMastersSliceAndServicingThenTheSlaves) {
    Init();
    machine.SetWords(kPowerOnPc, {0xE140, 0x4118, 0x2102});  // mov #0x40,r1 ; shll8 r1 ; mov.l r0,@r1
    machine.SetWords(kResetPc, {kMulLOpcode, kMulLOpcode});
    machine.SetLong(4 * 0x50, 0x3000);
    machine.SetLong(4 * 0x51, 0x3100);
    machine.SetLong(4 * 0x52, 0x3200);
    machine.SetLong(4 * 0x53, 0x3300);
    ResetSlaveSH2();  // the slave now runs from 0x2000
    SlaveSH2On();
    SetR(master, 0, 0x11);
    SetRegister(master, &Registers::SR, 0);
    SetRegister(slave, &Registers::SR, 0);
    MasterSH2InterruptRequest(0x50, 4);
    SlaveSH2InterruptRequest(0x51, 4);
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(3), 3) << "the slave ran 4";
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, 0x4000, 0x11),
                                              Write(4, kPowerOnSp - 4, 0x000),
                                              Write(4, kPowerOnSp - 8, kPowerOnPc + 6),
                                              Read(4, 4 * 0x50, 0x3000),
                                              Write(4, kResetSp - 4, 0x000),
                                              Write(4, kResetSp - 8, kResetPc + 4),
                                              Read(4, 4 * 0x51, 0x3100),
                                          }));
    MasterSH2InterruptRequest(0x52, 6);
    SlaveSH2InterruptRequest(0x53, 6);
    EXPECT_EQ(SH2RunCycles(0), 0);
    EXPECT_EQ(Regs(master).PC, 0x3200u);
    EXPECT_EQ(Regs(slave).PC, 0x3300u);
}

// Switching the slave off or on, once or twice, changes nothing in either
// processor; a switched-off slave keeps its state, on-chip requests
// included, and resumes in the first slice after it is switched on again.
TEST_F(PluginEntryPoints, SlaveSwitchedOffKeepsItsStateAndResumes) {
    Init();
    // Both count r0 up from the power-on PC.
    machine.SetWords(kPowerOnPc, {0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001});
    SlaveSH2On();
    EXPECT_EQ(SH2RunCycles(2), 2);
    EXPECT_EQ(Regs(slave).R[0], 2u);
    const std::vector<uint8_t> masterView = ProcessorView(master);
    SlaveSH2Off();
    SlaveSH2Off();
    EXPECT_FALSE(sh2debug::SlaveSwitchedOn());
    EXPECT_TRUE(ProcessorView(master) == masterView);
    // An on-chip source still reaches the switched-off slave: its timer's
    // input capture, enabled at level 7 with vector 0x60.
    SetRegister(slave, &Registers::SR, 0);
    Poke(slave, 0xFFFFFE10, 0x81, 1);  // TIER: ICIE
    Poke(slave, 0xFFFFFE60, 0x07, 1);  // IPRB: the timer's level
    Poke(slave, 0xFFFFFE66, 0x60, 1);  // VCRC: the input-capture vector
    SlaveSH2InputCaptureSignal();
    const std::vector<uint8_t> before = ProcessorView(slave);
    EXPECT_EQ(SH2RunCycles(3), 3);
    EXPECT_EQ(SH2RunCycles(0), 0);
    EXPECT_EQ(Regs(master).R[0], 5u);
    EXPECT_TRUE(ProcessorView(slave) == before) << "the switched-off slave changed";
    SlaveSH2On();
    SlaveSH2On();
    EXPECT_TRUE(ProcessorView(slave) == before);
    machine.SetLong(4 * 0x60, 0x3600);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(slave).R[0], 3u);
    EXPECT_EQ(Regs(slave).PC, 0x3600u) << "the pending request survived the off time";
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
}

// ---------------------------------------------------------------------------
// Interrupt requests

// The low byte of each argument counts. A request for a level already
// pending, level 0 and levels above 15 are dropped.
TEST_F(PluginEntryPoints, MasterRequestTakesVectorAndLevelFromTheLowBytes) {
    Init();
    machine.SetWords(kPowerOnPc, {kNopOpcode, kNopOpcode});
    machine.SetWords(0x3000, {kNopOpcode, kNopOpcode});
    machine.SetLong(4 * 0x40, 0x3000);
    machine.SetLong(4 * 0x41, 0x3100);
    MasterSH2InterruptRequest(0x140, 0x105);
    MasterSH2InterruptRequest(0x41, 5);
    MasterSH2InterruptRequest(0x41, 0);
    MasterSH2InterruptRequest(0x41, 0x10);
    MasterSH2InterruptRequest(0x41, 0x200);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    SetRegister(master, &Registers::SR, 0);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(master).PC, 0x3000u);
    EXPECT_EQ(Regs(master).SR, 0x050u);
    EXPECT_TRUE(sh2debug::Interrupting());
    // Nothing else was queued.
    SetRegister(master, &Registers::SR, 0);
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(master).PC, 0x3002u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// A slave request made while the slave is off is lost; one made while it is
// on reaches the slave only, again by the low bytes. The Interrupting flag
// its acceptance sets is the one the master's undefined-opcode box reads.
TEST_F(PluginEntryPoints, SlaveRequestReachesOnlyASwitchedOnSlave) {
    Init();
    machine.SetWords(kPowerOnPc, {kNopOpcode, kNopOpcode});
    machine.SetLong(4 * 0x48, 0x3000);
    machine.SetLong(4 * 0x49, 0x3100);
    machine.SetWords(0x3100, {kNopOpcode, kNopOpcode});
    SetRegister(master, &Registers::SR, 0);
    SetRegister(slave, &Registers::SR, 0);
    SlaveSH2InterruptRequest(0x48, 8);
    SlaveSH2On();
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(slave).PC, kPowerOnPc + 2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    SlaveSH2InterruptRequest(0x149, 0x109);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(slave).PC, 0x3100u);
    EXPECT_EQ(Regs(master).PC, kPowerOnPc + 4);
    SH2RunCycles(1);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].text, "Unknown opcode while interrupting (master SH2) @0x00001004: 0x0000");
}

// ---------------------------------------------------------------------------
// Program counter, input capture and resets

// SetPC changes only the master's PC and restarts a master stopped on an
// undefined opcode. A watchdog request made in the slice that stopped is
// dropped with the stop, so the restarted master does not enter vector 11
// stacking its new PC; a pending interrupt is kept.
TEST_F(PluginEntryPoints, SetPcRestartsAStoppedMasterWithoutTheRequestedException) {
    Init();
    machine.SetWords(kPowerOnPc, {0x2101, kUndefinedOpcode});  // mov.w r0,@r1 (to WTCSR); undefined
    machine.SetWords(0x3000, {0x7001});                        // add #1,r0
    machine.SetLong(44, 0x5000);
    machine.SetLong(4 * 0x40, 0x3800);
    SetR(master, 0, 0xA520);  // WTCSR write code, TME set
    SetR(master, 1, 0xFFFFFE80);
    SetRegister(master, &Registers::SR, 0);
    MasterSH2InterruptRequest(0x40, 3);
    EXPECT_EQ(SH2RunCycles(10), 10);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_TRUE(sh2debug::StoppedOnUndefinedOpcode(master));
    EXPECT_EQ(Regs(master).PC, kPowerOnPc + 2);
    const std::vector<uint8_t> slaveView = ProcessorView(slave);
    machine.accesses.clear();
    MasterSH2SetPC(0x3000);
    EXPECT_EQ(Regs(master).PC, 0x3000u);
    EXPECT_FALSE(sh2debug::StoppedOnUndefinedOpcode(master));
    EXPECT_TRUE(ProcessorView(slave) == slaveView);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Regs(master).R[0], 0xA521u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kPowerOnSp - 4, 0x000),
                                              Write(4, kPowerOnSp - 8, 0x3002),
                                              Read(4, 4 * 0x40, 0x3800),
                                          }));
    EXPECT_EQ(machine.boxes.size(), 1u);
}

// Each capture export reaches its own processor, the slave's even while it
// is switched off; the timer tests cover what the capture does.
TEST_F(PluginEntryPoints, InputCaptureReachesOnlyItsOwnProcessor) {
    Init();
    Poke(master, 0xFFFFFE12, 0x1111, 2);  // FRC
    Poke(slave, 0xFFFFFE12, 0x2222, 2);
    MasterSH2InputCaptureSignal();
    EXPECT_EQ(Peek(master, 0xFFFFFE18, 2), 0x1111u) << "ICR";
    EXPECT_EQ(Peek(slave, 0xFFFFFE18, 2), 0x0000u);
    SlaveSH2InputCaptureSignal();
    EXPECT_EQ(Peek(master, 0xFFFFFE18, 2), 0x1111u);
    EXPECT_EQ(Peek(slave, 0xFFFFFE18, 2), 0x2222u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

enum class ResetTarget { Master, SlaveOff, SlaveOn };

class ResetExport : public PluginEntryPoints, public ::testing::WithParamInterface<ResetTarget> {};

// Each reset export reads the reset vectors (whatever VBR) for its own
// processor only, the slave's in either switch state, and switches nothing.
// The reset restores the reset state and drops pending interrupts, but
// keeps R0..R14 and the Interrupting flag.
TEST_P(ResetExport, ResetsItsOwnProcessorOnly) {
    const Processor target = GetParam() == ResetTarget::Master ? master : slave;
    const Processor other = target == master ? slave : master;
    Init();
    if (GetParam() == ResetTarget::SlaveOn) SlaveSH2On();
    EnterAnInterrupt(master, 0x3000);
    SH2RunCycles(0);
    ASSERT_TRUE(sh2debug::Interrupting());

    Registers registers = Regs(target);
    for (uint32_t i = 0; i < 15; ++i) registers.R[i] = 0x10101010u * (i + 1) + i;
    registers.GBR = 0x0600AA00;
    registers.VBR = 0x06000000;
    registers.MACH = 0x12345678;
    registers.MACL = 0x9ABCDEF0;
    registers.PR = 0x06001234;
    registers.SR = 0x000003F3;
    registers.PC = 0x5000;
    sh2debug::WriteRegisters(target, registers);
    machine.SetLong(registers.VBR + 8, 0xBAD0BAD0);
    machine.SetLong(registers.VBR + 12, 0xBAD1BAD1);
    const std::vector<uint8_t> ramBytes(0x1000, 0xA5);
    sh2debug::WriteMemory(target, 0xC0000000, ramBytes.data(), 0x1000);
    Poke(target, 0xFFFFFE10, 0x8F, 1);    // TIER
    Poke(target, 0xFFFFFFE8, 0x5555, 2);  // WCR
    if (target == master) {
        MasterSH2InterruptRequest(0x40, 5);
    } else {
        SlaveSH2InterruptRequest(0x40, 5);
    }
    const std::vector<uint8_t> untouched = ProcessorView(other);
    machine.accesses.clear();

    if (target == master) {
        ResetMasterSH2();
    } else {
        ResetSlaveSH2();
    }

    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 8, kResetPc), Read(4, 12, kResetSp)}));
    const Registers after = Regs(target);
    EXPECT_EQ(after.PC, kResetPc);
    EXPECT_EQ(after.R[15], kResetSp);
    for (uint32_t i = 0; i < 15; ++i) EXPECT_EQ(after.R[i], registers.R[i]) << "R" << i;
    ExpectResetState(target);
    EXPECT_TRUE(sh2debug::Interrupting());
    EXPECT_EQ(sh2debug::SlaveSwitchedOn(), GetParam() == ResetTarget::SlaveOn) << "a reset switched the slave";
    EXPECT_TRUE(ProcessorView(other) == untouched);
    // The interrupt is gone: a slice end under mask 0 takes nothing.
    if (target == slave) SlaveSH2On();
    machine.SetLong(4 * 0x40, 0x3800);
    SetRegister(target, &Registers::SR, 0);
    SH2RunCycles(0);
    EXPECT_EQ(Regs(target).PC, kResetPc);
}

INSTANTIATE_TEST_SUITE_P(Of, ResetExport,
                         ::testing::Values(ResetTarget::Master, ResetTarget::SlaveOff, ResetTarget::SlaveOn),
                         [](const ::testing::TestParamInfo<ResetTarget> &test) {
                             return std::string(test.param == ResetTarget::Master     ? "Master"
                                                : test.param == ResetTarget::SlaveOff ? "SlaveOff"
                                                                                      : "SlaveOn");
                         });

}  // namespace
