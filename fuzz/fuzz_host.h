// The fuzz targets' view of the host machine (host_machine/): its
// three blocks of exactly their minimum sizes, read-only while the library
// runs, and hooks that count every callback, message line and modal box and
// stop the process on anything the library must never do.
//
// The library may only read the blocks (instruction fetch), never write
// them. Writes through the host's own callbacks are counted but dropped, so
// the blocks hold exactly what the driver put there.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "host_machine/host_memory.h"
#include "plugin/version.h"
#include "sh2_plugin.h"

namespace sh2fuzz {

// Reports a broken expectation and stops the process, so that libFuzzer keeps
// the input that led to it.
[[noreturn]] inline void Fail(const char *what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool condition, const char *what) {
    if (!condition) {
        Fail(what);
    }
}

// Reads the fuzz input from the front; past its end every read yields 0.
class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    size_t Remaining() const { return size_ - position_; }
    bool Empty() const { return position_ >= size_; }

    uint8_t U8() { return position_ < size_ ? data_[position_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>((U8() << 8) | U8()); }
    uint32_t U32() {
        const uint32_t high = U16();
        return (high << 16) | U16();
    }
    // Up to `count` bytes; `taken` receives how many there were.
    const uint8_t *Bytes(size_t count, size_t &taken) {
        taken = count < Remaining() ? count : Remaining();
        const uint8_t *start = data_ + position_;
        position_ += taken;
        return start;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t position_ = 0;
};

// Thrown by the memory callbacks once an input has used up its budget of host
// calls (a DMA transfer of 2^24 units is legal and costs 2^25 or more calls).
// The driver catches it, tears the library down and goes on with the next
// input; nothing in the library is asked to survive it.
struct HostBudgetExceeded {};

using sh2host::kBlockSizes;
inline constexpr uint32_t kMessageColour = 0x0032FF32;

struct HostCounters {
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint64_t messages = 0;
    uint64_t errorBoxes = 0;    // "Error": undefined opcode
    uint64_t warningBoxes = 0;  // "Warning": single address mode DMA
    uint64_t aboutBoxes = 0;    // "About": DisplayPluginInfo
    uint64_t Calls() const { return reads + writes; }
};

class FuzzHost {
public:
    static FuzzHost &Get() {
        static FuzzHost host;
        return host;
    }

    // The blocks are writable only between runs of the library.
    void Unprotect() { Check(memory_.SetReadOnly(false), "mprotect"); }
    void Protect() { Check(memory_.SetReadOnly(true), "mprotect"); }

    // Fills every block with one emulated halfword repeated.
    void Fill(uint16_t halfword) {
        for (int b = 0; b < 3; ++b) {
            std::fill_n(memory_.Block(b), kBlockSizes[b] / 4, (uint32_t{halfword} << 16) | halfword);
        }
    }

    // Copies emulated big-endian bytes to block offset `offset`; bytes past
    // the block's end are left out.
    void Place(int block, uint32_t offset, const uint8_t *bytes, size_t count) {
        for (size_t i = 0; i < count && offset + i < kBlockSizes[block]; ++i) {
            sh2host::WriteByteAt(sh2host::kBlockBases[block] + offset + static_cast<uint32_t>(i), bytes[i]);
        }
    }
    void PlaceLong(int block, uint32_t offset, uint32_t value) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                                  static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
        Place(block, offset, bytes, 4);
    }

    SH2HostInterface Interface() const { return sh2host::MakeHostInterface(memory_, sh2host::Callbacks::Observed); }

    // Calls of the memory callbacks are allowed only while this is set: the
    // driver sets it around the exports that may reach the host.
    bool hostCallsAllowed = false;
    uint64_t callBudget = UINT64_MAX;
    HostCounters counters;

    // Starts a new input: counters cleared, budget set, hooks and box handler
    // installed.
    void BeginInput(uint64_t budget) {
        counters = HostCounters{};
        callBudget = budget;
        hostCallsAllowed = false;
        sh2host::hooks = {.onAccess = CountAccess, .dropWrites = true, .message = CountMessage, .portsEnabled = false};
        sh2::SetModalBoxHandler(CountBox);
    }

private:
    FuzzHost() { sh2host::UseMemory(&memory_); }

    static void CountAccess(const sh2host::HostAccess &access) {
        FuzzHost &host = Get();
        Check(host.hostCallsAllowed, "host memory callback outside InitSH2Plugin, a reset or SH2RunCycles");
        ++(access.kind == sh2host::HostAccess::Write ? host.counters.writes : host.counters.reads);
        if (host.counters.Calls() > host.callBudget) {
            throw HostBudgetExceeded{};
        }
    }

    static void CountMessage(const char *text, uint32_t colour) {
        Check(text != nullptr && text[0] != '\0', "empty message line");
        Check(colour == kMessageColour, "message colour");
        ++Get().counters.messages;
    }

    static void CountBox(const char *caption, const char *text, uint32_t flags) {
        HostCounters &c = Get().counters;
        if (std::strcmp(caption, "Error") == 0) {
            Check(flags == 0x10, "Error box flags");
            Check(std::strncmp(text, "Unknown opcode ", 15) == 0, "Error box text");
            ++c.errorBoxes;
        } else if (std::strcmp(caption, "Warning") == 0) {
            Check(flags == 0x40, "Warning box flags");
            Check(std::strcmp(text, "Single address mode DMA requested, not supported") == 0, "Warning box text");
            ++c.warningBoxes;
        } else if (std::strcmp(caption, "About") == 0) {
            Check(flags == 0x40, "About box flags");
            Check(std::strcmp(text, "SH2 interpreter plugin Ver " SH2_PLUGIN_VERSION) == 0, "About box text");
            ++c.aboutBoxes;
        } else {
            Fail("modal box with an unknown caption");
        }
    }

    sh2host::HostMemory memory_;
};

// Marks the stretch in which the library may call the host's memory
// callbacks.
class HostCallWindow {
public:
    HostCallWindow() { FuzzHost::Get().hostCallsAllowed = true; }
    ~HostCallWindow() { FuzzHost::Get().hostCallsAllowed = false; }
    HostCallWindow(const HostCallWindow &) = delete;
    HostCallWindow &operator=(const HostCallWindow &) = delete;
};

// The most cycles one step of the run loop can add: RTE (4) with TRAPA (8) in
// its delay slot. A branch in a slot adds only its own cost and runs no slot
// of its own.
inline constexpr int32_t kLongestStep = 12;

}  // namespace sh2fuzz
