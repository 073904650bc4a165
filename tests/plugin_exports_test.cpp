// The fourteen exported entry points, called the way a host calls them:
// initialisation and its messages, the run export with master and slave, the
// slave switch, interrupt requests, input capture, resets, the program
// counter export, the about box, the log files and calls outside the
// initialised lifetime.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "core/interrupts.h"
#include "plugin/plugin_state.h"
#include "sh2_plugin.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

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

// mov #0x40,r1 ; shll8 r1 ; mov #value,r0 ; mov.l r0,@r1 : stores `value` at
// 0x4000 through the host in the slice's fourth cycle.
std::vector<uint16_t> StoreAt4000(uint8_t value) {
    return {0xE140, 0x4118, static_cast<uint16_t>(0xE000 | value), 0x2102, kNop, kNop};
}

std::vector<unsigned char> BytesOf(const sh2::SH2Core &core) {
    const auto *first = reinterpret_cast<const unsigned char *>(&core);
    return std::vector<unsigned char>(first, first + sizeof core);
}

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

// Runs a test inside a fresh directory of its own, so that the log files the
// cores create are not shared with other test processes.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const char *tag) : previous_(std::filesystem::current_path()) {
        path_ = std::filesystem::temp_directory_path() /
                (std::string(tag) + "_" + std::to_string(static_cast<long>(::getpid())));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
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

    // Every export that reaches a core, each called once.
    static void CallEveryCoreExport() {
        SetupPlugin();
        EXPECT_EQ(SH2RunCycles(100), 0);
        EXPECT_EQ(SH2RunCycles(0), 0);
        ResetMasterSH2();
        ResetSlaveSH2();
        SlaveSH2On();
        EXPECT_EQ(SH2RunCycles(100), 0);
        SlaveSH2Off();
        MasterSH2InterruptRequest(0x40, 5);
        SlaveSH2InterruptRequest(0x41, 6);
        MasterSH2InputCaptureSignal();
        SlaveSH2InputCaptureSignal();
        MasterSH2SetPC(0x06000000);
    }

    TestMachine &machine = TestMachine::Get();
    SH2HostInterface host{};
};

// ---------------------------------------------------------------------------
// Initialisation and the message lines

TEST_F(PluginEntryPoints, InitCreatesMasterThenSlaveAndSendsTheOkLine) {
    EXPECT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine));
    ASSERT_NE(sh2::MasterCore, nullptr);
    ASSERT_NE(sh2::SlaveCore, nullptr);
    EXPECT_NE(sh2::MasterCore, sh2::SlaveCore);
    EXPECT_EQ(Master().isMaster, 1);
    EXPECT_EQ(Slave().isMaster, 0);
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    EXPECT_EQ(sh2::HostMessage, host.ShowMessage);
    // Each core reads its power-on vectors, the master first.
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                          }));
    EXPECT_EQ(Master().PC, kPowerOnPc);
    EXPECT_EQ(Slave().R[15], kPowerOnSp);
    EXPECT_TRUE(machine.boxes.empty());
}

TEST_F(PluginEntryPoints, RecordMayBeDiscardedAfterInit) {
    {
        SH2HostInterface temporary = machine.Interface();
        ASSERT_EQ(InitSH2Plugin(&temporary), 1);
        temporary = SH2HostInterface{};
    }
    Forget();
    machine.SetWords(kPowerOnPc, StoreAt4000(0x5A));
    EXPECT_EQ(SH2RunCycles(4), 4);
    EXPECT_EQ(machine.Long(0x4000), 0x5Au);
    DeInitPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kDeinitLine));
}

