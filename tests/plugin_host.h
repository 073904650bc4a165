// The fixture of the entry-point tests: a host record on the test machine,
// and a view of both processors through the debugging interface only, the
// way a host and its debugger see the library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "debug/sh2_debug.h"
#include "sh2_plugin.h"
#include "test_host.h"

namespace sh2test {

using sh2debug::Processor;

inline constexpr uint32_t kMessageColour = 0x0032FF32;
inline const std::string kOkLine = "SH2 interpreter plugin Ver 1.2: initialisation OK!";
inline const std::string kFailedLine = "SH2 interpreter plugin Ver 1.2: initialisation failed!";
inline const std::string kNoOptionsLine = "SH2 interpreter plugin Ver 1.2: no options for this plugin";
inline const std::string kDeinitLine = "SH2 interpreter plugin Ver 1.2: deinitialisation";

// The vectors the test machine holds at 0..15.
inline constexpr uint32_t kPowerOnPc = 0x1000;
inline constexpr uint32_t kPowerOnSp = 0x7F000;
inline constexpr uint32_t kResetPc = 0x2000;
inline constexpr uint32_t kResetSp = 0x7E000;

inline constexpr uint16_t kNopOpcode = 0x0009;
inline constexpr uint16_t kMulLOpcode = 0x0007;  // mul.l r0,r0: 2 cycles
inline constexpr uint16_t kUndefinedOpcode = 0xFFFF;

// Message lines as "<text> [<colour>]" lines.
inline std::string Lines(const std::vector<HostMessageLine> &messages) {
    std::string text;
    for (const HostMessageLine &line : messages) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "%08X", static_cast<unsigned>(line.colour));
        text += line.text + " [" + colour + "]\n";
    }
    return text;
}
inline std::string Line(const std::string &text) {
    return Lines({{text, kMessageColour}});
}

// Memory as a processor's program sees it.
inline uint32_t Peek(Processor processor, uint32_t address, uint32_t size) {
    uint8_t bytes[4] = {};
    sh2debug::ReadMemory(processor, address, bytes, size);
    uint32_t value = 0;
    for (uint32_t i = 0; i < size; ++i) value = value << 8 | bytes[i];
    return value;
}
inline void Poke(Processor processor, uint32_t address, uint32_t value, uint32_t size) {
    uint8_t bytes[4];
    for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
    sh2debug::WriteMemory(processor, address, bytes, size);
}

// Everything of a processor its program can see without the host's memory:
// registers, on-chip RAM and the on-chip register window, byte by byte
// (reads of on-chip registers have no side effects).
inline std::vector<uint8_t> ProcessorView(Processor processor) {
    const sh2debug::Registers registers = sh2debug::ReadRegisters(processor);
    std::vector<uint8_t> view(sizeof registers + 0x1000 + 0x200);
    std::memcpy(view.data(), &registers, sizeof registers);
    sh2debug::ReadMemory(processor, 0xC0000000, view.data() + sizeof registers, 0x1000);
    for (uint32_t i = 0; i < 0x200; ++i) {
        view[sizeof registers + 0x1000 + i] = static_cast<uint8_t>(Peek(processor, 0xFFFFFE00 + i, 1));
    }
    return view;
}

// The bytes of the on-chip register window that a program reads as non-zero
// after creation and reset: BRR, TDR, SSR, TIER, OCRA behind the byte
// windows (0xFFFF), TOCR, WTCSR, RSTCSR (its write address holds 0x1F too),
// BCR1 (bit 15 marks the slave), BCR2 and WCR.
struct VisibleByte {
    uint32_t address;
    uint8_t master;
    uint8_t slave;
};
inline constexpr VisibleByte kResetWindow[] = {
    {0xFFFFFE01, 0xFF, 0xFF}, {0xFFFFFE03, 0xFF, 0xFF}, {0xFFFFFE04, 0x84, 0x84}, {0xFFFFFE10, 0x01, 0x01},
    {0xFFFFFE14, 0xFF, 0xFF}, {0xFFFFFE15, 0xFF, 0xFF}, {0xFFFFFE17, 0xE0, 0xE0}, {0xFFFFFE80, 0x18, 0x18},
    {0xFFFFFE82, 0x1F, 0x1F}, {0xFFFFFE83, 0x1F, 0x1F}, {0xFFFFFFE2, 0x03, 0x83}, {0xFFFFFFE3, 0xF0, 0xF0},
    {0xFFFFFFE5, 0xFC, 0xFC}, {0xFFFFFFE8, 0xAA, 0xAA}, {0xFFFFFFE9, 0xFF, 0xFF},
};

