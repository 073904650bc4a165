// Helpers for the instruction tests: a fixture with one master core on the
// test machine, running single instructions the way the run loop does, and
// register tables with a background pattern so that stray writes show up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/sh2_core.h"
#include "isa/dispatch.h"
#include "isa/run_loop.h"
#include "test_host.h"

namespace sh2test {

// Where the instruction tests place their code and stack; data lives at
// 0x1000..0x3FFF unless a test says otherwise.
inline constexpr uint32_t kCodeBase = 0x00004000;
inline constexpr uint32_t kStackTop = 0x0007F000;

// A register value per register number; every register not named keeps the
// background value.
using RegisterList = std::vector<std::pair<int, uint32_t>>;

inline uint32_t BackgroundRegister(int index) {
    return 0x5A000000u + static_cast<uint32_t>(index) * 0x00010101u;
}

inline std::string Hex(uint32_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << std::uppercase << value;
    return text.str();
}

class IsaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Machine().Reset();
        MakeCore(core_, true, kCodeBase, kStackTop);
        SetBackground();
        Machine().accesses.clear();
    }

    static TestMachine &Machine() { return TestMachine::Get(); }
    sh2::SH2Core &Core() { return *core_; }

    // Every general register gets its background value; SR, GBR, VBR, MACH,
    // MACL and PR get recognisable values too.
    void SetBackground() {
        for (int i = 0; i < 16; ++i) {
            core_->R[i] = BackgroundRegister(i);
        }
        core_->SR = 0x000000F0;
        core_->GBR = 0x0BADB000;
        core_->VBR = 0x0BAD0000;
        core_->MACH = 0x4D414348;
        core_->MACL = 0x4D41434C;
        core_->PR = 0x0BAD0400;
        core_->PC = kCodeBase;
    }

    void SetRegisters(const RegisterList &registers) {
        for (const auto &[index, value] : registers) {
            core_->R[index] = value;
        }
    }

    // Writes opcodes at `address` (host memory, unrecorded).
    void Place(uint32_t address, const std::vector<uint16_t> &opcodes) { Machine().SetWords(address, opcodes); }

    // Runs the instruction at PC exactly as the run loop does (fetch, store
    // currentOpcode, call the table entry) without ending a slice, and
    // returns the cycles it added.
    int32_t Step() {
        const int32_t before = core_->sliceCycles;
        const uint16_t opcode = sh2::FetchOpcode(*core_, core_->PC);
        core_->currentOpcode = opcode;
        sh2::OpcodeHandlerTable[opcode](*core_);
        return core_->sliceCycles - before;
    }

    // Places `opcode` at PC and runs it.
    int32_t Execute(uint16_t opcode) {
        Place(core_->PC, {opcode});
        return Step();
    }

    // Starts a fresh slice bookkeeping (as RunCycles would) without running.
    void BeginSlice() {
        core_->sliceCycles = 0;
        core_->sliceTarget = 1 << 30;
    }

    // Expects every general register to hold its background value except the
    // ones listed.
    void ExpectRegisters(const RegisterList &inputs, const RegisterList &expected, const std::string &what) {
        uint32_t want[16];
        for (int i = 0; i < 16; ++i) {
            want[i] = BackgroundRegister(i);
        }
        for (const auto &[index, value] : inputs) {
            want[index] = value;
        }
        for (const auto &[index, value] : expected) {
            want[index] = value;
        }
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(core_->R[i], want[i])
                << what << ": R" << i << " is " << Hex(core_->R[i]) << ", expected " << Hex(want[i]);
        }
    }

    void ExpectAccesses(const std::vector<HostAccess> &expected, const std::string &what) {
        EXPECT_EQ(Machine().accesses, expected)
            << what << ": host saw " << Describe(Machine().accesses) << " expected " << Describe(expected);
    }

    CoreHandle core_;
};

// A register-only instruction: inputs, T before, expected outputs, T after
// (-1: T must not change).
struct RegisterCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    int t;
    RegisterList out;
    int tOut;
    int32_t cycles = 1;
};

inline std::ostream &operator<<(std::ostream &out, const RegisterCase &c) {
    return out << c.name;
}

// Runs one register case with every SR bit other than T set (S, mask 15, Q,
// M) so that an instruction touching any SR bit besides T shows up; also
// checks PC + 2, the cycles, and that GBR, VBR, PR, MACH and MACL stay.
class RegisterInstruction : public IsaTest, public ::testing::WithParamInterface<RegisterCase> {
protected:
    void Check(const RegisterCase &c) {
        SetRegisters(c.in);
        const uint32_t otherSrBits = 0x3F2;
        Core().SR = otherSrBits | static_cast<uint32_t>(c.t);
        const int32_t cycles = Execute(c.opcode);
        ExpectRegisters(c.in, c.out, c.name);
        const uint32_t wantT = c.tOut < 0 ? static_cast<uint32_t>(c.t) : static_cast<uint32_t>(c.tOut);
        EXPECT_EQ(Core().SR, otherSrBits | wantT) << c.name;
        EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
        EXPECT_EQ(cycles, c.cycles) << c.name;
        EXPECT_EQ(Core().GBR, 0x0BADB000u) << c.name;
        EXPECT_EQ(Core().VBR, 0x0BAD0000u) << c.name;
        EXPECT_EQ(Core().PR, 0x0BAD0400u) << c.name;
        EXPECT_EQ(Core().MACH, 0x4D414348u) << c.name;
        EXPECT_EQ(Core().MACL, 0x4D41434Cu) << c.name;
        ExpectAccesses({}, c.name);
    }
};

}  // namespace sh2test
