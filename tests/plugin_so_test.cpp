// The built shared library, loaded the way a host loads it: by path, with
// its fourteen entry points looked up by their undecorated names, driven
// through a small host of its own that keeps emulated memory as 32-bit words
// in host byte order.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "sh2_plugin.h"

#ifndef SH2_PLUGIN_PATH
#error "SH2_PLUGIN_PATH must name the built plug-in"
#endif

namespace {

// A minimal host machine: three blocks of 32-bit words, the same memory
// behind the fetch blocks and the six callbacks.
struct SmallHost {
    std::vector<uint32_t> blocks[3] = {
        std::vector<uint32_t>(0x80000 / 4),
        std::vector<uint32_t>(0x100000 / 4),
        std::vector<uint32_t>(0x200000 / 4),
    };
    std::vector<std::pair<std::string, uint32_t>> lines;
    std::vector<std::pair<uint32_t, uint32_t>> longWrites;
    uint32_t readCalls = 0;

    uint32_t &Word(uint32_t address) {
        const uint32_t region = address & 0x0FF00000u;
        if (region == 0) return blocks[0][(address & 0x7FFFF) >> 2];
        if (region == 0x00200000u) return blocks[1][(address & 0xFFFFF) >> 2];
        return blocks[2][(address & 0x1FFFFF) >> 2];
    }
    // Emulated big-endian bytes inside a host word: byte 0 is the top byte.
    uint8_t Byte(uint32_t address) { return static_cast<uint8_t>(Word(address) >> (8 * (3 - (address & 3)))); }
    void SetByte(uint32_t address, uint8_t value) {
        const uint32_t shift = 8 * (3 - (address & 3));
        uint32_t &word = Word(address);
        word = (word & ~(0xFFu << shift)) | (uint32_t{value} << shift);
    }
    uint16_t Half(uint32_t address) { return static_cast<uint16_t>((Byte(address) << 8) | Byte(address + 1)); }
    uint32_t Long(uint32_t address) { return (uint32_t{Half(address)} << 16) | Half(address + 2); }
    void SetHalf(uint32_t address, uint16_t value) {
        SetByte(address, static_cast<uint8_t>(value >> 8));
        SetByte(address + 1, static_cast<uint8_t>(value));
    }
    void SetLong(uint32_t address, uint32_t value) {
        SetHalf(address, static_cast<uint16_t>(value >> 16));
        SetHalf(address + 2, static_cast<uint16_t>(value));
    }
    void SetProgram(uint32_t address, const std::vector<uint16_t> &words) {
        for (uint16_t word : words) {
            SetHalf(address, word);
            address += 2;
        }
    }
};

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

SmallHost *currentHost = nullptr;

uint8_t SH2_FASTCALL HostReadByte(uint32_t address) {
    ++currentHost->readCalls;
    return currentHost->Byte(address);
}
uint16_t SH2_FASTCALL HostReadWord(uint32_t address) {
    ++currentHost->readCalls;
    return currentHost->Half(address);
}
uint32_t SH2_FASTCALL HostReadLong(uint32_t address) {
    ++currentHost->readCalls;
    return currentHost->Long(address);
}
void SH2_FASTCALL HostWriteByte(uint32_t address, uint32_t value) {
    currentHost->SetByte(address, static_cast<uint8_t>(value));
}
void SH2_FASTCALL HostWriteWord(uint32_t address, uint32_t value) {
    currentHost->SetHalf(address, static_cast<uint16_t>(value));
}
void SH2_FASTCALL HostWriteLong(uint32_t address, uint32_t value) {
    currentHost->longWrites.emplace_back(address, value);
    currentHost->SetLong(address, value);
}
void SH2_CDECL HostShowMessage(const char *text, uint32_t colour) { currentHost->lines.emplace_back(text, colour); }

// The plug-in's entry points, looked up by name.
struct PluginApi {
    uint8_t(SH2_CDECL *InitSH2Plugin)(const SH2HostInterface *);
    void(SH2_CDECL *DeInitPlugin)(void);
    void(SH2_CDECL *DisplayPluginInfo)(void);
    void(SH2_CDECL *SetupPlugin)(void);
    int32_t(SH2_CDECL *SH2RunCycles)(int32_t);
    void(SH2_CDECL *ResetMasterSH2)(void);
    void(SH2_CDECL *ResetSlaveSH2)(void);
    void(SH2_CDECL *SlaveSH2On)(void);
    void(SH2_CDECL *SlaveSH2Off)(void);
    void(SH2_CDECL *MasterSH2InterruptRequest)(uint32_t, uint32_t);
    void(SH2_CDECL *SlaveSH2InterruptRequest)(uint32_t, uint32_t);
    void(SH2_CDECL *MasterSH2InputCaptureSignal)(void);
    void(SH2_CDECL *SlaveSH2InputCaptureSignal)(void);
    void(SH2_CDECL *MasterSH2SetPC)(uint32_t);
};

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
        currentHost = &host;
        library = dlopen(SH2_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        Bind(api.InitSH2Plugin, "InitSH2Plugin");
        Bind(api.DeInitPlugin, "DeInitPlugin");
        Bind(api.DisplayPluginInfo, "DisplayPluginInfo");
        Bind(api.SetupPlugin, "SetupPlugin");
        Bind(api.SH2RunCycles, "SH2RunCycles");
        Bind(api.ResetMasterSH2, "ResetMasterSH2");
        Bind(api.ResetSlaveSH2, "ResetSlaveSH2");
        Bind(api.SlaveSH2On, "SlaveSH2On");
        Bind(api.SlaveSH2Off, "SlaveSH2Off");
        Bind(api.MasterSH2InterruptRequest, "MasterSH2InterruptRequest");
        Bind(api.SlaveSH2InterruptRequest, "SlaveSH2InterruptRequest");
        Bind(api.MasterSH2InputCaptureSignal, "MasterSH2InputCaptureSignal");
        Bind(api.SlaveSH2InputCaptureSignal, "SlaveSH2InputCaptureSignal");
        Bind(api.MasterSH2SetPC, "MasterSH2SetPC");

        // Power-on vectors for both cores, manual-reset vectors for the
        // slave's own program.
        host.SetLong(0, kMasterProgram);
        host.SetLong(4, 0x06040000);
        host.SetLong(8, kSlaveProgram);
        host.SetLong(12, 0x06030000);
        host.SetProgram(kMasterProgram, CountingProgram(100, 3, kMasterResult));
        host.SetProgram(kSlaveProgram, CountingProgram(50, 7, kSlaveResult));
    }
    void TearDown() override {
        if (library != nullptr) {
            if (initialised && api.DeInitPlugin != nullptr) api.DeInitPlugin();
            EXPECT_EQ(dlclose(library), 0) << dlerror();
        }
        currentHost = nullptr;
    }