TEST_F(PluginEntryPoints, NullRecordFailsWithoutAMessage) {
    Init();  // a null record also forgets the callback of an earlier record
    EXPECT_EQ(InitSH2Plugin(nullptr), 0);
    EXPECT_EQ(sh2::MasterCore, nullptr);
    EXPECT_EQ(sh2::SlaveCore, nullptr);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    // The library stays uninitialised: the exports do nothing.
    CallEveryCoreExport();
    DeInitPlugin();
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(PluginEntryPoints, RecordWithoutACallbackOrBlockFailsWithTheFailedLine) {
    struct Missing {
        const char *name;
        void (*clear)(SH2HostInterface &);
    };
    const Missing cases[] = {
        {"ReadLong", [](SH2HostInterface &h) { h.ReadLong = nullptr; }},
        {"WriteLong", [](SH2HostInterface &h) { h.WriteLong = nullptr; }},
        {"MemoryBlock2", [](SH2HostInterface &h) { h.MemoryBlock2 = nullptr; }},
    };
    for (const Missing &c : cases) {
        SCOPED_TRACE(c.name);
        Forget();
        SH2HostInterface incomplete = machine.Interface();
        c.clear(incomplete);
        EXPECT_EQ(InitSH2Plugin(&incomplete), 0);
        EXPECT_EQ(Lines(machine.messages), Line(kFailedLine));
        EXPECT_EQ(sh2::MasterCore, nullptr);
        EXPECT_EQ(sh2::SlaveCore, nullptr);
        EXPECT_EQ(SH2RunCycles(10), 0);
        DeInitPlugin();
        EXPECT_EQ(Lines(machine.messages), Line(kFailedLine) + Line(kDeinitLine));
    }
}

TEST_F(PluginEntryPoints, SetupAndDeInitSendTheirLines) {
    Init();
    SetupPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kNoOptionsLine));
    SetupPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kNoOptionsLine) + Line(kNoOptionsLine));
    machine.messages.clear();
    DeInitPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kDeinitLine));
    EXPECT_EQ(sh2::MasterCore, nullptr);
    EXPECT_EQ(sh2::SlaveCore, nullptr);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    // The host's callback is forgotten: nothing more reaches it.
    machine.messages.clear();
    DeInitPlugin();
    SetupPlugin();
    EXPECT_TRUE(machine.messages.empty());
}

TEST_F(PluginEntryPoints, EveryLineOfALifetimeCarriesTheMessageColour) {
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    SetupPlugin();
    DeInitPlugin();
    ASSERT_EQ(machine.messages.size(), 3u);
    for (const HostMessageLine &line : machine.messages) {
        EXPECT_EQ(line.colour, kColour) << line.text;
    }
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine) + Line(kNoOptionsLine) + Line(kDeinitLine));
}

TEST_F(PluginEntryPoints, SecondInitReplacesTheFirstCores) {
    // The first pair is destroyed; a leak shows in the sanitizer build.
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    sh2::SH2Core *firstMaster = sh2::MasterCore;
    machine.SetLong(0, 0x3000);
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine) + Line(kOkLine));
    ASSERT_NE(sh2::MasterCore, nullptr);
    EXPECT_EQ(Master().PC, 0x3000u) << "still the first master " << static_cast<void *>(firstMaster);
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    machine.messages.clear();
    DeInitPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kDeinitLine));
}

TEST_F(PluginEntryPoints, InitSwitchesTheSlaveOff) {
    Init();
    SlaveSH2On();
    ASSERT_EQ(sh2::SlaveEnabled, 1);
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(sh2::SlaveEnabled, 0);
}

// ---------------------------------------------------------------------------
// Outside the initialised lifetime

TEST_F(PluginEntryPoints, CoreExportsBeforeInitDoNothing) {
    ASSERT_EQ(sh2::MasterCore, nullptr);
    ASSERT_EQ(sh2::SlaveCore, nullptr);
    CallEveryCoreExport();
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    EXPECT_TRUE(machine.boxes.empty());
    // A later initialisation starts clean: nothing was queued.
    Init();
    EXPECT_EQ(Master().pendingInterrupts.pendingCount, 0u);
    EXPECT_EQ(Master().PC, kPowerOnPc);
}

TEST_F(PluginEntryPoints, CoreExportsAfterDeInitDoNothing) {
    Init();
    DeInitPlugin();
    Forget();
    CallEveryCoreExport();
    DeInitPlugin();  // a second one is harmless too
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    EXPECT_TRUE(machine.boxes.empty());
}

// ---------------------------------------------------------------------------
// About box

