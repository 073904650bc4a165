// The built shared library, loaded the way a host loads it: by path, with its
// fourteen entry points looked up by their undecorated names, driven through
// the test machine. On Windows that is the DLL through LoadLibraryA, its
// memory callbacks __fastcall and its message callback __cdecl (32-bit).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host_machine/host_memory.h"
#include "host_machine/plugin_loader.h"
#include "test_host.h"

#ifndef SH2_PLUGIN_PATH
#error "SH2_PLUGIN_PATH must name the built plug-in"
#endif

namespace {

using sh2test::HostAccess;
using sh2test::TestMachine;

// Counts `count` times adding `step` to r1, stores r1 at `result` with
// mov.l r1,@r2, then spins in a branch to itself. Placed at `base`, which
// must be a multiple of 4 (the literal sits at base + 0x14).
std::vector<uint16_t> CountingProgram(uint8_t count, uint8_t step, uint32_t result) {
    return {
        static_cast<uint16_t>(0xE000 | count),  // +00 mov #count,r0
        0xE100,                                 // +02 mov #0,r1
        static_cast<uint16_t>(0x7100 | step),   // +04 loop: add #step,r1
        0x4010,                                 // +06 dt r0
        0x8BFC,                                 // +08 bf loop
        0xD202,                                 // +0A mov.l @(+0x14),r2
        0x2212,                                 // +0C mov.l r1,@r2
        0xAFFE,                                 // +0E bra +0E
        0x0009,                                 // +10 nop (slot)
        0x0009,                                 // +12
        static_cast<uint16_t>(result >> 16),    // +14 literal: result address
        static_cast<uint16_t>(result),
    };
}

constexpr uint32_t kColour = 0x0032FF32;
constexpr uint32_t kMasterProgram = 0x06000000;
constexpr uint32_t kSlaveProgram = 0x06000100;
constexpr uint32_t kMasterResult = 0x06001000;
constexpr uint32_t kSlaveResult = 0x06001004;

class PluginLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        std::string error;
        ASSERT_TRUE(api.Load(SH2_PLUGIN_PATH, error)) << error;
        // Power-on vectors for both cores, manual-reset vectors for the
        // slave's own program.
        machine.SetLong(0, kMasterProgram);
        machine.SetLong(4, 0x06040000);
        machine.SetLong(8, kSlaveProgram);
        machine.SetLong(12, 0x06030000);
        machine.SetWords(kMasterProgram, CountingProgram(100, 3, kMasterResult));
        machine.SetWords(kSlaveProgram, CountingProgram(50, 7, kSlaveResult));
    }
    void TearDown() override {
        if (initialised) api.DeInitPlugin();
    }

    void Init() {
        const SH2HostInterface record = machine.Interface();
        ASSERT_EQ(api.InitSH2Plugin(&record), 1);
        initialised = true;
    }

    // The long writes the host has seen, by address.
    std::vector<uint32_t> LongWriteAddresses() const {
        std::vector<uint32_t> addresses;
        for (const HostAccess &access : machine.accesses) {
            if (access.kind == HostAccess::Write && access.width == 4) addresses.push_back(access.address);
        }
        return addresses;
    }

    TestMachine &machine = TestMachine::Get();
    sh2host::Plugin api;
    bool initialised = false;
};

TEST_F(PluginLibrary, RunsACountingLoopOnTheMasterAndDeInitialisesCleanly) {
    Init();
    ASSERT_EQ(machine.messages.size(), 1u);
    EXPECT_EQ(machine.messages[0].text, "SH2 interpreter plugin Ver 1.2: initialisation OK!");
    EXPECT_EQ(machine.accesses.size(), 4u) << "two power-on vector reads per core";

    const int32_t executed = api.SH2RunCycles(2000);
    EXPECT_GE(executed, 2000);
    EXPECT_LT(executed, 2000 + 4);
    EXPECT_EQ(machine.Long(kMasterResult), 300u);
    EXPECT_EQ(LongWriteAddresses(), std::vector<uint32_t>{kMasterResult}) << "the slave is switched off";

    // The master spins in its final branch; more slices store nothing more.
    api.SH2RunCycles(500);
    EXPECT_EQ(LongWriteAddresses().size(), 1u);

    api.SetupPlugin();
    api.DeInitPlugin();
    initialised = false;
    ASSERT_EQ(machine.messages.size(), 3u);
    EXPECT_EQ(machine.messages[1].text, "SH2 interpreter plugin Ver 1.2: no options for this plugin");
    EXPECT_EQ(machine.messages[2].text, "SH2 interpreter plugin Ver 1.2: deinitialisation");
    for (const auto &line : machine.messages) EXPECT_EQ(line.colour, kColour) << line.text;
    EXPECT_EQ(api.SH2RunCycles(100), 0) << "no core after DeInitPlugin";
}

