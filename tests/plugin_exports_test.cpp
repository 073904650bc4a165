// The fourteen exported entry points, called the way a host calls them:
// initialisation and the state both cores start from, the message lines, the
// run export with master and slave, the slave switch, interrupt requests,
// input capture, resets and what they leave alone, the program counter
// export, the about box, the log files and calls outside the initialised
// lifetime.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "plugin/plugin_state.h"
#include "sh2_plugin.h"
#include "test_host.h"

using namespace sh2test;

namespace {

constexpr uint32_t kColour = 0x0032FF32;
const std::string kOkLine = "SH2 interpreter plugin Ver 1.2: initialisation OK!";
const std::string kFailedLine = "SH2 interpreter plugin Ver 1.2: initialisation failed!";
const std::string kNoOptionsLine = "SH2 interpreter plugin Ver 1.2: no options for this plugin";
const std::string kDeinitLine = "SH2 interpreter plugin Ver 1.2: deinitialisation";

constexpr uint32_t kPowerOnPc = 0x1000;
constexpr uint32_t kPowerOnSp = 0x7F000;
constexpr uint32_t kResetPc = 0x2000;
constexpr uint32_t kResetSp = 0x7E000;

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kMulL = 0x0007;  // mul.l r0,r0: 2 cycles
constexpr uint16_t kUndefined = 0xFFFF;

std::string Lines(const std::vector<HostMessageLine> &messages) {
    std::string text;
    for (const HostMessageLine &line : messages) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "%08X", static_cast<unsigned>(line.colour));
        text += line.text + " [" + colour + "]\n";
    }
    return text;
}

std::string Line(const std::string &text) { return Lines({{text, kColour}}); }

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

// The control registers, the register image and on-chip RAM as creation and
// reset leave them.
void ExpectResetState(const sh2::SH2Core &core) {
    EXPECT_EQ(core.SR, 0x000000F0u);
    EXPECT_EQ(core.GBR, 0u);
    EXPECT_EQ(core.VBR, 0u);
    EXPECT_EQ(core.MACH, 0u);
    EXPECT_EQ(core.MACL, 0u);
    EXPECT_EQ(core.PR, 0u);
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
}

// Runs a test inside a fresh directory of its own, so that the log files the
// cores create are not shared with other test processes.
struct ScratchDirectory {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("sh2_exports_logs_" + std::to_string(::getpid()));
    ScratchDirectory() {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        std::filesystem::current_path(path);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
};

class PluginEntryPoints : public ::testing::Test {
protected:
    void SetUp() override {
        DeInitPlugin();  // whatever an earlier test left behind
        machine.Reset();
        machine.SetLong(0, kPowerOnPc);
        machine.SetLong(4, kPowerOnSp);
        machine.SetLong(8, kResetPc);
        machine.SetLong(12, kResetSp);
        host = machine.Interface();
    }
    void TearDown() override {
        DeInitPlugin();
        sh2::Interrupting = 0;
    }

    // Initialises and forgets the calls and lines that initialisation made.
    void Init() {
        ASSERT_EQ(InitSH2Plugin(&host), 1);
        ASSERT_NE(sh2::MasterCore, nullptr);
        ASSERT_NE(sh2::SlaveCore, nullptr);
        Forget();
    }
    void Forget() {
        machine.accesses.clear();
        machine.messages.clear();
        machine.boxes.clear();
    }
    sh2::SH2Core &Master() const { return *sh2::MasterCore; }
    sh2::SH2Core &Slave() const { return *sh2::SlaveCore; }

    TestMachine &machine = TestMachine::Get();
    SH2HostInterface host{};
};

// ---------------------------------------------------------------------------
// Initialisation and the message lines

TEST_F(PluginEntryPoints, EachInitCreatesMasterThenSlaveInTheResetStateAndSendsTheOkLine) {
    sh2::Interrupting = 1;
    EXPECT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine));
    EXPECT_TRUE(machine.boxes.empty());
    EXPECT_EQ(sh2::Interrupting, 0);
    ASSERT_NE(sh2::MasterCore, nullptr);
    ASSERT_NE(sh2::SlaveCore, nullptr);
    // Each core reads its power-on vectors, the master first.
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                          }));
    for (sh2::SH2Core *core : {sh2::MasterCore, sh2::SlaveCore}) {
        const bool master = core == sh2::MasterCore;
        SCOPED_TRACE(master ? "master" : "slave");
        EXPECT_EQ(core->isMaster, master ? 1 : 0);
        EXPECT_EQ(core->PC, kPowerOnPc);
        EXPECT_EQ(core->R[15], kPowerOnSp);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(core->R[i], 0u) << "R" << i;
        ExpectResetState(*core);
        // What the program reads of BCR1 and of the registers whose values
        // live outside the image.
        EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFFE0), master ? 0x000003F0u : 0x000083F0u);
        EXPECT_EQ(core->OCRA, 0xFFFF);
        EXPECT_EQ(core->OCRB, 0xFFFF);
        EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE80), 0x18);
        EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x00);
        EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE83), 0x1F);
    }
    // A second initialisation replaces both cores (a leak of the first pair
    // shows in the sanitizer build) and switches the slave off.
    SlaveSH2On();
    machine.SetLong(0, 0x3000);
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine) + Line(kOkLine));
    EXPECT_EQ(sh2::MasterCore->PC, 0x3000u);
    EXPECT_EQ(sh2::SlaveEnabled, 0);
}

