// sh2run: a command-line host for the SH-2 interpreter plug-in.
//
// It loads the plug-in at run time and drives it only through its fourteen
// exports, the way a host emulator does: flat memory in the plug-in's block
// format behind the six memory callbacks, a program loaded from a big-endian
// SH ELF executable or a raw binary, a vector table, and two memory-mapped
// ports through which the program prints characters and ends the run.
//
// Memory map of the host (bits 28..31 of an address are ignored, as by the
// instruction fetch):
//   0x00000000..0x0007FFFF  block 0, 512 KiB
//   0x00200000..0x002FFFFF  block 1, 1 MiB
//   any other address       block 2, 2 MiB (0x06000000..0x061FFFFF is its
//                           natural range; other addresses alias into it)
//   0x01000000              console port: a byte write prints one character
//   0x01000004              exit port: a long write ends the run with that
//                           status
#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "sh2_plugin.h"

namespace {

constexpr uint32_t kConsolePort = 0x01000000;
constexpr uint32_t kExitPort = 0x01000004;

constexpr uint32_t kDefaultEntry = 0x06004000;
constexpr uint32_t kDefaultStackTop = 0x06200000;
constexpr uint32_t kDefaultSlaveStackTop = 0x061F0000;

// Exit codes of the runner itself; a program's own status is passed through.
constexpr int kExitUsage = 125;
constexpr int kExitCycleLimit = 124;

// ---------------------------------------------------------------------------
// Memory in the block format: 32-bit words in host byte order, so that the
// byte at emulated address A is the host byte at A XOR 3 on a little-endian
// host and the halfword at A is the host halfword at A XOR 2.

constexpr uint32_t kBlockSizes[3] = {0x80000, 0x100000, 0x200000};

struct HostMemory {
    std::vector<uint32_t> words[3];
    HostMemory() {
        for (int i = 0; i < 3; ++i) words[i].assign(kBlockSizes[i] / 4, 0);
    }
};

HostMemory *memory = nullptr;

struct PortState {
    bool exited = false;
    uint32_t exitStatus = 0;
    uint64_t consoleBytes = 0;
};
PortState ports;

// The block and the word index an address selects, exactly as the fetch does.
inline uint32_t &WordAt(uint32_t address) {
    const uint32_t region = address & 0x0FF00000u;
    if (region == 0) return memory->words[0][(address & 0x7FFFCu) >> 2];
    if (region == 0x00200000u) return memory->words[1][(address & 0xFFFFCu) >> 2];
    return memory->words[2][(address & 0x1FFFFCu) >> 2];
}

// Whether an address lies in the natural range of a block (not an alias).
bool InsideBlocks(uint32_t address) {
    const uint32_t a = address & 0x0FFFFFFFu;
    return a < 0x80000u || (a >= 0x00200000u && a < 0x00300000u) || (a >= 0x06000000u && a < 0x06200000u);
}

inline unsigned ByteShift(uint32_t address) { return (3u - (address & 3u)) * 8u; }

uint8_t ReadByteAt(uint32_t address) { return static_cast<uint8_t>(WordAt(address) >> ByteShift(address)); }

void WriteByteAt(uint32_t address, uint8_t value) {
    uint32_t &word = WordAt(address);
    const unsigned shift = ByteShift(address);
    word = (word & ~(0xFFu << shift)) | (uint32_t{value} << shift);
}

uint32_t ReadLongAt(uint32_t address) {
    if ((address & 3u) == 0) return WordAt(address);
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) value = (value << 8) | ReadByteAt(address + i);
    return value;
}

void WriteLongAt(uint32_t address, uint32_t value) {
    if ((address & 3u) == 0) {
        WordAt(address) = value;
        return;
    }
    for (uint32_t i = 0; i < 4; ++i) WriteByteAt(address + i, static_cast<uint8_t>(value >> (24 - 8 * i)));
}

// The six callbacks.
uint8_t SH2_FASTCALL HostReadByte(uint32_t address) { return ReadByteAt(address); }

uint16_t SH2_FASTCALL HostReadWord(uint32_t address) {
    return static_cast<uint16_t>((ReadByteAt(address) << 8) | ReadByteAt(address + 1));
}

uint32_t SH2_FASTCALL HostReadLong(uint32_t address) { return ReadLongAt(address); }

void SH2_FASTCALL HostWriteByte(uint32_t address, uint32_t value) {
    if (address == kConsolePort) {
        std::fputc(static_cast<int>(value & 0xFF), stdout);
        ++ports.consoleBytes;
        return;
    }
    WriteByteAt(address, static_cast<uint8_t>(value));
}