TEST_F(PluginLibrary, SmallSlicesGiveTheSameResultsOnBothCores) {
    Init();
    api.ResetSlaveSH2();  // the slave starts its own program
    api.SlaveSH2On();
    int32_t total = 0;
    for (int slice = 0; slice < 400; ++slice) {
        const int32_t executed = api.SH2RunCycles(7);
        EXPECT_GE(executed, 7);
        total += executed;
    }
    EXPECT_GE(total, 2800);
    EXPECT_EQ(machine.Long(kMasterResult), 300u);
    EXPECT_EQ(machine.Long(kSlaveResult), 350u);
    EXPECT_EQ(LongWriteAddresses(), (std::vector<uint32_t>{kSlaveResult, kMasterResult}))
        << "the slave's loop is shorter";
}

// Masked requests and capture signals wait without disturbing the programs
// (the cores start with mask 15); SetPC restarts the master's program and a
// reset takes it to the manual-reset vector: the slave's program.
TEST_F(PluginLibrary, MaskedRequestsWaitAndSetPcAndResetRestartTheMaster) {
    Init();
    api.MasterSH2InterruptRequest(0x40, 5);
    api.SlaveSH2InterruptRequest(0x41, 6);
    api.MasterSH2InputCaptureSignal();
    api.SlaveSH2InputCaptureSignal();
    api.SlaveSH2On();
    api.SH2RunCycles(2000);
    api.SlaveSH2Off();
    EXPECT_EQ(LongWriteAddresses(), (std::vector<uint32_t>{kMasterResult, kMasterResult}))
        << "both cores ran the power-on program";
    ASSERT_EQ(machine.Long(kMasterResult), 300u);

    machine.SetLong(kMasterResult, 0);
    api.MasterSH2SetPC(kMasterProgram);
    api.SH2RunCycles(2000);
    EXPECT_EQ(machine.Long(kMasterResult), 300u);
    api.ResetMasterSH2();
    api.SH2RunCycles(2000);
    EXPECT_EQ(machine.Long(kSlaveResult), 350u);
}

// The cores' log files in the current directory: each initialisation deletes
// them (DeleteFileA on Windows) and creates them anew, empty. A hard link to
// the old file keeps its text, so the file was replaced, not truncated.
TEST_F(PluginLibrary, InitDeletesAndRecreatesBothLogFiles) {
    namespace fs = std::filesystem;
    struct Scratch {
        fs::path previous = fs::current_path(), path = previous / "plugin_library_logs";
        std::error_code ignored;
        Scratch() { fs::remove_all(path), fs::create_directories(path), fs::current_path(path); }
        ~Scratch() { fs::current_path(previous, ignored), fs::remove_all(path, ignored); }
    } scratch;
    const std::string names[] = {"master_sh2_interpreter.log", "slave_sh2_interpreter.log"};
    for (const std::string &name : names) {
        std::ofstream(name) << "left by an earlier run\n";
        fs::create_hard_link(name, name + ".old");
    }
    Init();
    api.SlaveSH2On();
    api.SH2RunCycles(100);
    api.DeInitPlugin();
    initialised = false;
    for (const std::string &name : names) {
        EXPECT_EQ(fs::file_size(name), 0u) << name;
        std::ifstream old(name + ".old");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "left by an earlier run\n") << name;
    }
}

#if defined(_WIN32)
// On Windows the box is MessageBoxA: a window titled "About" that holds the
// call until it is closed (the tests' Wine prefix has no display, but its
// null display driver makes real windows). A second thread reads the box and
// presses its OK button.
std::atomic<bool> aboutReturned{false};
bool aboutHeld = false;
std::string aboutText;

DWORD WINAPI CloseAboutBox(LPVOID) {
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i, Sleep(50)) box = FindWindowA(nullptr, "About");
    if (box == nullptr) return 1;
    char text[128] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's static text
    aboutText = text;
    Sleep(300);
    aboutHeld = !aboutReturned;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
}

TEST_F(PluginLibrary, AboutBoxIsAMessageBoxThatHoldsTheCallUntilClosed) {
    const HANDLE closer = CreateThread(nullptr, 0, CloseAboutBox, nullptr, 0, nullptr);
    api.DisplayPluginInfo();
    aboutReturned = true;
    DWORD found = 1;
    WaitForSingleObject(closer, 15000);
    GetExitCodeThread(closer, &found);
    EXPECT_EQ(found, 0u) << "no window titled About appeared";
    EXPECT_EQ(aboutText, "SH2 interpreter plugin Ver 1.2");
    EXPECT_TRUE(aboutHeld) << "DisplayPluginInfo returned before the box was closed";
}
#endif

}  // namespace