TEST_F(PluginEntryPoints, AboutBoxAtAnyTime) {
    auto expectOneAboutBox = [this] {
        ASSERT_EQ(machine.boxes.size(), 1u);
        EXPECT_EQ(machine.boxes[0].caption, "About");
        EXPECT_EQ(machine.boxes[0].text, "SH2 interpreter plugin Ver 1.2");
        EXPECT_EQ(machine.boxes[0].flags, 0x40u);
        EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
        machine.boxes.clear();
    };
    {
        SCOPED_TRACE("before init");
        DisplayPluginInfo();
        expectOneAboutBox();
    }
    {
        SCOPED_TRACE("initialised");
        Init();
        DisplayPluginInfo();
        expectOneAboutBox();
    }
    {
        SCOPED_TRACE("after deinit");
        DeInitPlugin();
        Forget();
        DisplayPluginInfo();
        expectOneAboutBox();
    }
}

// ---------------------------------------------------------------------------
// Running master and slave

TEST_F(PluginEntryPoints, RunRunsTheMastersSliceThenTheSlaves) {
    Init();
    machine.SetWords(kPowerOnPc, StoreAt4000(0x11));
    machine.SetWords(kResetPc, StoreAt4000(0x22));
    ResetSlaveSH2();  // the slave now runs from 0x2000
    SlaveSH2On();
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(4), 4);
    EXPECT_EQ(Describe(machine.accesses), Describe({Write(4, 0x4000, 0x11), Write(4, 0x4000, 0x22)}));
    EXPECT_EQ(Master().PC, kPowerOnPc + 8);
    EXPECT_EQ(Slave().PC, kResetPc + 8);
    EXPECT_EQ(machine.Long(0x4000), 0x22u);
}

TEST_F(PluginEntryPoints, MasterFinishesItsServicingBeforeTheSlaveStarts) {
    // The master's slice end accepts an interrupt (frame writes and vector
    // read) before the slave's first access.
    Init();
    machine.SetWords(kPowerOnPc, {kNop, kNop, kNop, kNop});
    machine.SetWords(kResetPc, StoreAt4000(0x22));
    machine.SetLong(4 * 0x50, 0x3000);
    ResetSlaveSH2();
    SlaveSH2On();
    Master().SR = 0;
    MasterSH2InterruptRequest(0x50, 4);
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(4), 4);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, kPowerOnSp - 4, 0x000),
                                              Write(4, kPowerOnSp - 8, kPowerOnPc + 8),
                                              Read(4, 4 * 0x50, 0x3000),
                                              Write(4, 0x4000, 0x22),
                                          }));
}

struct CountCase {
    const char *name;
    uint16_t masterOpcode;
    uint16_t slaveOpcode;
    bool slaveOn;
    int32_t budget;
    int32_t result;
};

TEST_F(PluginEntryPoints, RunReturnsTheMastersCount) {
    const CountCase cases[] = {
        {"master overshoots, slave on", kMulL, kNop, true, 1, 2},
        {"slave overshoots, slave on", kNop, kMulL, true, 1, 1},
        {"slave off", kMulL, kNop, false, 1, 2},
        {"budget 3", kMulL, kNop, true, 3, 4},
        {"zero budget", kMulL, kMulL, true, 0, 0},
        {"negative budget", kMulL, kMulL, true, -7, 0},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(c.name);
        Init();
        machine.SetWords(0x3000, {c.masterOpcode, c.masterOpcode, c.masterOpcode});
        machine.SetWords(kResetPc, {c.slaveOpcode, c.slaveOpcode, c.slaveOpcode});
        MasterSH2SetPC(0x3000);
        ResetSlaveSH2();
        if (c.slaveOn) SlaveSH2On();
        EXPECT_EQ(SH2RunCycles(c.budget), c.result);
        EXPECT_EQ(Master().sliceCycles, c.result);
        DeInitPlugin();
    }
}

TEST_F(PluginEntryPoints, EmptySliceStillServicesBothCores) {
    Init();
    machine.SetLong(4 * 0x50, 0x3000);
    machine.SetLong(4 * 0x51, 0x3100);
    SlaveSH2On();
    Master().SR = 0;
    Slave().SR = 0;
    MasterSH2InterruptRequest(0x50, 2);
    SlaveSH2InterruptRequest(0x51, 3);
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(0), 0);
    EXPECT_EQ(Master().PC, 0x3000u);
    EXPECT_EQ(Slave().PC, 0x3100u);
    EXPECT_EQ(machine.accesses.size(), 6u) << Describe(machine.accesses);
}

