// The memory of the host machine that sh2run, the tests, the benchmarks and
// the fuzzers give the plug-in: flat memory in the plug-in's block format
// behind the six memory callbacks, with the machine's ports.
//
// Memory map (bits 28..31 of an address are ignored, as by the instruction
// fetch):
//   0x00000000..0x0007FFFF  block 0, 512 KiB
//   0x00200000..0x002FFFFF  block 1, 1 MiB
//   any other address       block 2, 2 MiB (0x06000000..0x061FFFFF is its
//                           natural range; other addresses alias into it)
//   0x01000000..0x01000017  the ports (below); other widths, and the
//                           addresses between them, are plain memory
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sh2_plugin.h"

namespace sh2host {

// The ports. A callback cannot tell which processor wrote, so each signal
// between the processors has a port of its own. The console and exit act
// inside the write; the signals and the slave's switch are requests that the
// host raises between slices, before the next SH2RunCycles call (the round
// after the one whose slice wrote them: RaisePortRequests).
// A byte write prints one character.
inline constexpr uint32_t kConsolePort = 0x01000000;
// A long write ends the run with that status.
inline constexpr uint32_t kExitPort = 0x01000004;
// A long write (any value) raises the slave's input capture.
inline constexpr uint32_t kSlaveCapturePort = 0x01000008;
// A long write (any value) raises the master's input capture.
inline constexpr uint32_t kMasterCapturePort = 0x0100000C;
// A long write switches the slave: bit 1 set resets it (it then starts from
// the manual-reset vectors at 8 and 12), bit 0 then switches it on (1) or off
// (0). Of several writes before one boundary, a reset asked by any of them
// comes first and the last one's bit 0 counts.
inline constexpr uint32_t kSlaveControlPort = 0x01000010;
inline constexpr uint32_t kSlaveControlOn = 1;
inline constexpr uint32_t kSlaveControlReset = 2;
// A byte write adds one character to the slave's console line: each line is
// printed whole on the console, after "[slave] ", at its newline, at 255
// characters or at the exit, so that the two processors' lines never mix.
inline constexpr uint32_t kSlaveConsolePort = 0x01000014;
inline constexpr const char *kSlaveLinePrefix = "[slave] ";

// Whether a write of `width` bytes at `address` goes to a port rather than
// to memory, while the ports are on: it changes no byte of the blocks.
bool IsPortWrite(uint32_t address, uint32_t width);

// ---------------------------------------------------------------------------
// Memory in the block format: 32-bit words in host byte order, so that the
// byte at emulated address A is the host byte at A XOR 3 on a little-endian
// host and the halfword at A is the host halfword at A XOR 2.

inline constexpr uint32_t kBlockSizes[3] = {0x80000, 0x100000, 0x200000};
// Where each block's natural range starts in emulated memory.
inline constexpr uint32_t kBlockBases[3] = {0x00000000, 0x00200000, 0x06000000};

// The three blocks: page-aligned heap allocations of exactly their sizes (so
// that AddressSanitizer reports a fetch past an end), zeroed.
class HostMemory {
public:
    HostMemory();
    ~HostMemory();
    HostMemory(const HostMemory &) = delete;
    HostMemory &operator=(const HostMemory &) = delete;

    uint32_t *Block(int index) const { return blocks_[index].get(); }
    uint8_t *Bytes(int index) const { return reinterpret_cast<uint8_t *>(Block(index)); }
    void Clear();
    // Makes the blocks read-only (the plug-in only ever reads them) or
    // writable again; false where pages cannot be protected (Windows).
    bool SetReadOnly(bool readOnly);

private:
    struct Release {
        void operator()(uint32_t *block) const;
    };
    std::unique_ptr<uint32_t[], Release> blocks_[3];
    bool readOnly_ = false;
};

struct PortState {
    bool exited = false;
    uint32_t exitStatus = 0;
    uint64_t consoleBytes = 0;
    // Where console characters go; null drops them (they are still counted).
    // Once the program has exited the console takes nothing more.
    FILE *console = stdout;
    // Called by the exit port's write once the status is recorded (sh2run
    // leaves the plug-in's slice from there); null: the run goes on to the
    // end of the slice.
    void (*onExit)() = nullptr;
    // Console characters printed so far: a stretch run again (a debugger
    // going back in time) prints only the characters past them.
    uint64_t consolePrinted = 0;
    // Whether the console is flushed after every newline (so that a pipe
    // sees each line as it is printed).
    bool flushAtNewline = false;
    // The errno of the first console write that failed (0: none). From
    // then on the console takes nothing more.
    int consoleError = 0;
    // Called by the console write that fails (sh2run ends the run there);
    // null: the run goes on.
    void (*onConsoleError)() = nullptr;

