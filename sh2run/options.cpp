#include "sh2run/options.h"

#include <cinttypes>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host_machine/host_memory.h"

namespace sh2run {
namespace {

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
    return text;
}

// Reads the number of an option; `what` names it in the message.
bool Number(const char *text, uint64_t minimum, uint64_t maximum, const std::string &what, uint64_t &value,
            std::string &error) {
    if (ParseNumber(text, minimum, maximum, value)) return true;
    error = what + ": \"" + text + "\" is not a number from " + std::to_string(minimum) + " to " +
            std::to_string(maximum) + " (decimal, or hexadecimal after 0x)";
    return false;
}

bool Address(const char *text, const char *option, std::optional<uint32_t> &out, std::string &error) {
    uint64_t value = 0;
    if (!Number(text, 0, UINT32_MAX, std::string("option ") + option, value, error)) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool Address(const char *text, const char *option, uint32_t &out, std::string &error) {
    std::optional<uint32_t> value;
    if (!Address(text, option, value, error)) return false;
    out = *value;
    return true;
}

// [master:|slave:]VECTOR,LEVEL,EVERY, once per processor.
bool InterruptRequest(const char *text, InterruptSchedule (&schedules)[2], std::string &error) {
    std::string_view all(text);
    int processor = 0;
    for (const std::string_view prefix : {"master:", "slave:"}) {
        if (all.substr(0, prefix.size()) == prefix) {
            processor = prefix == "slave:" ? 1 : 0;
            all.remove_prefix(prefix.size());
            break;
        }
    }
    InterruptSchedule &irq = schedules[processor];
    if (irq.enabled) {
        error = std::string("option --irq given twice for the ") + (processor == 0 ? "master" : "slave") +
                ": each processor has one interrupt schedule";
        return false;
    }
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t comma = all.find(',', start);
        fields.emplace_back(
            all.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() != 3) {
        error = "option --irq needs [master:|slave:]VECTOR,LEVEL,EVERY, not \"" + std::string(text) + "\"";
        return false;
    }
    uint64_t vector = 0, level = 0, every = 0;
    if (!Number(fields[0].c_str(), 0, 255, "option --irq: the vector", vector, error) ||
        !Number(fields[1].c_str(), 1, 15, "option --irq: the level", level, error) ||
        !Number(fields[2].c_str(), 1, UINT32_MAX, "option --irq: the slice count EVERY", every, error)) {
        return false;
    }
    irq = {true, static_cast<uint32_t>(vector), static_cast<uint32_t>(level), static_cast<uint32_t>(every)};
    return true;
}

struct OptionSpec {
    const char *name;
    const char *argument;  // null: the option takes none
    std::string help;
    // Applies the option (and its argument); false with `error` set.
    bool (*apply)(const char *argument, Options &options, std::string &error);
};

const std::vector<OptionSpec> &OptionTable() {
    static const std::vector<OptionSpec> table = {
        {"--plugin", "PATH",
         "the plug-in of a plain run (default: next to sh2run; the debugging modes run the built-in library)",
         [](const char *path, Options &o, std::string &) {
             o.pluginPath = path;
             return true;
         }},
        {"--raw", "ADDRESS", "PROGRAM is a raw binary to load at ADDRESS",
         [](const char *text, Options &o, std::string &error) { return Address(text, "--raw", o.rawAddress, error); }},
        {"--entry", "ADDRESS",
         "master entry point (default: the ELF entry or the raw address; an image that fills the vector table "
         "at 0..15 starts from its own reset vector)",
         [](const char *text, Options &o, std::string &error) { return Address(text, "--entry", o.entry, error); }},
        {"--sp", "ADDRESS",
         "master stack pointer (default " + Hex32(kDefaultStackTop) +
             "; an image that fills the vector table has its own)",
         [](const char *text, Options &o, std::string &error) { return Address(text, "--sp", o.stackTop, error); }},
        {"--slave-entry", "ADDRESS",
         "switch the slave on, starting at ADDRESS (without it the slave starts when the master switches it on "
         "through its port)",
         [](const char *text, Options &o, std::string &error) {
             return Address(text, "--slave-entry", o.slaveEntry, error);
         }},
        {"--slave-sp", "ADDRESS", "slave stack pointer (default " + Hex32(kDefaultSlaveStackTop) + ")",
         [](const char *text, Options &o, std::string &error) {
             return Address(text, "--slave-sp", o.slaveStackTop, error);
         }},
        {"--slice", "CYCLES",
         "cycles per slice, one SH2RunCycles call (1 to 2147483647, default " + std::to_string(kDefaultSliceCycles) +
             ")",
         [](const char *text, Options &o, std::string &error) {
             uint64_t value = 0;
             if (!Number(text, 1, INT32_MAX, "option --slice", value, error)) return false;
             o.sliceCycles = static_cast<int32_t>(value);
             return true;
         }},
        {"--max-cycles", "CYCLES",
         "stop at the first instruction boundary at or past this many master cycles (default " +
             std::to_string(kDefaultCycleLimit) + ")",
         [](const char *text, Options &o, std::string &error) {
             return Number(text, 0, UINT64_MAX, "option --max-cycles", o.cycleLimit, error);
         }},
        {"--irq", "[slave:]VEC,LEVEL,N",
         "request interrupt VEC (0 to 255) at LEVEL (1 to 15) on the master (or, after slave:, the slave) before "
         "every N-th slice; once per processor",
         [](const char *text, Options &o, std::string &error) { return InterruptRequest(text, o.irq, error); }},
        {"--stats", nullptr, "print slices, cycles, wall time and emulated MHz",
         [](const char *, Options &o, std::string &) { return o.stats = true; }},
        {"--gdb", "PORT", "serve the GDB remote protocol on 127.0.0.1:PORT (0: any free port)",
         [](const char *text, Options &o, std::string &error) {
             uint64_t port = 0;
             if (!Number(text, 0, 65535, "option --gdb", port, error)) return false;
             o.gdbPort = static_cast<uint16_t>(port);
             return true;
         }},
        {"--history", "MIB",
         "memory for the recorded history under --gdb, for going back in time (1 to 1048576 MiB, default " +
             std::to_string(kDefaultHistoryMiB) + ")",
         [](const char *text, Options &o, std::string &error) {
             uint64_t mib = 0;
             if (!Number(text, 1, 1 << 20, "option --history", mib, error)) return false;
             o.historyMemory = mib << 20;
             o.historyGiven = true;
             return true;
         }},
        {"--trace", "FILE", "write one line per instruction to FILE (- for stdout)",
         [](const char *file, Options &o, std::string &error) {
             if (*file == '\0') {
                 error = "option --trace needs a file name";
                 return false;
             }
             o.traceFile = file;
             return true;
         }},
        {"--profile", nullptr, "at exit, print cycles and instructions per function to stderr",
         [](const char *, Options &o, std::string &) { return o.profile = true; }},
        {"--profile-out", "FILE",
         "at exit, write the profile per source line and function, with the calls, in callgrind's format "
         "(the slave's to FILE.slave)",
         [](const char *file, Options &o, std::string &error) {
             if (*file == '\0') {
                 error = "option --profile-out needs a file name";
                 return false;
             }
             if (std::string_view(file) == "-") {
                 error = "option --profile-out writes a file (and FILE.slave), not standard output: give it a name";
                 return false;
             }
             o.profileOut = file;
             return true;
         }},
        {"--verbose", nullptr, "show which plug-in is loaded and its messages",
         [](const char *, Options &o, std::string &) { return o.verbose = true; }},
        {"--help", nullptr, "print this text", [](const char *, Options &o, std::string &) { return o.help = true; }},
    };
    return table;
}

// Whether two paths name the same file, existing or not. A device (such as
// /dev/null) takes any number of writers and is no one's program.
bool SameFile(const std::string &a, const std::string &b) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::file_status status = fs::status(a, code);
    if (fs::exists(status)) return !fs::is_character_file(status) && fs::equivalent(a, b, code);
    auto normal = [](const std::string &path) {
        std::error_code failed;
        const fs::path canonical = fs::weakly_canonical(path, failed);
        return failed ? fs::path(path).lexically_normal() : canonical;
    };
    return normal(a) == normal(b);
}

// The files a run writes must be neither the program nor each other.
bool CheckOutputFiles(const Options &options, std::string &error) {
    struct Output {
        std::string what, path;
    };
    std::vector<Output> outputs;
    if (!options.traceFile.empty() && options.traceFile != "-") outputs.push_back({"--trace", options.traceFile});
    if (!options.profileOut.empty()) {
        outputs.push_back({"--profile-out", options.profileOut});
        outputs.push_back({"--profile-out (the slave's FILE.slave)", options.profileOut + ".slave"});
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (SameFile(outputs[i].path, options.program)) {
            error = outputs[i].what + " " + outputs[i].path + " is the program file: it would be overwritten";
            return false;
        }
        for (size_t j = 0; j < i; ++j) {
            if (SameFile(outputs[i].path, outputs[j].path)) {
                error = outputs[j].what + " and " + outputs[i].what + " name the same file " + outputs[i].path;
                return false;
            }
        }
    }
    return true;
}

const OptionSpec *FindOption(std::string_view name) {
    for (const OptionSpec &spec : OptionTable()) {
        if (name == spec.name) return &spec;
    }
    return name == "-h" ? FindOption("--help") : nullptr;
}

}  // namespace

