// sh2run: a command-line host for the SH-2 interpreter plug-in.
//
// It loads the plug-in at run time and drives it only through its fourteen
// exports, the way a host emulator does: flat memory in the plug-in's block
// format behind the six memory callbacks, a program loaded from a big-endian
// SH ELF executable or a raw binary, a vector table, and two memory-mapped
// ports through which the program prints characters and ends the run.
//
// The host machine itself (memory map, ports, plug-in loading, ELF loader) is
// in host_machine.h.
//
// The debugging modes (--gdb, --trace, --profile) need to see the processors
// between instructions, which the fourteen exports do not allow: they run the
// library linked into sh2run (debug_machine.h) instead of the plug-in.
#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host_machine.h"
#if defined(SH2RUN_DEBUGGING)
#include "debug_machine.h"
#include "gdb_server.h"
#if !defined(_WIN32)
#include "gdb_socket.h"
#endif
#endif
#if !defined(_WIN32)
#include <climits>
#include <unistd.h>
#endif

namespace {

using namespace sh2host;

constexpr uint32_t kDefaultEntry = 0x06004000;
constexpr uint32_t kDefaultStackTop = 0x06200000;
constexpr uint32_t kDefaultSlaveStackTop = 0x061F0000;

// Exit codes of the runner itself; a program's own status is passed through.
constexpr int kExitUsage = 125;
constexpr int kExitCycleLimit = 124;
// A debugging run that gdb killed or walked away from.
constexpr int kExitKilled = 137;

// ---------------------------------------------------------------------------
// Command line.

struct Options {
    std::string program;
    std::string pluginPath;
    std::optional<uint32_t> rawAddress;
    std::optional<uint32_t> entry;
    uint32_t stackTop = kDefaultStackTop;
    std::optional<uint32_t> slaveEntry;
    uint32_t slaveStackTop = kDefaultSlaveStackTop;
    int32_t sliceCycles = 10000;
    uint64_t cycleLimit = 10'000'000'000ull;
    bool irq = false;
    uint32_t irqVector = 0, irqLevel = 0, irqEvery = 1;
    bool stats = false;
    bool verbose = false;
    std::optional<uint16_t> gdbPort;
    std::string traceFile;
    bool profile = false;
};

void Usage(FILE *out) {
    std::fprintf(out,
                 "usage: sh2run [options] PROGRAM\n"
                 "Runs a big-endian SH ELF executable (or a raw binary) on the SH-2 interpreter plug-in.\n"
                 "  --plugin PATH        the plug-in to load (default: next to sh2run)\n"
                 "  --raw ADDRESS        PROGRAM is a raw binary to load at ADDRESS\n"
                 "  --entry ADDRESS      master entry point (default: the ELF entry or the raw address)\n"
                 "  --sp ADDRESS         master stack pointer (default 0x%08" PRIX32 ")\n"
                 "  --slave-entry ADDR   switch the slave on, starting at ADDR\n"
                 "  --slave-sp ADDRESS   slave stack pointer (default 0x%08" PRIX32 ")\n"
                 "  --slice CYCLES       cycles per SH2RunCycles call (default 10000)\n"
                 "  --max-cycles CYCLES  stop after this many master cycles (default 10000000000)\n"
                 "  --irq VEC,LEVEL,N    request interrupt VEC at LEVEL on the master every N slices\n"
                 "  --stats              print slices, cycles, wall time and emulated MHz\n"
                 "  --gdb PORT           serve the GDB remote protocol on 127.0.0.1:PORT (0: any free port)\n"
                 "  --trace FILE         write one line per instruction to FILE (- for stdout)\n"
                 "  --profile            at exit, print cycles and instructions per function to stderr\n"
                 "  --verbose            show which plug-in is loaded and its messages\n"
                 "Ports: a byte write to 0x%08" PRIX32 " prints a character; a long write to 0x%08" PRIX32
                 " ends the run with that status.\n",
                 kDefaultStackTop, kDefaultSlaveStackTop, kConsolePort, kExitPort);
}

bool ParseNumber(const char *text, uint64_t limit, uint64_t &value) {
    if (!text || !*text) return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || text[0] == '-' || parsed > limit) return false;
    value = parsed;
    return true;
}