    // Requests of the signal and switch ports, raised by RaisePortRequests.
    bool masterCaptureRequested = false;
    bool slaveCaptureRequested = false;
    bool slaveResetRequested = false;
    bool slaveSwitchRequested = false;
    bool slaveSwitchOn = false;  // with slaveSwitchRequested: on, or off
    // Whether the host has switched the slave on (its own record: the
    // exports do not tell).
    bool slaveOn = false;
    // The slave's console line so far.
    static constexpr size_t kSlaveLineMax = 255;
    std::array<char, kSlaveLineMax> slaveLine{};
    size_t slaveLineLength = 0;
};

// Prints the slave's console line so far, if any, as a whole line (the run
// ends with it unfinished).
void EndSlaveLine();

// One call of a memory callback: what it read or was asked to write (writes
// masked to their width).
struct HostAccess {
    enum Kind : uint8_t { Read, Write } kind;
    uint8_t width;  // 1, 2 or 4
    uint32_t address;
    uint32_t value;
    bool operator==(const HostAccess &) const = default;
};

// What the callbacks do besides serving memory. The defaults are sh2run's
// and the benchmarks': no observer, writes stored, ports on, messages on
// stderr. Only the observed callbacks look at them (see Callbacks).
struct HostHooks {
    // Every memory callback calls it with its access: a read after reading,
    // a write before storing (the tests record the traffic here; the fuzzers
    // count calls and throw to abandon a run).
    void (*onAccess)(const HostAccess &access) = nullptr;
    // Writes are observed but change nothing (the fuzzers' read-only blocks).
    bool dropWrites = false;
    // Takes the plug-in's message lines instead of stderr.
    void (*message)(const char *text, uint32_t colour) = nullptr;
    // False: the console and exit ports are plain memory.
    bool portsEnabled = true;
};

// Which 4 KiB pages of the blocks the observed callbacks have written since
// the last Clear(), so that a debugger's recorded history copies only those.
// Writes that bypass the callbacks (loading a program, a test's direct
// writes) are not marked.
class WrittenPages {
public:
    static constexpr uint32_t kPageSize = 4096;
    static constexpr size_t kPages = (kBlockSizes[0] + kBlockSizes[1] + kBlockSizes[2]) / kPageSize;
    // The page, counted over the three blocks in order, that holds the byte
    // `address` reaches.
    static size_t PageOf(uint32_t address);
    void Mark(uint32_t address) { MarkPage(PageOf(address)); }
    void MarkPage(size_t page) { bits_[page / 64] |= uint64_t{1} << (page % 64); }
    bool Written(size_t page) const { return (bits_[page / 64] >> (page % 64) & 1) != 0; }
    void Clear() { bits_ = {}; }
    // Whether the callbacks in use mark what they write (the observed set).
    bool tracked = false;

private:
    std::array<uint64_t, (kPages + 63) / 64> bits_{};
};

// The memory, ports and hooks the callbacks serve. The callbacks carry no
// context, so there is one machine per process: UseMemory selects its memory.
void UseMemory(HostMemory *selected);
extern PortState ports;
extern HostHooks hooks;
extern WrittenPages writtenPages;
// Whether the plug-in's messages are dropped (true) or printed to stderr.
extern bool quietMessages;

// The block whose natural range holds `address` (0x00000000..0x0007FFFF,
// 0x00200000..0x002FFFFF or 0x06000000..0x061FFFFF: no alias), or -1.
int BlockHolding(uint32_t address);
// The address in a block's natural range of the byte that `address` reaches
// (every address reaches one, as the instruction fetch maps it).
uint32_t NaturalAddress(uint32_t address);
// Emulated memory seen through the selected blocks, without the hooks. Every
// address maps into a block by bits 20..27, as the instruction fetch does.
uint8_t ReadByteAt(uint32_t address);
void WriteByteAt(uint32_t address, uint8_t value);
uint16_t ReadWordAt(uint32_t address);
void WriteWordAt(uint32_t address, uint16_t value);
uint32_t ReadLongAt(uint32_t address);
void WriteLongAt(uint32_t address, uint32_t value);
// Zeroes `size` bytes from `address`, which must lie inside one block's
// natural range, whole words at a time.
void ZeroBytesAt(uint32_t address, uint64_t size);

// Flushes the console; a failure is noted in ports.consoleError (without
// calling onConsoleError). False when the console has failed, now or before.
bool FlushConsole();

// Which memory callbacks a host record gets. Plain ones serve memory and
// nothing else (a plain run, the benchmarks). Observed ones also hand every
// access to hooks.onAccess (when it is set at the time), drop writes under
// hooks.dropWrites and mark the pages they write (the debugger's history,
// the tests, the fuzzers).
enum class Callbacks { Plain, Observed };

// The host record over `memory`: the six callbacks, the three blocks and the
// message callback.
SH2HostInterface MakeHostInterface(const HostMemory &memory, Callbacks callbacks);

}  // namespace sh2host