bool ParseNumber(std::string_view text, uint64_t minimum, uint64_t maximum, uint64_t &value) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t result = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (result > (UINT64_MAX - digit) / base) return false;  // overflow
        result = result * base + digit;
    }
    if (result < minimum || result > maximum) return false;
    value = result;
    return true;
}

bool ParseCommandLine(int argc, const char *const *argv, Options &options, std::string &error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const OptionSpec *spec = FindOption(arg);
            if (spec == nullptr) {
                error = "unknown option " + std::string(arg);
                return false;
            }
            const char *argument = nullptr;
            if (spec->argument != nullptr) {
                if (i + 1 >= argc) {
                    error = std::string("option ") + spec->name + " needs " + spec->argument;
                    return false;
                }
                argument = argv[++i];
            }
            if (!spec->apply(argument, options, error)) return false;
        } else if (options.program.empty()) {
            options.program = arg;
        } else {
            error = "more than one program given";
            return false;
        }
    }
    if (options.help) return true;
    if (options.program.empty()) {
        error = "no program given";
        return false;
    }
    if (options.gdbPort && (options.profile || !options.traceFile.empty() || !options.profileOut.empty())) {
        error = "--gdb cannot be combined with --trace, --profile or --profile-out";
        return false;
    }
    if (!options.pluginPath.empty() && options.Debugging()) {
        error =
            "--plugin cannot be combined with --gdb, --trace, --profile or --profile-out, which run the library "
            "built into sh2run, not a plug-in";
        return false;
    }
    if (options.historyGiven && !options.gdbPort) {
        error = "--history bounds the recorded history of a --gdb run and means nothing without --gdb";
        return false;
    }
    return CheckOutputFiles(options, error);
}

