// The host of the tests: sh2run's host machine with a record of every
// callback call, captured message lines and captured modal boxes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/sh2_core.h"
#include "host_machine/host_memory.h"
#include "sh2_plugin.h"

namespace sh2test {

using sh2host::HostAccess;

inline HostAccess Read(uint8_t width, uint32_t address, uint32_t value) {
    return {HostAccess::Read, width, address, value};
}
inline HostAccess Write(uint8_t width, uint32_t address, uint32_t value) {
    return {HostAccess::Write, width, address, value};
}

// One line per access, so that a mismatch shows as a readable diff.
inline std::string Describe(const std::vector<HostAccess> &accesses) {
    std::string text;
    for (const HostAccess &access : accesses) {
        char line[64];
        std::snprintf(line, sizeof line, "%s%u @%08X = %08X\n", access.kind == HostAccess::Read ? "R" : "W",
                      static_cast<unsigned>(access.width), static_cast<unsigned>(access.address),
                      static_cast<unsigned>(access.value));
        text += line;
    }
    return text.empty() ? "(no host access)\n" : text;
}

struct ShownBox {
    std::string caption;
    std::string text;
    uint32_t flags;
};

struct HostMessageLine {
    std::string text;
    uint32_t colour;
};

// The test machine: sh2run's host machine with its ports off, every callback
// call recorded while `recording` is on, message lines and modal boxes
// captured. There is one per process; Reset() gives a clean one.
class TestMachine {
public:
    static TestMachine &Get();

    // Clears memory, records, boxes and messages and installs the hooks and
    // the box handler.
    void Reset();
    SH2HostInterface Interface() const { return sh2host::MakeHostInterface(memory_, sh2host::Callbacks::Observed); }

    // Emulated memory (big-endian view) in the blocks, bypassing the record.
    uint8_t Byte(uint32_t address) const { return sh2host::ReadByteAt(address); }
    uint16_t Word(uint32_t address) const { return sh2host::ReadWordAt(address); }
    uint32_t Long(uint32_t address) const { return sh2host::ReadLongAt(address); }
    void SetByte(uint32_t address, uint8_t value) { sh2host::WriteByteAt(address, value); }
    void SetWord(uint32_t address, uint16_t value) { sh2host::WriteWordAt(address, value); }
    void SetLong(uint32_t address, uint32_t value) { sh2host::WriteLongAt(address, value); }
    void SetWords(uint32_t address, const std::vector<uint16_t> &words);

    std::vector<HostAccess> accesses;
    bool recording = true;
    std::vector<ShownBox> boxes;
    std::vector<HostMessageLine> messages;

    const uint8_t *BlockBase(int index) const { return memory_.Bytes(index); }
    sh2host::HostMemory &Memory() { return memory_; }

private:
    TestMachine() { sh2host::UseMemory(&memory_); }
    sh2host::HostMemory memory_;
};

// A core created directly on the test machine, with the vector table at 0..15
// pointing PC at `entry` and SP at `stack` (for both power-on and reset).
struct CoreHandle {
    sh2::SH2Core *core = nullptr;
    CoreHandle() = default;
    CoreHandle(const CoreHandle &) = delete;
    CoreHandle &operator=(const CoreHandle &) = delete;
    ~CoreHandle();
    sh2::SH2Core &operator*() const { return *core; }
    sh2::SH2Core *operator->() const { return core; }
};
void MakeCore(CoreHandle &handle, bool isMaster = true, uint32_t entry = 0x1000, uint32_t stack = 0x7F000);

// The base of the on-chip tests (the memory bus and the peripherals): a
// fresh test machine and a core on it, with nothing recorded yet. Fresh()
// starts over within a test.
class OnChipTest : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void Fresh() {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
    }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// The name of a parameterised test's case: its `name` with every character
// but letters and digits made '_', and its index, so that names stay unique.
struct CaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &test) const {
        std::string name(test.param.name);
        for (char &c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name + "_" + std::to_string(test.index);
    }
};

// The name of a parameterised test's case keyed by an `address`: the address
// in hex, e.g. "at_FFFFFE00".
struct AddressName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &test) const {
        char text[16];
        std::snprintf(text, sizeof text, "at_%08X", static_cast<unsigned>(test.param.address));
        return text;
    }
};

// The raw bytes of a core's state, for "nothing at all changed" checks.
inline std::vector<unsigned char> BytesOf(const sh2::SH2Core &core) {
    const auto *state = reinterpret_cast<const unsigned char *>(static_cast<const sh2::SH2State *>(&core));
    return std::vector<unsigned char>(state, state + sizeof(sh2::SH2State));
}

// The 16-bit value of the register image at `address` (big-endian), read
// without going through the memory layer.
inline uint16_t ImageWordAt(const sh2::SH2Core &core, uint32_t address) {
    const uint32_t o = address & 0x1FF;
    return static_cast<uint16_t>((core.OnChipRegisterFile[o] << 8) | core.OnChipRegisterFile[(o + 1) & 0x1FF]);
}

}  // namespace sh2test
