// The machine's ports as the callbacks serve them: which writes reach a port,
// what each one asks the host for, and the slave's console lines. The host
// raises the requests between slices (RaisePortRequests) through a plug-in
// whose exports here only write down that they were called.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_machine/plugin_loader.h"
#include "test_host.h"

namespace {

using namespace sh2host;

std::vector<std::string> calls;

void SH2_CDECL ResetSlave() {
    calls.push_back("ResetSlaveSH2");
}
void SH2_CDECL SlaveOn() {
    calls.push_back("SlaveSH2On");
}
void SH2_CDECL SlaveOff() {
    calls.push_back("SlaveSH2Off");
}
void SH2_CDECL MasterCapture() {
    calls.push_back("MasterSH2InputCaptureSignal");
}
void SH2_CDECL SlaveCapture() {
    calls.push_back("SlaveSH2InputCaptureSignal");
}

class Ports : public ::testing::Test {
protected:
    void SetUp() override {
        sh2test::TestMachine::Get().Reset();
        hooks.portsEnabled = true;
        ports = PortState{};
        console_ = std::tmpfile();
        ports.console = console_;
        host_ = sh2test::TestMachine::Get().Interface();
        plugin_.ResetSlaveSH2 = ResetSlave;
        plugin_.SlaveSH2On = SlaveOn;
        plugin_.SlaveSH2Off = SlaveOff;
        plugin_.MasterSH2InputCaptureSignal = MasterCapture;
        plugin_.SlaveSH2InputCaptureSignal = SlaveCapture;
        calls.clear();
    }
    void TearDown() override {
        ports = PortState{};
        hooks.portsEnabled = false;
        std::fclose(console_);
    }
    // What the console took so far.
    std::string Console() {
        std::fflush(console_);
        std::rewind(console_);
        std::string text;
        for (int c; (c = std::fgetc(console_)) != EOF;) text += static_cast<char>(c);
        return text;
    }
    void Print(uint32_t port, const std::string &text) {
        for (const char c : text) host_.WriteByte(port, static_cast<uint8_t>(c));
    }
    // The exports the requests so far call, and no more at the next boundary.
    std::vector<std::string> Raised() {
        RaisePortRequests(plugin_);
        std::vector<std::string> raised = calls;
        calls.clear();
        RaisePortRequests(plugin_);
        EXPECT_TRUE(calls.empty()) << "a request was raised twice";
        return raised;
    }