TEST_F(PluginEntryPoints, SlaveSwitchedOffKeepsItsStateAndResumes) {
    Init();
    // Both cores count r0 up from the power-on PC.
    machine.SetWords(kPowerOnPc, {0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001, 0x7001});
    SlaveSH2On();
    EXPECT_EQ(SH2RunCycles(2), 2);
    EXPECT_EQ(Slave().R[0], 2u);
    SlaveSH2Off();
    Slave().SR = 0;
    sh2::RequestInterrupt(Slave(), 0x60, 7);  // on-chip sources still reach it
    const std::vector<unsigned char> before = BytesOf(Slave());
    EXPECT_EQ(SH2RunCycles(3), 3);
    EXPECT_EQ(SH2RunCycles(0), 0);
    EXPECT_EQ(Master().R[0], 5u);
    EXPECT_TRUE(BytesOf(Slave()) == before) << "the switched-off slave changed";

    // Switching on again changes nothing by itself; the next slice resumes.
    SlaveSH2On();
    EXPECT_TRUE(BytesOf(Slave()) == before);
    machine.SetLong(4 * 0x60, 0x3600);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Slave().R[0], 3u);
    EXPECT_EQ(Slave().PC, 0x3600u) << "the pending request survived the off time";
}

TEST_F(PluginEntryPoints, SlaveSwitchOnlyFlipsTheFlag) {
    Init();
    const std::vector<unsigned char> master = BytesOf(Master());
    const std::vector<unsigned char> slave = BytesOf(Slave());
    SlaveSH2On();
    EXPECT_EQ(sh2::SlaveEnabled, 1);
    SlaveSH2On();
    EXPECT_EQ(sh2::SlaveEnabled, 1);
    SlaveSH2Off();
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    SlaveSH2Off();
    EXPECT_EQ(sh2::SlaveEnabled, 0);
    EXPECT_TRUE(BytesOf(Master()) == master);
    EXPECT_TRUE(BytesOf(Slave()) == slave);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
}

// ---------------------------------------------------------------------------
// Interrupt requests

TEST_F(PluginEntryPoints, MasterRequestQueuesVectorAndLevelFromTheLowBytes) {
    Init();
    MasterSH2InterruptRequest(0x140, 0x105);
    EXPECT_EQ(Master().pendingInterrupts.pending[5], 1);
    EXPECT_EQ(Master().pendingInterrupts.vector[5], 0x40);
    MasterSH2InterruptRequest(0x41, 5);  // already pending: lost
    EXPECT_EQ(Master().pendingInterrupts.vector[5], 0x40);
    MasterSH2InterruptRequest(0x42, 0);     // level 0
    MasterSH2InterruptRequest(0x43, 0x10);  // level 16
    MasterSH2InterruptRequest(0x44, 0x200);  // low byte 0
    EXPECT_EQ(Master().pendingInterrupts.pendingCount, 1u);
    EXPECT_EQ(Slave().pendingInterrupts.pendingCount, 0u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);

    machine.SetWords(kPowerOnPc, {kNop});
    machine.SetLong(4 * 0x40, 0x3000);
    Master().SR = 0;
    SH2RunCycles(1);
    EXPECT_EQ(Master().PC, 0x3000u);
    EXPECT_EQ(Master().SR, 0x050u);
    EXPECT_EQ(sh2::Interrupting, 1);
}

