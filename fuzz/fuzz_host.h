// The host machine shared by the fuzz targets: three host memory blocks of
// exactly their minimum sizes, six memory callbacks that map every address
// into those blocks, a message callback and a modal box handler, all of which
// count what they see and stop the process on anything the library must never
// do.
//
// The blocks are page-aligned heap allocations of exactly 0x80000, 0x100000
// and 0x200000 bytes, so that AddressSanitizer reports any fetch beyond their
// ends, and they are read-only while the library runs: the library may only
// read them (instruction fetch), never write them. Writes through the host's
// own callbacks are checked and counted but change nothing, so the blocks hold
// exactly what the driver put there.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
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

inline constexpr uint32_t kBlockSizes[3] = {0x80000, 0x100000, 0x200000};
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

    uint8_t *Block(int index) { return blocks_[index]; }

    // The blocks are writable only between runs of the library.
    void Unprotect() { Protect(PROT_READ | PROT_WRITE); }
    void Protect() { Protect(PROT_READ); }

    // Fills every block with one emulated halfword (big-endian view) repeated.
    void Fill(uint16_t halfword) {
        const uint32_t word = (uint32_t{halfword} << 16) | halfword;
        for (int b = 0; b < 3; ++b) {
            std::memcpy(blocks_[b], &word, 4);
            for (uint32_t done = 4; done < kBlockSizes[b]; done *= 2) {
                std::memcpy(blocks_[b] + done, blocks_[b], done);
            }
        }
    }

    // Copies emulated big-endian bytes to block offset `offset` in the block
    // format (32-bit words in host, little-endian, order: the byte of emulated
    // offset o lies at o XOR 3); bytes past the block's end are left out.
    void Place(int block, uint32_t offset, const uint8_t *bytes, size_t count) {
        for (size_t i = 0; i < count && offset + i < kBlockSizes[block]; ++i) {
            blocks_[block][(offset + i) ^ 3u] = bytes[i];
        }
    }
    void PlaceLong(int block, uint32_t offset, uint32_t value) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                                  static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
        Place(block, offset, bytes, 4);
    }

    // The byte of emulated address A, mapped by bits 20..27 as the fetch does;
    // every host access goes through here.
    uint8_t ByteAt(uint32_t address) const {
        const uint32_t region = address & 0x0FF00000u;
        int block;
        uint32_t offset;
        if (region == 0) {
            block = 0;
            offset = address & 0x7FFFFu;
        } else if (region == 0x00200000u) {
            block = 1;
            offset = address & 0xFFFFFu;
        } else {
            block = 2;
            offset = address & 0x1FFFFFu;
        }
        offset ^= 3u;
        Check(offset < kBlockSizes[block], "host access outside its block");
        return blocks_[block][offset];
    }

    SH2HostInterface Interface() const;

    // Calls of the memory callbacks are allowed only while this is set: the
    // driver sets it around the exports that may reach the host.
    bool hostCallsAllowed = false;
    uint64_t callBudget = UINT64_MAX;
    HostCounters counters;

    // Starts a new input: counters cleared, budget set, box handler installed.
    void BeginInput(uint64_t budget) {
        counters = HostCounters{};
        callBudget = budget;
        hostCallsAllowed = false;
        sh2::SetModalBoxHandler(CountBox);
    }

    void NoteCall(bool write) {
        Check(hostCallsAllowed, "host memory callback outside InitSH2Plugin, a reset or SH2RunCycles");
        if (write) {
            ++counters.writes;
        } else {
            ++counters.reads;
        }
        if (counters.Calls() > callBudget) {
            throw HostBudgetExceeded{};
        }
    }

private:
    FuzzHost() {
        for (int b = 0; b < 3; ++b) {
            blocks_[b] = static_cast<uint8_t *>(std::aligned_alloc(4096, kBlockSizes[b]));
            Check(blocks_[b] != nullptr, "no memory for the host blocks");
            std::memset(blocks_[b], 0, kBlockSizes[b]);
        }
    }

    void Protect(int protection) {
        for (int b = 0; b < 3; ++b) {
            Check(mprotect(blocks_[b], kBlockSizes[b], protection) == 0, "mprotect");
        }
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
            Check(std::strcmp(text, "SH2 interpreter plugin Ver 1.2") == 0, "About box text");
            ++c.aboutBoxes;
        } else {
            Fail("modal box with an unknown caption");
        }
    }

    uint8_t *blocks_[3];
};

inline uint8_t SH2_FASTCALL FuzzReadByte(uint32_t address) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(false);
    return host.ByteAt(address);
}
inline uint16_t SH2_FASTCALL FuzzReadWord(uint32_t address) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(false);
    return static_cast<uint16_t>((host.ByteAt(address) << 8) | host.ByteAt(address + 1));
}
inline uint32_t SH2_FASTCALL FuzzReadLong(uint32_t address) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(false);
    return (uint32_t{host.ByteAt(address)} << 24) | (uint32_t{host.ByteAt(address + 1)} << 16) |
           (uint32_t{host.ByteAt(address + 2)} << 8) | host.ByteAt(address + 3);
}
// Writes are mapped and checked like reads, then dropped: the blocks stay as
// the driver filled them.
inline void SH2_FASTCALL FuzzWriteByte(uint32_t address, uint32_t) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(true);
    (void)host.ByteAt(address);
}
inline void SH2_FASTCALL FuzzWriteWord(uint32_t address, uint32_t) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(true);
    (void)host.ByteAt(address);
    (void)host.ByteAt(address + 1);
}
inline void SH2_FASTCALL FuzzWriteLong(uint32_t address, uint32_t) {
    FuzzHost &host = FuzzHost::Get();
    host.NoteCall(true);
    (void)host.ByteAt(address);
    (void)host.ByteAt(address + 3);
}
inline void SH2_CDECL FuzzMessage(const char *text, uint32_t colour) {
    Check(text != nullptr && text[0] != '\0', "empty message line");
    Check(colour == kMessageColour, "message colour");
    ++FuzzHost::Get().counters.messages;
}

inline SH2HostInterface FuzzHost::Interface() const {
    SH2HostInterface host{};
    host.ReadByte = FuzzReadByte;
    host.ReadWord = FuzzReadWord;
    host.ReadLong = FuzzReadLong;
    host.WriteByte = FuzzWriteByte;
    host.WriteWord = FuzzWriteWord;
    host.WriteLong = FuzzWriteLong;
    host.MemoryBlock0 = blocks_[0];
    host.MemoryBlock1 = blocks_[1];
    host.MemoryBlock2 = blocks_[2];
    host.ShowMessage = FuzzMessage;
    return host;
}

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