void SH2_FASTCALL HostWriteWord(uint32_t address, uint32_t value) {
    WriteByteAt(address, static_cast<uint8_t>(value >> 8));
    WriteByteAt(address + 1, static_cast<uint8_t>(value));
}

void SH2_FASTCALL HostWriteLong(uint32_t address, uint32_t value) {
    if (address == kExitPort) {
        if (!ports.exited) {
            ports.exited = true;
            ports.exitStatus = value;
        }
        return;
    }
    WriteLongAt(address, value);
}

bool quietMessages = false;

void SH2_CDECL HostShowMessage(const char *text, uint32_t /*colour*/) {
    if (!quietMessages) std::fprintf(stderr, "[plugin] %s\n", text);
}

// ---------------------------------------------------------------------------
// The plug-in, loaded at run time.

struct Plugin {
    using InitFn = uint8_t(SH2_CDECL *)(const SH2HostInterface *);
    using VoidFn = void(SH2_CDECL *)();
    using RunFn = int32_t(SH2_CDECL *)(int32_t);
    using RequestFn = void(SH2_CDECL *)(uint32_t, uint32_t);
    using SetPcFn = void(SH2_CDECL *)(uint32_t);

    InitFn InitSH2Plugin = nullptr;
    VoidFn DeInitPlugin = nullptr;
    VoidFn DisplayPluginInfo = nullptr;
    VoidFn SetupPlugin = nullptr;
    RunFn SH2RunCycles = nullptr;
    VoidFn ResetMasterSH2 = nullptr;
    VoidFn ResetSlaveSH2 = nullptr;
    VoidFn SlaveSH2On = nullptr;
    VoidFn SlaveSH2Off = nullptr;
    RequestFn MasterSH2InterruptRequest = nullptr;
    RequestFn SlaveSH2InterruptRequest = nullptr;
    VoidFn MasterSH2InputCaptureSignal = nullptr;
    VoidFn SlaveSH2InputCaptureSignal = nullptr;
    SetPcFn MasterSH2SetPC = nullptr;

#if defined(_WIN32)
    HMODULE handle = nullptr;
    void *Symbol(const char *name) { return reinterpret_cast<void *>(GetProcAddress(handle, name)); }
    ~Plugin() {
        if (handle) FreeLibrary(handle);
    }
#else
    void *handle = nullptr;
    void *Symbol(const char *name) { return dlsym(handle, name); }
    ~Plugin() {
        if (handle) dlclose(handle);
    }
#endif

    template <typename Fn>
    bool Bind(Fn &fn, const char *name, std::string &error) {
        void *symbol = Symbol(name);
        if (!symbol) {
            error = std::string("the plug-in does not export ") + name;
            return false;
        }
        fn = reinterpret_cast<Fn>(symbol);
        return true;
    }

    bool Load(const std::string &path, std::string &error) {
#if defined(_WIN32)
        handle = LoadLibraryA(path.c_str());
        if (!handle) {
            error = "cannot load the plug-in " + path + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
#else
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char *reason = dlerror();
            error = "cannot load the plug-in " + path + ": " + (reason ? reason : "unknown error");
            return false;
        }
#endif
        return Bind(InitSH2Plugin, "InitSH2Plugin", error) && Bind(DeInitPlugin, "DeInitPlugin", error) &&
               Bind(DisplayPluginInfo, "DisplayPluginInfo", error) && Bind(SetupPlugin, "SetupPlugin", error) &&
               Bind(SH2RunCycles, "SH2RunCycles", error) && Bind(ResetMasterSH2, "ResetMasterSH2", error) &&
               Bind(ResetSlaveSH2, "ResetSlaveSH2", error) && Bind(SlaveSH2On, "SlaveSH2On", error) &&
               Bind(SlaveSH2Off, "SlaveSH2Off", error) &&
               Bind(MasterSH2InterruptRequest, "MasterSH2InterruptRequest", error) &&
               Bind(SlaveSH2InterruptRequest, "SlaveSH2InterruptRequest", error) &&
               Bind(MasterSH2InputCaptureSignal, "MasterSH2InputCaptureSignal", error) &&
               Bind(SlaveSH2InputCaptureSignal, "SlaveSH2InputCaptureSignal", error) &&
               Bind(MasterSH2SetPC, "MasterSH2SetPC", error);
    }
};

// ---------------------------------------------------------------------------
// Program images.

struct LoadedImage {
    uint32_t entry = 0;
    bool hasEntry = false;
    bool coversVectorTable = false;  // the image brings its own vectors
};