TEST_F(PluginEntryPoints, SlaveRequestWhileOffIsLost) {
    Init();
    machine.SetWords(kPowerOnPc, {kNop, kNop});
    machine.SetLong(4 * 0x48, 0x3000);
    Slave().SR = 0;
    SlaveSH2InterruptRequest(0x48, 8);
    EXPECT_EQ(Slave().pendingInterrupts.pendingCount, 0u);
    EXPECT_EQ(Slave().pendingInterrupts.pending[8], 0);
    // Switching on afterwards does not bring it back.
    SlaveSH2On();
    machine.accesses.clear();
    SH2RunCycles(1);
    EXPECT_EQ(Slave().PC, kPowerOnPc + 2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(Master().pendingInterrupts.pendingCount, 0u);
}

TEST_F(PluginEntryPoints, SlaveRequestWhileOnIsQueuedOnTheSlaveOnly) {
    Init();
    machine.SetWords(kPowerOnPc, {kNop});
    machine.SetLong(4 * 0x48, 0x3000);
    SlaveSH2On();
    Master().SR = 0;
    Slave().SR = 0;
    SlaveSH2InterruptRequest(0x148, 0x108);
    EXPECT_EQ(Slave().pendingInterrupts.pending[8], 1);
    EXPECT_EQ(Slave().pendingInterrupts.vector[8], 0x48);
    EXPECT_EQ(Master().pendingInterrupts.pendingCount, 0u);
    SH2RunCycles(1);
    EXPECT_EQ(Slave().PC, 0x3000u);
    EXPECT_EQ(Master().PC, kPowerOnPc + 2);
}

// ---------------------------------------------------------------------------
// Program counter, input capture and resets

TEST_F(PluginEntryPoints, SetPcRedirectsTheMastersNextFetchOnly) {
    Init();
    machine.SetWords(0x06000100, {0x7105});  // add #5,r1
    MasterSH2InterruptRequest(0x40, 3);
    const uint32_t sr = Master().SR;
    const std::vector<unsigned char> slave = BytesOf(Slave());
    MasterSH2SetPC(0x06000100);
    EXPECT_EQ(Master().PC, 0x06000100u);
    EXPECT_EQ(Master().SR, sr);
    EXPECT_EQ(Master().R[15], kPowerOnSp);
    EXPECT_EQ(Master().pendingInterrupts.pending[3], 1) << "pending interrupts are unaffected";
    EXPECT_TRUE(BytesOf(Slave()) == slave);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().R[1], 5u);
    EXPECT_EQ(Master().PC, 0x06000102u);
}

TEST_F(PluginEntryPoints, SetPcRestartsAMasterStoppedOnAnUndefinedOpcode) {
    Init();
    machine.SetWords(kPowerOnPc, {kUndefined});
    machine.SetWords(0x3000, {0x7001});
    EXPECT_EQ(SH2RunCycles(10), 10);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(Master().PC, kPowerOnPc);
    MasterSH2SetPC(0x3000);
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().R[0], 1u);
    EXPECT_EQ(Master().PC, 0x3002u);
    EXPECT_EQ(machine.boxes.size(), 1u);
}