void PrintUsage(FILE *out) {
    std::fprintf(out,
                 "usage: sh2run [options] PROGRAM\n"
                 "Runs a big-endian SH ELF executable (or a raw binary) on the SH-2 interpreter plug-in.\n"
                 "Numbers are decimal, or hexadecimal after 0x.\n");
    for (const OptionSpec &spec : OptionTable()) {
        const std::string left = std::string(spec.name) + (spec.argument ? std::string(" ") + spec.argument : "");
        std::fprintf(out, "  %-22s %s\n", left.c_str(), spec.help.c_str());
    }
    std::fprintf(out,
                 "Ports (see the README): byte writes to %s print a character, to %s add one to the slave's\n"
                 "console line; long writes to %s end the run with that status, to %s and %s raise the\n"
                 "slave's and the master's input capture, to %s switch the slave (bit 1 resets it, bit 0\n"
                 "switches it on or off). Signals and switches take effect before the next slice.\n"
                 "Exit status: the program's status from 0 to 123; 123 for any larger one; 124 at the cycle limit;\n"
                 "125 for an error of sh2run itself; 137 when gdb kills the run or goes away.\n",
                 Hex32(sh2host::kConsolePort).c_str(), Hex32(sh2host::kSlaveConsolePort).c_str(),
                 Hex32(sh2host::kExitPort).c_str(), Hex32(sh2host::kSlaveCapturePort).c_str(),
                 Hex32(sh2host::kMasterCapturePort).c_str(), Hex32(sh2host::kSlaveControlPort).c_str());
}

}  // namespace sh2run