bool ParseOptions(int argc, char **argv, Options &options, std::string &error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](uint64_t limit, uint64_t &out) {
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], limit, out)) {
                error = "option " + arg + " needs a number" + (i + 1 < argc ? std::string(", not ") + argv[i + 1] : "");
                return false;
            }
            ++i;
            return true;
        };
        uint64_t n = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            std::exit(0);
        } else if (arg == "--plugin") {
            if (i + 1 >= argc) {
                error = "option --plugin needs a path";
                return false;
            }
            options.pluginPath = argv[++i];
        } else if (arg == "--raw") {
            if (!value(0xFFFFFFFFu, n)) return false;
            options.rawAddress = static_cast<uint32_t>(n);
        } else if (arg == "--entry") {
            if (!value(0xFFFFFFFFu, n)) return false;
            options.entry = static_cast<uint32_t>(n);
        } else if (arg == "--sp") {
            if (!value(0xFFFFFFFFu, n)) return false;
            options.stackTop = static_cast<uint32_t>(n);
        } else if (arg == "--slave-entry") {
            if (!value(0xFFFFFFFFu, n)) return false;
            options.slaveEntry = static_cast<uint32_t>(n);
        } else if (arg == "--slave-sp") {
            if (!value(0xFFFFFFFFu, n)) return false;
            options.slaveStackTop = static_cast<uint32_t>(n);
        } else if (arg == "--slice") {
            if (!value(0x7FFFFFFF, n) || n == 0) {
                error = "option --slice needs a cycle count from 1 to 2147483647";
                return false;
            }
            options.sliceCycles = static_cast<int32_t>(n);
        } else if (arg == "--max-cycles") {
            if (!value(UINT64_MAX, n)) return false;
            options.cycleLimit = n;
        } else if (arg == "--irq") {
            unsigned vector = 0, level = 0, every = 0;
            char tail = 0;
            if (i + 1 >= argc || std::sscanf(argv[i + 1], "%u,%u,%u%c", &vector, &level, &every, &tail) != 3 ||
                vector > 255 || level < 1 || level > 15 || every == 0) {
                error = "option --irq needs VECTOR,LEVEL,EVERY (vector 0..255, level 1..15, every >= 1)";
                return false;
            }
            ++i;
            options.irq = true;
            options.irqVector = vector;
            options.irqLevel = level;
            options.irqEvery = every;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--gdb") {
            if (!value(0xFFFF, n)) return false;
            options.gdbPort = static_cast<uint16_t>(n);
        } else if (arg == "--trace") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = "option --trace needs a file name";
                return false;
            }
            options.traceFile = argv[++i];
        } else if (arg == "--profile") {
            options.profile = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.program.empty()) {
            options.program = arg;
        } else {
            error = "more than one program given";
            return false;
        }
    }
    if (options.program.empty()) {
        error = "no program given";
        return false;
    }
    if (options.gdbPort && (options.profile || !options.traceFile.empty())) {
        error = "--gdb cannot be combined with --trace or --profile";
        return false;
    }
    return true;
}

bool Debugging(const Options &options) { return options.gdbPort || options.profile || !options.traceFile.empty(); }

bool FileExists(const std::string &path) { return std::ifstream(path).good(); }

