// sh2run's command line: one table of options feeds both the parser and
// --help. Every number is written the same way: decimal, or hexadecimal
// after 0x, with no sign, and each option checks its range.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace sh2run {

inline constexpr uint32_t kDefaultEntry = 0x06004000;
inline constexpr uint32_t kDefaultStackTop = 0x06200000;
inline constexpr uint32_t kDefaultSlaveStackTop = 0x061F0000;
inline constexpr int32_t kDefaultSliceCycles = 10000;
inline constexpr uint64_t kDefaultCycleLimit = 10'000'000'000ull;
// The memory the recorded history of a --gdb run may take, in MiB.
inline constexpr uint64_t kDefaultHistoryMiB = 512;

// --irq [master:|slave:]VECTOR,LEVEL,EVERY: a processor's interrupt request
// before every EVERY-th slice.
struct InterruptSchedule {
    bool enabled = false;
    uint32_t vector = 0;
    uint32_t level = 0;
    uint32_t every = 1;
};

struct Options {
    std::string program;
    std::string pluginPath;
    std::optional<uint32_t> rawAddress;
    std::optional<uint32_t> entry;
    uint32_t stackTop = kDefaultStackTop;
    std::optional<uint32_t> slaveEntry;
    uint32_t slaveStackTop = kDefaultSlaveStackTop;
    int32_t sliceCycles = kDefaultSliceCycles;
    uint64_t cycleLimit = kDefaultCycleLimit;
    InterruptSchedule irq[2];  // the master's, the slave's
    bool stats = false;
    bool verbose = false;
    std::optional<uint16_t> gdbPort;
    uint64_t historyMemory = kDefaultHistoryMiB << 20;  // bytes
    bool historyGiven = false;                          // --history was given
    std::string traceFile;
    bool profile = false;
    std::string profileOut;  // --profile-out: callgrind's format
    bool help = false;

    // Whether the run needs the library linked into sh2run (the debugging
    // modes) rather than the plug-in.
    bool Debugging() const { return gdbPort.has_value() || profile || !traceFile.empty() || !profileOut.empty(); }
};

// A number in decimal or, after 0x or 0X, in hexadecimal: digits only.
// False when it is not one or lies outside [minimum, maximum].
bool ParseNumber(std::string_view text, uint64_t minimum, uint64_t maximum, uint64_t &value);

// Parses argv[1..]. False, with `error` set, when the command line is not
// valid: besides each option's own checks, a repeated --irq for one
// processor, --plugin in a
// debugging mode (which runs the linked library), --history without --gdb,
// and an output file (--trace, --profile-out and its FILE.slave) that is the
// program file or another output. --help only sets options.help.
bool ParseCommandLine(int argc, const char *const *argv, Options &options, std::string &error);

// The usage text, one line per option of the table.
void PrintUsage(FILE *out);

}  // namespace sh2run