uint32_t BigEndian32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t BigEndian16(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Copies `size` bytes to emulated memory at `address` (`data` null: zeros).
bool StoreBytes(uint32_t address, const uint8_t *data, uint64_t size, LoadedImage &image, std::string &error) {
    if (size == 0) return true;
    const uint64_t last = uint64_t{address} + size - 1;
    if (last > 0xFFFFFFFFu || !InsideBlocks(address) || !InsideBlocks(static_cast<uint32_t>(last)) ||
        ((address ^ static_cast<uint32_t>(last)) & 0x0FF00000u) != 0) {
        char text[128];
        std::snprintf(text, sizeof text, "image bytes 0x%08" PRIX32 "..0x%08" PRIX64 " lie outside the host memory blocks",
                      address, last);
        error = text;
        return false;
    }
    for (uint64_t i = 0; i < size; ++i) WriteByteAt(address + static_cast<uint32_t>(i), data ? data[i] : 0);
    if ((address & 0x0FFFFFFFu) < 16) image.coversVectorTable = true;
    return true;
}

bool LoadElf(const std::vector<uint8_t> &file, LoadedImage &image, std::string &error) {
    if (file.size() < 52) {
        error = "truncated ELF header";
        return false;
    }
    if (file[4] != 1) {
        error = "not a 32-bit ELF file";
        return false;
    }
    if (file[5] != 2) {
        error = "little-endian ELF: SH-2 images must be big-endian (link with -EB)";
        return false;
    }
    const uint8_t *h = file.data();
    if (BigEndian16(h + 18) != 42) {
        error = "not an SH ELF file (machine " + std::to_string(BigEndian16(h + 18)) + ")";
        return false;
    }
    if (BigEndian16(h + 16) != 2) {
        error = "not an executable ELF file (link it first)";
        return false;
    }
    const uint32_t phoff = BigEndian32(h + 28);
    const uint16_t phentsize = BigEndian16(h + 42);
    const uint16_t phnum = BigEndian16(h + 44);
    if (phnum == 0 || phentsize < 32 || uint64_t{phoff} + uint64_t{phnum} * phentsize > file.size()) {
        error = "bad ELF program header table";
        return false;
    }
    bool loadedAny = false;
    for (uint16_t i = 0; i < phnum; ++i) {
        const uint8_t *ph = h + phoff + uint64_t{i} * phentsize;
        if (BigEndian32(ph) != 1) continue;  // PT_LOAD only
        const uint32_t offset = BigEndian32(ph + 4);
        const uint32_t paddr = BigEndian32(ph + 12);
        const uint32_t filesz = BigEndian32(ph + 16);
        const uint32_t memsz = BigEndian32(ph + 20);
        if (filesz > memsz || uint64_t{offset} + filesz > file.size()) {
            error = "ELF segment " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        if (!StoreBytes(paddr, h + offset, filesz, image, error) ||
            !StoreBytes(paddr + filesz, nullptr, memsz - filesz, image, error)) {
            return false;
        }
        loadedAny = loadedAny || memsz != 0;
    }
    if (!loadedAny) {
        error = "the ELF file has no loadable segment";
        return false;
    }
    image.entry = BigEndian32(h + 24);
    image.hasEntry = true;
    return true;
}

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
                 "  --verbose            show the plug-in's messages\n"
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
    return true;
}

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
        if (std::ifstream(beside).good()) return beside;
    }
#if defined(SH2RUN_DEFAULT_PLUGIN)
    if (std::ifstream(SH2RUN_DEFAULT_PLUGIN).good()) return SH2RUN_DEFAULT_PLUGIN;
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

    std::ifstream input(options.program, std::ios::binary);
    if (!input) return Fail("cannot open " + options.program);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());

    HostMemory hostMemory;
    memory = &hostMemory;
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
    const std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath(argv[0]) : options.pluginPath;
    if (!plugin.Load(pluginPath, error)) return Fail(error);

    SH2HostInterface host{};
    host.ReadByte = HostReadByte;
    host.ReadWord = HostReadWord;
    host.ReadLong = HostReadLong;
    host.WriteByte = HostWriteByte;
    host.WriteWord = HostWriteWord;
    host.WriteLong = HostWriteLong;
    host.MemoryBlock0 = hostMemory.words[0].data();
    host.MemoryBlock1 = hostMemory.words[1].data();
    host.MemoryBlock2 = hostMemory.words[2].data();
    host.ShowMessage = HostShowMessage;
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
    while (!ports.exited && cycles < options.cycleLimit) {
        if (options.irq && slices % options.irqEvery == options.irqEvery - 1) {
            plugin.MasterSH2InterruptRequest(options.irqVector, options.irqLevel);
        }
        const int32_t ran = plugin.SH2RunCycles(options.sliceCycles);
        cycles += ran > 0 ? static_cast<uint64_t>(ran) : 0;
        ++slices;
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