// The plug-in next to sh2run as it was called, then next to and in ../lib of
// the real executable (an installed sh2run in PREFIX/bin finds PREFIX/lib),
// then the one of the build tree.
std::string DefaultPluginPath(const char *argv0) {
#if defined(_WIN32)
    const char *name = "sh2_interpreter.dll";
#else
    const char *name = "libsh2_interpreter.so";
#endif
    std::string self = argv0 ? argv0 : "";
    const size_t slash = self.find_last_of("/\\");
    if (slash != std::string::npos) {
        const std::string beside = self.substr(0, slash + 1) + name;
        if (FileExists(beside)) return beside;
    }
#if !defined(_WIN32)
    char real[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", real, sizeof real - 1);
    if (length > 0) {
        const std::string executable(real, static_cast<size_t>(length));
        const std::string directory = executable.substr(0, executable.find_last_of('/') + 1);
        for (const std::string &candidate : {directory + name, directory + "../lib/" + name}) {
            if (FileExists(candidate)) return candidate;
        }
    }
#endif
#if defined(SH2RUN_DEFAULT_PLUGIN)
    if (FileExists(SH2RUN_DEFAULT_PLUGIN)) return SH2RUN_DEFAULT_PLUGIN;
#endif
    return slash == std::string::npos ? std::string("./") + name : self.substr(0, slash + 1) + name;
}

int Fail(const std::string &message) {
    std::fprintf(stderr, "sh2run: %s\n", message.c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "sh2run: %s\n", error.c_str());
        Usage(stderr);
        return kExitUsage;
    }
    quietMessages = !options.verbose;

    std::vector<uint8_t> file;
    if (!ReadFile(options.program, file)) return Fail("cannot open " + options.program);

    HostMemory hostMemory;
    UseMemory(&hostMemory);
    LoadedImage image;
    const bool isElf = file.size() >= 4 && file[0] == 0x7F && file[1] == 'E' && file[2] == 'L' && file[3] == 'F';
    if (options.rawAddress) {
        if (file.empty()) return Fail(options.program + ": empty file");
        if (!StoreBytes(*options.rawAddress, file.data(), file.size(), image, error)) {
            return Fail(options.program + ": " + error);
        }
        image.entry = *options.rawAddress;
        image.hasEntry = true;
    } else if (isElf) {
        if (!LoadElf(file, image, error)) return Fail(options.program + ": " + error);
    } else {
        return Fail(options.program + ": not an ELF file (use --raw ADDRESS for a raw binary)");
    }
    const uint32_t entry = options.entry.value_or(image.hasEntry ? image.entry : kDefaultEntry);
    if (!image.coversVectorTable) {
        // Power-on and manual reset: PC, SP.
        WriteLongAt(0, entry);
        WriteLongAt(4, options.stackTop);
        WriteLongAt(8, entry);
        WriteLongAt(12, options.stackTop);
    }

    Plugin plugin;
    if (Debugging(options)) {
#if defined(SH2RUN_DEBUGGING)
        BindLinkedLibrary(plugin);
#else
        return Fail("this sh2run was built without --gdb, --trace and --profile");
#endif
    } else {
        const std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath(argv[0]) : options.pluginPath;
        if (!plugin.Load(pluginPath, error)) return Fail(error);
        if (options.verbose) std::fprintf(stderr, "sh2run: plug-in %s\n", pluginPath.c_str());
    }

    SH2HostInterface host = MakeHostInterface(hostMemory);
    if (!plugin.InitSH2Plugin(&host)) {
        plugin.DeInitPlugin();
        return Fail("the plug-in failed to initialise");
    }
    if (options.entry && image.coversVectorTable) plugin.MasterSH2SetPC(*options.entry);
    if (options.slaveEntry) {
        // The slave takes its own PC and SP from a manual reset through the
        // reset vectors, which are put back afterwards.
        const uint32_t savedPc = ReadLongAt(8), savedSp = ReadLongAt(12);
        WriteLongAt(8, *options.slaveEntry);
        WriteLongAt(12, options.slaveStackTop);
        plugin.ResetSlaveSH2();
        WriteLongAt(8, savedPc);
        WriteLongAt(12, savedSp);
        plugin.SlaveSH2On();
    }

    uint64_t slices = 0, cycles = 0;
    const auto started = std::chrono::steady_clock::now();
#if defined(SH2RUN_DEBUGGING)
    if (options.gdbPort) {
#if defined(_WIN32)
        plugin.DeInitPlugin();
        return Fail("--gdb is not available on Windows");
#else
        MachineTarget::Settings settings;
        settings.sliceCycles = options.sliceCycles;
        settings.irq = options.irq;
        settings.irqVector = options.irqVector;
        settings.irqLevel = options.irqLevel;
        settings.irqEvery = options.irqEvery;
        MachineTarget target(settings);
        sh2gdb::GdbServer server(target);
        sh2gdb::ClientEnd end = sh2gdb::ClientEnd::Disconnected;
        if (!sh2gdb::ServeOverTcp(server, *options.gdbPort, stderr, end, error)) {
            plugin.DeInitPlugin();
            return Fail(error);
        }
        if (end == sh2gdb::ClientEnd::Detached) target.RunToEnd(options.cycleLimit);
        std::fflush(stdout);
        plugin.DeInitPlugin();
        if (options.stats) std::fprintf(stderr, "emulated cycles: %" PRIu64 "\n", target.masterCycles());
        if (end != sh2gdb::ClientEnd::Detached && !ports.exited) return kExitKilled;
        if (!ports.exited) {
            std::fprintf(stderr, "sh2run: cycle limit of %" PRIu64 " reached without an exit\n", options.cycleLimit);
            return kExitCycleLimit;
        }
        return static_cast<int>(ports.exitStatus & 0xFF);
#endif
    }
    if (Debugging(options)) {
        FILE *traceOut = nullptr;
        if (!options.traceFile.empty()) {
            traceOut = options.traceFile == "-" ? stdout : std::fopen(options.traceFile.c_str(), "w");
            if (traceOut == nullptr) {
                plugin.DeInitPlugin();
                return Fail("cannot write " + options.traceFile);
            }
        }
        std::optional<TraceWriter> trace;
        if (traceOut != nullptr) trace.emplace(traceOut);
        std::optional<Profiler> profiler;
        if (options.profile) profiler.emplace(image.functions);
        StepRecorder recorder([&](const Step &step) {
            if (trace) trace->Write(step);
            if (profiler) profiler->Add(step);
        });
        while (!ports.exited && cycles < options.cycleLimit) {
            if (options.irq && slices % options.irqEvery == options.irqEvery - 1) {
                plugin.MasterSH2InterruptRequest(options.irqVector, options.irqLevel);
            }
            const int32_t ran = RunRecordedRound(options.sliceCycles, recorder);
            cycles += ran > 0 ? static_cast<uint64_t>(ran) : 0;
            ++slices;
        }
        std::fflush(stdout);
        if (traceOut != nullptr && traceOut != stdout) std::fclose(traceOut);
        if (profiler) {
            for (int core = 0; core < 2; ++core) {
                if (core == 0 || profiler->Ran(core)) profiler->Print(stderr, core);
            }
        }
    } else
#endif
    {
        while (!ports.exited && cycles < options.cycleLimit) {
            if (options.irq && slices % options.irqEvery == options.irqEvery - 1) {
                plugin.MasterSH2InterruptRequest(options.irqVector, options.irqLevel);
            }
            const int32_t ran = plugin.SH2RunCycles(options.sliceCycles);
            cycles += ran > 0 ? static_cast<uint64_t>(ran) : 0;
            ++slices;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fflush(stdout);
    plugin.DeInitPlugin();

    if (options.stats) {
        std::fprintf(stderr, "slices: %" PRIu64 "\nemulated cycles: %" PRIu64 "\nwall time: %.3f s\nemulated MHz: %.1f\n",
                     slices, cycles, seconds, seconds > 0 ? static_cast<double>(cycles) / seconds / 1e6 : 0.0);
        if (ports.exited) std::fprintf(stderr, "exit status: %" PRIu32 "\n", ports.exitStatus);
    }
    if (!ports.exited) {
        std::fprintf(stderr, "sh2run: cycle limit of %" PRIu64 " reached without an exit\n", options.cycleLimit);
        return kExitCycleLimit;
    }
    return static_cast<int>(ports.exitStatus & 0xFF);
}
