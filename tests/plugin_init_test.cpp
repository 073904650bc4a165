// The entry points that create, set up, describe and destroy the library,
// called the way a host calls them, with both processors seen through the
// debugging interface.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

#include "plugin_host.h"

using namespace sh2test;

namespace {

TEST_F(PluginEntryPoints, EachInitCreatesMasterThenSlaveInTheResetStateAndSendsTheOkLine) {
    Init();
    EnterAnInterrupt(master, 0x3000);
    SH2RunCycles(0);
    ASSERT_TRUE(sh2debug::Interrupting());
    Forget();

    EXPECT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine));
    EXPECT_TRUE(machine.boxes.empty());
    EXPECT_FALSE(sh2debug::Interrupting());
    // Each processor reads its power-on vectors, the master first.
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                              Read(4, 0, kPowerOnPc),
                                              Read(4, 4, kPowerOnSp),
                                          }));
    for (const Processor processor : {master, slave}) {
        ExpectResetState(processor);
        const sh2debug::Registers registers = Regs(processor);
        EXPECT_EQ(registers.PC, kPowerOnPc);
        EXPECT_EQ(registers.R[15], kPowerOnSp);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(registers.R[i], 0u) << "R" << i;
    }
    EXPECT_EQ(Peek(master, 0xFFFFFFE0, 4), 0x000003F0u) << "BCR1";
    EXPECT_EQ(Peek(slave, 0xFFFFFFE0, 4), 0x000083F0u) << "BCR1";

    // A second initialisation replaces both processors (a leak of the first
    // pair shows in the sanitizer build) and switches the slave off.
    SlaveSH2On();
    machine.SetLong(0, 0x3000);
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_EQ(Lines(machine.messages), Line(kOkLine) + Line(kOkLine));
    EXPECT_EQ(Regs(master).PC, 0x3000u);
    EXPECT_FALSE(sh2debug::SlaveSwitchedOn());
}

TEST_F(PluginEntryPoints, NullRecordFailsWithoutAMessage) {
    Init();  // a null record also forgets the callback of an earlier record
    EXPECT_EQ(InitSH2Plugin(nullptr), 0);
    EXPECT_FALSE(sh2debug::Exists(master));
    EXPECT_FALSE(sh2debug::Exists(slave));
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    // The library stays uninitialised, as before InitSH2Plugin and after
    // DeInitPlugin: every export that reaches a processor does nothing.
    SetupPlugin();
    EXPECT_EQ(SH2RunCycles(100), 0);
    EXPECT_EQ(SH2RunCycles(0), 0);
    ResetMasterSH2();
    ResetSlaveSH2();
    SlaveSH2On();
    EXPECT_FALSE(sh2debug::SlaveSwitchedOn());
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

// A processor needs all six callbacks and all three blocks: without one no
// processor is made and no callback is called, but the lines still reach
// the host.
class IncompleteRecord : public PluginEntryPoints, public ::testing::WithParamInterface<int> {};

TEST_P(IncompleteRecord, FailsWithTheFailedLine) {
    SH2HostInterface incomplete = machine.Interface();
    switch (GetParam()) {
        case 0: incomplete.ReadByte = nullptr; break;
        case 1: incomplete.ReadWord = nullptr; break;
        case 2: incomplete.ReadLong = nullptr; break;
        case 3: incomplete.WriteByte = nullptr; break;
        case 4: incomplete.WriteWord = nullptr; break;
        case 5: incomplete.WriteLong = nullptr; break;
        case 6: incomplete.MemoryBlock0 = nullptr; break;
        case 7: incomplete.MemoryBlock1 = nullptr; break;
        default: incomplete.MemoryBlock2 = nullptr; break;
    }
    EXPECT_EQ(InitSH2Plugin(&incomplete), 0);
    EXPECT_FALSE(sh2debug::Exists(master));
    EXPECT_FALSE(sh2debug::Exists(slave));
    EXPECT_EQ(SH2RunCycles(10), 0);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    DeInitPlugin();
    EXPECT_EQ(Lines(machine.messages), Line(kFailedLine) + Line(kDeinitLine));
}

constexpr const char *kRecordWords[] = {"ReadByte",  "ReadWord",     "ReadLong",     "WriteByte",   "WriteWord",
                                        "WriteLong", "MemoryBlock0", "MemoryBlock1", "MemoryBlock2"};
std::string RecordWordName(const ::testing::TestParamInfo<int> &test) {
    return kRecordWords[test.param];
}

INSTANTIATE_TEST_SUITE_P(Without, IncompleteRecord, ::testing::Range(0, 9), RecordWordName);

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
    EXPECT_FALSE(sh2debug::Exists(master));
    EXPECT_FALSE(sh2debug::Exists(slave));
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    machine.messages.clear();
    DeInitPlugin();
    SetupPlugin();
    EXPECT_TRUE(machine.messages.empty());
}

enum class LibraryStage { BeforeInit, Initialised, AfterDeInit };

class AboutBox : public PluginEntryPoints, public ::testing::WithParamInterface<LibraryStage> {};

TEST_P(AboutBox, ShowsTheVersionAtAnyStage) {
    if (GetParam() != LibraryStage::BeforeInit) Init();
    if (GetParam() == LibraryStage::AfterDeInit) DeInitPlugin();
    Forget();
    DisplayPluginInfo();
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].caption, "About");
    EXPECT_EQ(machine.boxes[0].text, "SH2 interpreter plugin Ver 1.2");
    EXPECT_EQ(machine.boxes[0].flags, 0x40u);
    EXPECT_TRUE(machine.messages.empty()) << Lines(machine.messages);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

INSTANTIATE_TEST_SUITE_P(Stage, AboutBox,
                         ::testing::Values(LibraryStage::BeforeInit, LibraryStage::Initialised,
                                           LibraryStage::AfterDeInit),
                         [](const ::testing::TestParamInfo<LibraryStage> &test) {
                             return std::string(test.param == LibraryStage::BeforeInit    ? "BeforeInit"
                                                : test.param == LibraryStage::Initialised ? "Initialised"
                                                                                          : "AfterDeInit");
                         });

// Runs a test inside a fresh directory of its own, so that the log files the
// processors create are not shared with other test processes.
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

TEST_F(PluginEntryPoints, InitLeavesTwoEmptyLogFilesInTheCurrentDirectory) {
    namespace fs = std::filesystem;
    ScratchDirectory scratch;
    const fs::path masterLog = fs::current_path() / "master_sh2_interpreter.log";
    const fs::path slaveLog = fs::current_path() / "slave_sh2_interpreter.log";
    for (const fs::path &path : {masterLog, slaveLog}) {
        std::ofstream stale(path, std::ios::trunc);
        stale << "left by an earlier run\n";
    }
    ASSERT_GT(fs::file_size(masterLog), 0u);
    // Init empties them; running and servicing write nothing; the files stay
    // after DeInitPlugin.
    Init();
    machine.SetWords(kPowerOnPc, {kNopOpcode, kNopOpcode, kNopOpcode, kUndefinedOpcode});
    SlaveSH2On();
    SH2RunCycles(10);
    DeInitPlugin();
    for (const fs::path &path : {masterLog, slaveLog}) {
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
    }
}

}  // namespace