TEST_F(PluginEntryPoints, NullRecordFailsWithoutAMessage) {
    Init();  // a null record also forgets the callback of an earlier record
    EXPECT_EQ(InitSH2Plugin(nullptr), 0);
    EXPECT_EQ(sh2::MasterCore, nullptr);
    EXPECT_EQ(sh2::SlaveCore, nullptr);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    // The library stays uninitialised, as before InitSH2Plugin and after
    // DeInitPlugin: every export that reaches a core does nothing.
    SetupPlugin();
    EXPECT_EQ(SH2RunCycles(100), 0);
    EXPECT_EQ(SH2RunCycles(0), 0);
    ResetMasterSH2();
    ResetSlaveSH2();
    SlaveSH2On();
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    EXPECT_EQ(SH2RunCycles(100), 0);
    SlaveSH2Off();
    MasterSH2InterruptRequest(0x40, 5);
    SlaveSH2InterruptRequest(0x41, 6);
    MasterSH2InputCaptureSignal();
    SlaveSH2InputCaptureSignal();
    MasterSH2SetPC(0x06000000);
    DeInitPlugin();
    EXPECT_TRUE(machine.boxes.empty());
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// A core needs all six callbacks and all three blocks: without one no core
// is made and no callback is called, but the lines still reach the host.
TEST_F(PluginEntryPoints, RecordWithoutACallbackOrBlockFailsWithTheFailedLine) {
    for (int field = 0; field < 9; ++field) {
        SCOPED_TRACE(testing::Message() << "missing word " << field);
        Forget();
        SH2HostInterface incomplete = machine.Interface();
        switch (field) {
            case 0: incomplete.ReadByte = nullptr; break;
            case 1: incomplete.ReadWord = nullptr; break;
            case 2: incomplete.ReadLong = nullptr; break;
            case 3: incomplete.WriteByte = nullptr; break;
            case 4: incomplete.WriteWord = nullptr; break;
            case 5: incomplete.WriteLong = nullptr; break;
            case 6: incomplete.MemoryBlock0 = nullptr; break;
            case 7: incomplete.MemoryBlock1 = nullptr; break;
            case 8: incomplete.MemoryBlock2 = nullptr; break;
        }
        EXPECT_EQ(InitSH2Plugin(&incomplete), 0);
        EXPECT_EQ(sh2::MasterCore, nullptr);
        EXPECT_EQ(sh2::SlaveCore, nullptr);
        EXPECT_EQ(SH2RunCycles(10), 0);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
        DeInitPlugin();
        EXPECT_EQ(Lines(machine.messages), Line(kFailedLine) + Line(kDeinitLine));
    }
}

// The library keeps what it needs of the record, which the host may discard
// after InitSH2Plugin; DeInitPlugin forgets the message callback.
TEST_F(PluginEntryPoints, SetupAndDeInitSendTheirLinesThroughACopyOfTheRecord) {
    {
        SH2HostInterface temporary = machine.Interface();
        ASSERT_EQ(InitSH2Plugin(&temporary), 1);
        temporary = SH2HostInterface{};
    }
    SetupPlugin();
    SetupPlugin();
    // mov #0x40,r0 ; shll8 r0 ; mov #0x5A,r1 ; mov.l r1,@r0
    machine.SetWords(kPowerOnPc, {0xE040, 0x4018, 0xE15A, 0x2012});
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(4), 4);
    EXPECT_EQ(Describe(machine.accesses), Describe({Write(4, 0x4000, 0x5A)}));
    machine.accesses.clear();
    DeInitPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine) + Line(kNoOptionsLine) + Line(kNoOptionsLine) + Line(kDeinitLine));
    EXPECT_EQ(sh2::MasterCore, nullptr);
    EXPECT_EQ(sh2::SlaveCore, nullptr);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    machine.messages.clear();
    DeInitPlugin();
    SetupPlugin();
    EXPECT_TRUE(machine.messages.empty());
}