    template <typename Fn>
    void Bind(Fn &target, const char *name) {
        void *symbol = dlsym(library, name);
        ASSERT_NE(symbol, nullptr) << name << ": " << dlerror();
        target = reinterpret_cast<Fn>(symbol);
    }

    SH2HostInterface Interface() {
        SH2HostInterface record{};
        record.ReadByte = HostReadByte;
        record.ReadWord = HostReadWord;
        record.ReadLong = HostReadLong;
        record.WriteByte = HostWriteByte;
        record.WriteWord = HostWriteWord;
        record.WriteLong = HostWriteLong;
        record.MemoryBlock0 = host.blocks[0].data();
        record.MemoryBlock1 = host.blocks[1].data();
        record.MemoryBlock2 = host.blocks[2].data();
        record.ShowMessage = HostShowMessage;
        return record;
    }

    void Init() {
        const SH2HostInterface record = Interface();
        ASSERT_EQ(api.InitSH2Plugin(&record), 1);
        initialised = true;
    }

    SmallHost host;
    void *library = nullptr;
    PluginApi api{};
    bool initialised = false;
};

TEST_F(PluginLibrary, AllFourteenEntryPointsResolve) {
    // SetUp has bound them; each is a distinct function.
    const void *entries[] = {
        reinterpret_cast<const void *>(api.InitSH2Plugin),
        reinterpret_cast<const void *>(api.DeInitPlugin),
        reinterpret_cast<const void *>(api.DisplayPluginInfo),
        reinterpret_cast<const void *>(api.SetupPlugin),
        reinterpret_cast<const void *>(api.SH2RunCycles),
        reinterpret_cast<const void *>(api.ResetMasterSH2),
        reinterpret_cast<const void *>(api.ResetSlaveSH2),
        reinterpret_cast<const void *>(api.SlaveSH2On),
        reinterpret_cast<const void *>(api.SlaveSH2Off),
        reinterpret_cast<const void *>(api.MasterSH2InterruptRequest),
        reinterpret_cast<const void *>(api.SlaveSH2InterruptRequest),
        reinterpret_cast<const void *>(api.MasterSH2InputCaptureSignal),
        reinterpret_cast<const void *>(api.SlaveSH2InputCaptureSignal),
        reinterpret_cast<const void *>(api.MasterSH2SetPC),
    };
    for (size_t i = 0; i < std::size(entries); ++i) {
        ASSERT_NE(entries[i], nullptr);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(entries[i], entries[j]) << i << " and " << j;
    }
    // Nothing else of the library's own is visible by name.
    EXPECT_EQ(dlsym(library, "_ZN3sh29RunCyclesERNS_7SH2CoreEi"), nullptr);
}