// A watchdog request made in the slice that stops on an undefined opcode is
// dropped with the stop: the restarted master runs its new PC instead of
// entering vector 11 and stacking that PC.
TEST_F(PluginEntryPoints, UndefinedOpcodeDropsTheRequestedExceptionBeforeARestart) {
    Init();
    machine.SetWords(kPowerOnPc, {0x2101, kUndefined});  // mov.w r0,@r1 (to WTCSR); undefined
    machine.SetWords(0x3000, {0x7001});                  // add #1,r0
    machine.SetLong(44, 0x5000);
    Master().R[0] = 0xA520;  // WTCSR write code, TME set
    Master().R[1] = 0xFFFFFE80;
    const uint32_t sp = Master().R[15];
    SH2RunCycles(10);
    ASSERT_EQ(machine.boxes.size(), 1u);
    MasterSH2SetPC(0x3000);
    machine.accesses.clear();
    EXPECT_EQ(SH2RunCycles(1), 1);
    EXPECT_EQ(Master().PC, 0x3002u);
    EXPECT_EQ(Master().R[0], 0xA521u);
    EXPECT_EQ(Master().R[15], sp);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

struct CaptureCase {
    const char *name;
    bool master;
    bool slaveOn;
    bool enabled;  // ICIE
};

TEST_F(PluginEntryPoints, InputCaptureCopiesTheCounterAndRequestsIfEnabled) {
    const CaptureCase cases[] = {
        {"master, enabled", true, false, true},
        {"master, disabled", true, false, false},
        {"slave switched off, enabled", false, false, true},
        {"slave switched on, enabled", false, true, true},
        {"slave switched off, disabled", false, false, false},
    };
    for (const CaptureCase &c : cases) {
        SCOPED_TRACE(c.name);
        Init();
        if (c.slaveOn) SlaveSH2On();
        sh2::SH2Core &target = c.master ? Master() : Slave();
        sh2::SH2Core &other = c.master ? Slave() : Master();
        target.OnChipRegisterFile[0x10] = c.enabled ? 0x81 : 0x01;  // TIER
        target.OnChipRegisterFile[0x12] = 0xAB;                     // FRC
        target.OnChipRegisterFile[0x13] = 0xCD;
        target.OnChipRegisterFile[0x60] = 0x06;  // IPRB: timer level 6
        target.OnChipRegisterFile[0x66] = 0xD5;  // VCRC: capture vector 0x55
        const std::vector<unsigned char> untouched = BytesOf(other);
        if (c.master) {
            MasterSH2InputCaptureSignal();
        } else {
            SlaveSH2InputCaptureSignal();
        }
        EXPECT_EQ(ImageWordAt(target, 0xFFFFFE18), 0xABCD) << "ICR";
        EXPECT_EQ(target.OnChipRegisterFile[0x11] & 0x80, 0x80) << "ICF";
        if (c.enabled) {
            EXPECT_EQ(target.pendingInterrupts.pending[6], 1);
            EXPECT_EQ(target.pendingInterrupts.vector[6], 0x55);
            EXPECT_EQ(target.pendingInterrupts.pendingCount, 1u);
        } else {
            EXPECT_EQ(target.pendingInterrupts.pendingCount, 0u);
        }
        EXPECT_TRUE(BytesOf(other) == untouched) << "the other core changed";
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
        DeInitPlugin();
        Forget();
    }
}

TEST_F(PluginEntryPoints, ResetMasterResetsOnlyTheMaster) {
    Init();
    Master().R[3] = 0x33;
    Master().SR = 0x301;
    Master().VBR = 0x06000000;
    Master().OnChipRam[5] = 0x77;
    MasterSH2InterruptRequest(0x40, 3);
    const std::vector<unsigned char> slave = BytesOf(Slave());
    ResetMasterSH2();
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 8, kResetPc), Read(4, 12, kResetSp)}));
    EXPECT_EQ(Master().PC, kResetPc);
    EXPECT_EQ(Master().R[15], kResetSp);
    EXPECT_EQ(Master().R[3], 0x33u);
    EXPECT_EQ(Master().SR, 0x0F0u);
    EXPECT_EQ(Master().VBR, 0u);
    EXPECT_EQ(Master().OnChipRam[5], 0);
    EXPECT_EQ(Master().pendingInterrupts.pendingCount, 0u);
    EXPECT_TRUE(BytesOf(Slave()) == slave);
}

TEST_F(PluginEntryPoints, ResetSlaveActsInEitherSwitchState) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on ? "on" : "off");
        Init();
        if (on) SlaveSH2On();
        Slave().R[3] = 0x33;
        Slave().PC = 0x5000;
        const std::vector<unsigned char> master = BytesOf(Master());
        ResetSlaveSH2();
        EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 8, kResetPc), Read(4, 12, kResetSp)}));
        EXPECT_EQ(Slave().PC, kResetPc);
        EXPECT_EQ(Slave().R[15], kResetSp);
        EXPECT_EQ(Slave().R[3], 0x33u);
        EXPECT_EQ(Slave().OnChipRegisterFile[0x1E2], 0x83) << "still the slave's BCR1";
        EXPECT_EQ(sh2::SlaveEnabled, on ? 1 : 0) << "a reset does not switch the slave";
        EXPECT_TRUE(BytesOf(Master()) == master);
        DeInitPlugin();
        Forget();
    }
}

// ---------------------------------------------------------------------------
// Log files

TEST_F(PluginEntryPoints, InitLeavesTwoEmptyLogFilesInTheCurrentDirectory) {
    namespace fs = std::filesystem;
    ScratchDirectory scratch("sh2_exports_logs");
    const fs::path master = fs::current_path() / "master_sh2_interpreter.log";
    const fs::path slave = fs::current_path() / "slave_sh2_interpreter.log";
    for (const fs::path &path : {master, slave}) {
        std::ofstream stale(path, std::ios::trunc);
        stale << "left by an earlier run\n";
    }
    ASSERT_GT(fs::file_size(master), 0u);
    Init();
    for (const fs::path &path : {master, slave}) {
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
    }
    // Running and servicing write nothing; the files stay after DeInitPlugin.
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