TEST_F(PluginEntryPoints, AboutBoxAtAnyTime) {
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step == 0 ? "before init" : step == 1 ? "initialised" : "after deinit");
        if (step == 1) Init();
        if (step == 2) DeInitPlugin();
        Forget();
        DisplayPluginInfo();
        ASSERT_EQ(machine.boxes.size(), 1u);
        EXPECT_EQ(machine.boxes[0].caption, "About");
        EXPECT_EQ(machine.boxes[0].text, "SH2 interpreter plugin Ver 1.2");
        EXPECT_EQ(machine.boxes[0].flags, 0x40u);
        EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    }
}

// ---------------------------------------------------------------------------
// Running master and slave

// The master's slice and servicing (here an interrupt's frame and vector
// read) come first, then the slave's; the result is the master's count,
// whatever the slave ran. A slice of no cycles still services both cores.
TEST_F(PluginEntryPoints, RunRunsTheMastersSliceAndServicingThenTheSlaves) {
    Init();
    machine.SetWords(kPowerOnPc, {0xE140, 0x4118, 0x2102});  // mov #0x40,r1 ; shll8 r1 ; mov.l r0,@r1
    machine.SetWords(kResetPc, {kMulL, kMulL});
    machine.SetLong(4 * 0x50, 0x3000);
    machine.SetLong(4 * 0x51, 0x3100);
    machine.SetLong(4 * 0x52, 0x3200);
    machine.SetLong(4 * 0x53, 0x3300);
    ResetSlaveSH2();  // the slave now runs from 0x2000
    SlaveSH2On();
    Master().R[0] = 0x11;
    Master().SR = 0;
    Slave().SR = 0;
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
    EXPECT_EQ(Master().PC, 0x3200u);
    EXPECT_EQ(Slave().PC, 0x3300u);
}

// Switching the slave off or on, once or twice, changes nothing in either
// core; a switched-off slave keeps its state, on-chip requests included, and
// resumes in the first slice after it is switched on again.
TEST_F(PluginEntryPoints, SlaveSwitchedOffKeepsItsStateAndResumes) {
    Init();
    // Both cores count r0 up from the power-on PC.
    machine.SetWords(kPowerOnPc, {0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001});
    SlaveSH2On();
    EXPECT_EQ(SH2RunCycles(2), 2);
    EXPECT_EQ(Slave().R[0], 2u);
    const std::vector<unsigned char> master = BytesOf(Master());
    SlaveSH2Off();
    SlaveSH2Off();
    EXPECT_TRUE(BytesOf(Master()) == master);
    Slave().SR = 0;
    sh2::RequestInterrupt(Slave(), 0x60, 7);  // on-chip sources still reach it
    const std::vector<unsigned char> before = BytesOf(Slave());
    EXPECT_EQ(SH2RunCycles(3), 3);
    EXPECT_EQ(SH2RunCycles(0), 0);
    EXPECT_EQ(Master().R[0], 5u);
    EXPECT_TRUE(BytesOf(Slave()) == before) << "the switched-off slave changed";
    SlaveSH2On();
    SlaveSH2On();
    EXPECT_TRUE(BytesOf(Slave()) == before);
    machine.SetLong(4 * 0x60, 0x3600);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Slave().R[0], 3u);
    EXPECT_EQ(Slave().PC, 0x3600u) << "the pending request survived the off time";
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
}

// ---------------------------------------------------------------------------
// Interrupt requests