    SH2HostInterface host_{};
    Plugin plugin_;
    std::FILE *console_ = nullptr;
};

TEST_F(Ports, EachSignalAndSwitchWriteIsRaisedOnceAtTheNextBoundaryInItsOrder) {
    using Calls = std::vector<std::string>;
    const struct {
        const char *name;
        std::vector<std::pair<uint32_t, uint32_t>> writes;  // long writes: port, value
        Calls raised;
        bool slaveOn;
    } cases[] = {
        {"nothing", {}, {}, false},
        {"slave capture", {{kSlaveCapturePort, 0}}, {"SlaveSH2InputCaptureSignal"}, false},
        {"master capture, twice",
         {{kMasterCapturePort, 7}, {kMasterCapturePort, 0}},
         {"MasterSH2InputCaptureSignal"},
         false},
        {"on", {{kSlaveControlPort, 1}}, {"SlaveSH2On"}, true},
        {"off", {{kSlaveControlPort, 0}}, {"SlaveSH2Off"}, false},
        {"reset only", {{kSlaveControlPort, 2}}, {"ResetSlaveSH2", "SlaveSH2Off"}, false},
        {"reset and on", {{kSlaveControlPort, 3}}, {"ResetSlaveSH2", "SlaveSH2On"}, true},
        {"reset, then off: the reset first, the last switch counts",
         {{kSlaveControlPort, 3}, {kSlaveControlPort, 0xFFFFFFFC}},
         {"ResetSlaveSH2", "SlaveSH2Off"},
         false},
        {"all at once",
         {{kSlaveCapturePort, 1}, {kMasterCapturePort, 1}, {kSlaveControlPort, 1}},
         {"SlaveSH2On", "MasterSH2InputCaptureSignal", "SlaveSH2InputCaptureSignal"},
         true},
    };
    for (const auto &c : cases) {
        ports.slaveOn = false;
        for (const auto &[port, value] : c.writes) host_.WriteLong(port, value);
        EXPECT_EQ(Raised(), c.raised) << c.name;
        EXPECT_EQ(ports.slaveOn, c.slaveOn) << c.name;
    }
    EXPECT_EQ(Console(), "");
}

// A port takes only its own width; other widths, the addresses between the
// ports, and every port once the ports are off, are memory.
TEST_F(Ports, OtherWidthsAndAddressesAreMemory) {
    const struct {
        uint32_t address;
        uint32_t width;
        bool port;
    } cases[] = {
        {kConsolePort, 1, true},        {kConsolePort, 2, false},
        {kConsolePort, 4, false},       {kExitPort, 4, true},
        {kExitPort, 1, false},          {kSlaveCapturePort, 4, true},
        {kSlaveCapturePort, 2, false},  {kMasterCapturePort, 4, true},
        {kMasterCapturePort, 1, false}, {kSlaveControlPort, 4, true},
        {kSlaveControlPort, 2, false},  {kSlaveConsolePort, 1, true},
        {kSlaveConsolePort, 4, false},  {kSlaveConsolePort + 4, 4, false},
        {kConsolePort + 2, 1, false},   {kSlaveCapturePort + 0x10000000, 4, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(IsPortWrite(c.address, c.width), c.port) << std::hex << c.address << " width " << c.width;
    }
    host_.WriteWord(kSlaveControlPort, 1);
    host_.WriteByte(kSlaveCapturePort, 1);
    EXPECT_TRUE(Raised().empty());
    EXPECT_EQ(ReadWordAt(kSlaveControlPort), 1);
    hooks.portsEnabled = false;
    host_.WriteLong(kSlaveCapturePort, 0x12345678);
    EXPECT_TRUE(Raised().empty());
    EXPECT_EQ(ReadLongAt(kSlaveCapturePort), 0x12345678u);
}

// The slave's characters reach the console as whole lines after a prefix, so
// that they never split a line of the master's; a line of 255 characters, and
// a line the exit interrupts, are ended there. After the exit neither console
// and no request is taken.
TEST_F(Ports, TheSlavesLinesArePrintedWholeWithTheirPrefix) {
    Print(kSlaveConsolePort, "half");
    Print(kConsolePort, "master\n");
    Print(kSlaveConsolePort, " and the rest\n\n");
    const std::string longLine(300, 'x');
    Print(kSlaveConsolePort, longLine);
    EXPECT_EQ(Console(), "master\n[slave] half and the rest\n[slave] \n[slave] " + longLine.substr(0, 255) + "\n");
    host_.WriteLong(kExitPort, 3);
    EXPECT_EQ(Console(), "master\n[slave] half and the rest\n[slave] \n[slave] " + longLine.substr(0, 255) + "\n" +
                             "[slave] " + longLine.substr(255) + "\n");
    const std::string atExit = Console();
    Print(kSlaveConsolePort, "late\n");
    Print(kConsolePort, "late\n");
    host_.WriteLong(kSlaveControlPort, 1);
    EXPECT_EQ(Console(), atExit);
    EXPECT_TRUE(Raised().empty());
    EXPECT_EQ(ports.exitStatus, 3u);
}

// Every page of the three blocks has its own mark: the first and the last
// byte of each block, and a write across a page boundary marks both pages.
TEST(WrittenPagesTest, EachPageOfEachBlockIsMarkedAlone) {
    WrittenPages pages;
    for (int block = 0; block < 3; ++block) {
        for (const uint32_t offset : {0u, kBlockSizes[block] - 1}) {
            const uint32_t address = kBlockBases[block] + offset;
            pages.Clear();
            pages.Mark(address);
            size_t marked = 0;
            for (size_t page = 0; page < WrittenPages::kPages; ++page) marked += pages.Written(page) ? 1u : 0u;
            EXPECT_EQ(marked, 1u) << std::hex << address;
            EXPECT_TRUE(pages.Written(WrittenPages::PageOf(address))) << std::hex << address;
        }
    }
    EXPECT_EQ(WrittenPages::PageOf(kBlockBases[2] + kBlockSizes[2] - 1), WrittenPages::kPages - 1);
    pages.Clear();
    pages.Mark(0x06000FFE);
    pages.Mark(0x06000FFE + 3);
    EXPECT_TRUE(pages.Written(WrittenPages::PageOf(0x06000FFE)));
    EXPECT_TRUE(pages.Written(WrittenPages::PageOf(0x06001000)));
}

// A stretch of the run done again (a debugger going back) prints nothing
// twice, the slave's lines included: the line so far is part of the state it
// puts back.
TEST_F(Ports, AStretchRunAgainPrintsOnlyWhatWasNotPrinted) {
    Print(kSlaveConsolePort, "ab");
    const PortState saved = ports;
    Print(kSlaveConsolePort, "c\n");
    Print(kConsolePort, "d\n");
    const uint64_t printed = ports.consolePrinted;
    ports = saved;
    ports.consolePrinted = printed;
    Print(kSlaveConsolePort, "c\n");
    Print(kConsolePort, "d\ne\n");
    EXPECT_EQ(Console(), "[slave] abc\nd\ne\n");
}

}  // namespace