// What creation and reset leave, R0..R15 and PC aside: SR's mask, the other
// control registers 0, zeroed on-chip RAM and the reset window.
inline void ExpectResetState(Processor processor) {
    SCOPED_TRACE(sh2debug::ProcessorName(processor));
    const sh2debug::Registers registers = sh2debug::ReadRegisters(processor);
    EXPECT_EQ(registers.SR, 0x000000F0u);
    EXPECT_EQ(registers.GBR | registers.VBR | registers.MACH | registers.MACL | registers.PR, 0u);
    std::vector<uint8_t> ram(0x1000);
    sh2debug::ReadMemory(processor, 0xC0000000, ram.data(), 0x1000);
    EXPECT_EQ(std::count(ram.begin(), ram.end(), 0), 0x1000) << "on-chip RAM is not all zero";
    uint8_t expected[0x200] = {};
    for (const VisibleByte &b : kResetWindow) {
        expected[b.address - 0xFFFFFE00] = processor == Processor::Master ? b.master : b.slave;
    }
    for (uint32_t i = 0; i < 0x200; ++i) {
        EXPECT_EQ(Peek(processor, 0xFFFFFE00 + i, 1), expected[i]) << std::hex << "byte 0x" << (0xFFFFFE00 + i);
    }
}

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
    void TearDown() override { DeInitPlugin(); }

    // Initialises and forgets the calls and lines that initialisation made.
    void Init() {
        ASSERT_EQ(InitSH2Plugin(&host), 1);
        ASSERT_TRUE(sh2debug::Exists(Processor::Master));
        ASSERT_TRUE(sh2debug::Exists(Processor::Slave));
        Forget();
    }
    void Forget() {
        machine.accesses.clear();
        machine.messages.clear();
        machine.boxes.clear();
    }

    static sh2debug::Registers Regs(Processor processor) { return sh2debug::ReadRegisters(processor); }
    // Changes one register of a processor, e.g. SetRegister(master, &Registers::SR, 0).
    static void SetRegister(Processor processor, uint32_t sh2debug::Registers::*field, uint32_t value) {
        sh2debug::Registers registers = sh2debug::ReadRegisters(processor);
        registers.*field = value;
        sh2debug::WriteRegisters(processor, registers);
    }
    static void SetR(Processor processor, int index, uint32_t value) {
        sh2debug::Registers registers = sh2debug::ReadRegisters(processor);
        registers.R[index] = value;
        sh2debug::WriteRegisters(processor, registers);
    }
    // Makes `processor` accept an interrupt at the next slice end, which
    // sets the library's Interrupting flag.
    void EnterAnInterrupt(Processor processor, uint32_t handler) {
        machine.SetLong(4 * 0x7E, handler);
        machine.SetWords(handler, {kNopOpcode, kNopOpcode});
        SetRegister(processor, &sh2debug::Registers::SR, 0);
        if (processor == Processor::Master) {
            MasterSH2InterruptRequest(0x7E, 15);
        } else {
            SlaveSH2InterruptRequest(0x7E, 15);
        }
    }

    static constexpr Processor master = Processor::Master;
    static constexpr Processor slave = Processor::Slave;
    TestMachine &machine = TestMachine::Get();
    SH2HostInterface host{};
};

}  // namespace sh2test