// The low byte of each argument counts. A request for a level already
// pending, level 0 and levels above 15 are dropped.
TEST_F(PluginEntryPoints, MasterRequestTakesVectorAndLevelFromTheLowBytes) {
    Init();
    machine.SetWords(kPowerOnPc, {kNop, kNop});
    machine.SetWords(0x3000, {kNop, kNop});
    machine.SetLong(4 * 0x40, 0x3000);
    machine.SetLong(4 * 0x41, 0x3100);
    MasterSH2InterruptRequest(0x140, 0x105);
    MasterSH2InterruptRequest(0x41, 5);
    MasterSH2InterruptRequest(0x41, 0);
    MasterSH2InterruptRequest(0x41, 0x10);
    MasterSH2InterruptRequest(0x41, 0x200);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    Master().SR = 0;
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().PC, 0x3000u);
    EXPECT_EQ(Master().SR, 0x050u);
    EXPECT_EQ(sh2::Interrupting, 1);
    // Nothing else was queued.
    Master().SR = 0;
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().PC, 0x3002u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// A slave request made while the slave is off is lost; one made while it is
// on reaches the slave only, again by the low bytes. The Interrupting flag
// its acceptance sets is the one the master's undefined-opcode box reads.
TEST_F(PluginEntryPoints, SlaveRequestReachesOnlyASwitchedOnSlave) {
    Init();
    machine.SetWords(kPowerOnPc, {kNop, kNop});
    machine.SetLong(4 * 0x48, 0x3000);
    machine.SetLong(4 * 0x49, 0x3100);
    machine.SetWords(0x3100, {kNop, kNop});
    Master().SR = 0;
    Slave().SR = 0;
    SlaveSH2InterruptRequest(0x48, 8);
    SlaveSH2On();
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Slave().PC, kPowerOnPc + 2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    SlaveSH2InterruptRequest(0x149, 0x109);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Slave().PC, 0x3100u);
    EXPECT_EQ(Master().PC, kPowerOnPc + 4);
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
    machine.SetWords(kPowerOnPc, {0x2101, kUndefined});  // mov.w r0,@r1 (to WTCSR); undefined
    machine.SetWords(0x3000, {0x7001});                  // add #1,r0
    machine.SetLong(44, 0x5000);
    machine.SetLong(4 * 0x40, 0x3800);
    Master().R[0] = 0xA520;  // WTCSR write code, TME set
    Master().R[1] = 0xFFFFFE80;
    Master().SR = 0;
    MasterSH2InterruptRequest(0x40, 3);
    EXPECT_EQ(SH2RunCycles(10), 10);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(Master().PC, kPowerOnPc + 2);
    const std::vector<unsigned char> slave = BytesOf(Slave());
    machine.accesses.clear();
    MasterSH2SetPC(0x3000);
    EXPECT_EQ(Master().PC, 0x3000u);
    EXPECT_TRUE(BytesOf(Slave()) == slave);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().R[0], 0xA521u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kPowerOnSp - 4, 0x000),
                                              Write(4, kPowerOnSp - 8, 0x3002),
                                              Read(4, 4 * 0x40, 0x3800),
                                          }));
    EXPECT_EQ(machine.boxes.size(), 1u);
}

// Each capture export reaches its own core, the slave's even while it is
// switched off; the timer tests cover what the capture does.
TEST_F(PluginEntryPoints, InputCaptureReachesOnlyItsOwnCore) {
    Init();
    sh2::BusWriteWord(Master(), 0xFFFFFE12, 0x1111);  // FRC
    sh2::BusWriteWord(Slave(), 0xFFFFFE12, 0x2222);
    MasterSH2InputCaptureSignal();
    EXPECT_EQ(sh2::BusReadWord(Master(), 0xFFFFFE18), 0x1111) << "ICR";
    EXPECT_EQ(sh2::BusReadWord(Slave(), 0xFFFFFE18), 0x0000);
    SlaveSH2InputCaptureSignal();
    EXPECT_EQ(sh2::BusReadWord(Master(), 0xFFFFFE18), 0x1111);
    EXPECT_EQ(sh2::BusReadWord(Slave(), 0xFFFFFE18), 0x2222);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// Each reset export reads the reset vectors (whatever VBR) for its own core
// only, the slave's in either switch state, and switches nothing. The reset
// restores the reset state and drops pending interrupts, but keeps R0..R14,
// the Interrupting flag and a requested exception.
TEST_F(PluginEntryPoints, ResetExportsResetTheirOwnCore) {
    for (int which = 0; which < 3; ++which) {
        const bool master = which == 0;
        SCOPED_TRACE(which == 0 ? "master" : which == 1 ? "slave off" : "slave on");
        Init();
        if (which == 2) SlaveSH2On();
        sh2::SH2Core &target = master ? Master() : Slave();
        sh2::SH2Core &other = master ? Slave() : Master();
        for (uint32_t i = 0; i < 15; ++i) target.R[i] = 0x10101010u * (i + 1) + i;
        target.GBR = 0x0600AA00;
        target.VBR = 0x06000000;
        target.MACH = 0x12345678;
        target.MACL = 0x9ABCDEF0;
        target.PR = 0x06001234;
        target.SR = 0x000003F3;
        target.PC = 0x5000;
        machine.SetLong(target.VBR + 8, 0xBAD0BAD0);
        machine.SetLong(target.VBR + 12, 0xBAD1BAD1);
        std::memset(target.OnChipRegisterFile, 0x5A, sizeof target.OnChipRegisterFile);
        std::memset(target.OnChipRam, 0xA5, sizeof target.OnChipRam);
        sh2::RequestInterrupt(target, 0x40, 5);
        sh2::SetExceptionRequest(target);
        sh2::Interrupting = 1;
        uint32_t registers[15];
        std::memcpy(registers, target.R, sizeof registers);
        const std::vector<unsigned char> untouched = BytesOf(other);
        machine.accesses.clear();
        if (master) {
            ResetMasterSH2();
        } else {
            ResetSlaveSH2();
        }
        EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 8, kResetPc), Read(4, 12, kResetSp)}));
        EXPECT_EQ(target.PC, kResetPc);
        EXPECT_EQ(target.R[15], kResetSp);
        EXPECT_EQ(std::memcmp(registers, target.R, sizeof registers), 0) << "R0..R14 changed";
        ExpectResetState(target);
        EXPECT_EQ(sh2::Interrupting, 1);
        EXPECT_EQ(sh2::SlaveEnabled, which == 2 ? 1 : 0) << "a reset does not switch the slave";
        EXPECT_TRUE(BytesOf(other) == untouched);
        // The next slice end enters the exception; the interrupt is gone.
        machine.SetLong(44, 0x3000);
        machine.SetLong(4 * 0x40, 0x3800);
        machine.accesses.clear();
        sh2::RunCycles(target, 0);
        target.SR = 0;
        sh2::RunCycles(target, 0);
        EXPECT_EQ(Describe(machine.accesses), Describe({
                                                  Write(4, kResetSp - 4, 0x0F0),
                                                  Write(4, kResetSp - 8, kResetPc),
                                                  Read(4, 44, 0x3000),
                                              }));
        DeInitPlugin();
        Forget();
        sh2::Interrupting = 0;
    }
}