TEST_F(PluginLibrary, RunsACountingLoopOnTheMasterAndDeInitialisesCleanly) {
    Init();
    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0].first, "SH2 interpreter plugin Ver 1.2: initialisation OK!");
    EXPECT_EQ(host.lines[0].second, kColour);
    EXPECT_EQ(host.readCalls, 4u) << "two power-on vector reads per core";

    const int32_t executed = api.SH2RunCycles(2000);
    EXPECT_GE(executed, 2000);
    EXPECT_LT(executed, 2000 + 4);
    EXPECT_EQ(host.Long(kMasterResult), 300u);
    ASSERT_EQ(host.longWrites.size(), 1u) << "the slave is switched off";
    EXPECT_EQ(host.longWrites[0].first, kMasterResult);

    // The master spins in its final branch; more slices store nothing more.
    api.SH2RunCycles(500);
    EXPECT_EQ(host.longWrites.size(), 1u);

    api.SetupPlugin();
    api.DeInitPlugin();
    initialised = false;
    ASSERT_EQ(host.lines.size(), 3u);
    EXPECT_EQ(host.lines[1].first, "SH2 interpreter plugin Ver 1.2: no options for this plugin");
    EXPECT_EQ(host.lines[2].first, "SH2 interpreter plugin Ver 1.2: deinitialisation");
    for (const auto &line : host.lines) EXPECT_EQ(line.second, kColour) << line.first;
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
    EXPECT_EQ(host.Long(kMasterResult), 300u);
    EXPECT_EQ(host.Long(kSlaveResult), 350u);
    ASSERT_EQ(host.longWrites.size(), 2u);
    EXPECT_EQ(host.longWrites[0].first, kSlaveResult) << "the slave's loop is shorter";
    EXPECT_EQ(host.longWrites[1].first, kMasterResult);
}

TEST_F(PluginLibrary, SetPcAndResetRestartTheMaster) {
    Init();
    api.SH2RunCycles(2000);
    ASSERT_EQ(host.Long(kMasterResult), 300u);
    host.SetLong(kMasterResult, 0);
    api.MasterSH2SetPC(kMasterProgram);
    api.SH2RunCycles(2000);
    EXPECT_EQ(host.Long(kMasterResult), 300u);

    // A reset takes the master to the manual-reset vector: the slave's
    // program.
    api.ResetMasterSH2();
    api.SH2RunCycles(2000);
    EXPECT_EQ(host.Long(kSlaveResult), 350u);
}

TEST_F(PluginLibrary, InterruptAndCaptureExportsCanBeCalledBetweenSlices) {
    Init();
    // The cores start with interrupt mask 15: the requests wait, and the
    // programs run to their results undisturbed.
    api.MasterSH2InterruptRequest(0x40, 5);
    api.SlaveSH2InterruptRequest(0x41, 6);
    api.MasterSH2InputCaptureSignal();
    api.SlaveSH2InputCaptureSignal();
    api.SlaveSH2On();
    api.SH2RunCycles(2000);
    api.SlaveSH2Off();
    api.SH2RunCycles(10);
    EXPECT_EQ(host.Long(kMasterResult), 300u);
    // Both cores ran the power-on program and stored the same value.
    ASSERT_EQ(host.longWrites.size(), 2u);
    EXPECT_EQ(host.longWrites[1].first, kMasterResult);
}

TEST_F(PluginLibrary, InitCreatesEmptyLogFilesAndAboutBoxReturns) {
    namespace fs = std::filesystem;
    ScratchDirectory scratch("sh2_library_logs");
    Init();
    for (const char *name : {"master_sh2_interpreter.log", "slave_sh2_interpreter.log"}) {
        ASSERT_TRUE(fs::exists(name)) << name;
        EXPECT_EQ(fs::file_size(name), 0u) << name;
    }
    // Without a window system the about box goes to standard error and the
    // call returns at once (on a desktop it would be a real dialog).
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    api.DisplayPluginInfo();
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("SH2 interpreter plugin Ver 1.2"), std::string::npos) << shown;
    EXPECT_NE(shown.find("About"), std::string::npos) << shown;
    api.DeInitPlugin();
    initialised = false;
    for (const char *name : {"master_sh2_interpreter.log", "slave_sh2_interpreter.log"}) {
        ASSERT_TRUE(fs::exists(name)) << name;
        EXPECT_EQ(fs::file_size(name), 0u) << name;
    }
}

TEST_F(PluginLibrary, NullRecordIsRefused) {
    EXPECT_EQ(api.InitSH2Plugin(nullptr), 0);
    EXPECT_EQ(api.SH2RunCycles(100), 0);
    api.DeInitPlugin();
    EXPECT_TRUE(host.lines.empty());
    EXPECT_EQ(host.readCalls, 0u);
}

}  // namespace
