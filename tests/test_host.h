// A host for tests: flat memory in the plug-in's block format behind the six
// memory callbacks, a record of every callback call, captured message lines
// and captured modal boxes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/sh2_core.h"
#include "sh2_plugin.h"

namespace sh2test {

struct HostAccess {
    enum Kind : uint8_t { Read, Write } kind;
    uint8_t width;  // 1, 2 or 4
    uint32_t address;
    uint32_t value;
    bool operator==(const HostAccess &) const = default;
};

struct ShownBox {
    std::string caption;
    std::string text;
    uint32_t flags;
};

struct HostMessageLine {
    std::string text;
    uint32_t colour;
};

// The test machine. Callbacks are plain functions, so there is one machine
// per process; Reset() gives a clean one.
class TestMachine {
public:
    static constexpr uint32_t kBlock0Size = 0x80000;
    static constexpr uint32_t kBlock1Size = 0x100000;
    static constexpr uint32_t kBlock2Size = 0x200000;

    static TestMachine &Get();

    // Clears memory, records, boxes and messages and installs the box handler.
    void Reset();
    SH2HostInterface Interface() const;

    // Emulated memory (big-endian view) in the blocks, bypassing the record.
    // Every address maps into a block by bits 20..27, as the fetch does.
    uint8_t Byte(uint32_t address) const;
    uint16_t Word(uint32_t address) const;
    uint32_t Long(uint32_t address) const;
    void SetByte(uint32_t address, uint8_t value);
    void SetWord(uint32_t address, uint16_t value);
    void SetLong(uint32_t address, uint32_t value);
    void SetWords(uint32_t address, std::initializer_list<uint16_t> words);
    void SetWords(uint32_t address, const std::vector<uint16_t> &words);

    // The six callbacks record their calls here while recording is on.
    std::vector<HostAccess> accesses;
    bool recording = true;
    std::vector<ShownBox> boxes;
    std::vector<HostMessageLine> messages;

    const uint8_t *BlockBase(int index) const { return blocks_[index].data(); }

private:
    TestMachine();
    uint8_t *Locate(uint32_t address);
    const uint8_t *Locate(uint32_t address) const;
    std::vector<uint8_t> blocks_[3];
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

}  // namespace sh2test