// A reset leaves the timer's clock selection and remainder, the compare
// values and the watchdog's read-back copies as they were.
TEST_F(PluginEntryPoints, ResetKeepsTheTimerClockCompareValuesAndWatchdogCopies) {
    Init();
    sh2::SH2Core &core = Master();
    sh2::BusWriteByte(core, 0xFFFFFE16, 0x01);    // TCR: internal clock / 32
    sh2::UpdateFreeRunningTimer(core, 31);        // 31 cycles: no count yet
    sh2::BusWriteByte(core, 0xFFFFFE14, 0x12);    // OCRA high
    sh2::BusWriteByte(core, 0xFFFFFE15, 0x34);    // OCRA low
    sh2::BusWriteWord(core, 0xFFFFFE80, 0x5A42);  // watchdog counter copy
    sh2::BusWriteWord(core, 0xFFFFFE80, 0xA507);  // control copy; clears the counter copy
    sh2::BusWriteWord(core, 0xFFFFFE80, 0x5A42);
    ResetMasterSH2();
    EXPECT_EQ(sh2::BusReadByte(core, 0xFFFFFE14), 0x12);  // TOCR is back to 0xE0: OCRA selected
    EXPECT_EQ(sh2::BusReadByte(core, 0xFFFFFE15), 0x34);
    EXPECT_EQ(sh2::BusReadByte(core, 0xFFFFFE80), 0x07);
    EXPECT_EQ(sh2::BusReadByte(core, 0xFFFFFE81), 0x42);
    // 1 more cycle completes the first count (remainder kept), then 64 cycles
    // make 2 more counts at /32 (16 at /8 would mean the selection was lost).
    sh2::UpdateFreeRunningTimer(core, 1);
    EXPECT_EQ(ImageWordAt(core, 0xFFFFFE12), 1);
    sh2::UpdateFreeRunningTimer(core, 64);
    EXPECT_EQ(ImageWordAt(core, 0xFFFFFE12), 3);
}

// ---------------------------------------------------------------------------
// Log files

TEST_F(PluginEntryPoints, InitLeavesTwoEmptyLogFilesInTheCurrentDirectory) {
    namespace fs = std::filesystem;
    ScratchDirectory scratch;
    const fs::path master = fs::current_path() / "master_sh2_interpreter.log";
    const fs::path slave = fs::current_path() / "slave_sh2_interpreter.log";
    for (const fs::path &path : {master, slave}) {
        std::ofstream stale(path, std::ios::trunc);
        stale << "left by an earlier run\n";
    }
    ASSERT_GT(fs::file_size(master), 0u);
    // Init empties them; running and servicing write nothing; the files stay
    // after DeInitPlugin.
    Init();
    machine.SetWords(kPowerOnPc, {kNop, kNop, kNop, kUndefined});
    SlaveSH2On();
    SH2RunCycles(10);
    DeInitPlugin();
    for (const fs::path &path : {master, slave}) {
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
    }
}

}  // namespace
