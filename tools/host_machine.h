// The host machine that sh2run and the benchmarks give the plug-in: flat
// memory in the plug-in's block format behind the six memory callbacks, the
// console and exit ports, the plug-in loaded at run time, and a loader for
// big-endian SH ELF executables.
//
// Memory map (bits 28..31 of an address are ignored, as by the instruction
// fetch):
//   0x00000000..0x0007FFFF  block 0, 512 KiB
//   0x00200000..0x002FFFFF  block 1, 1 MiB
//   any other address       block 2, 2 MiB (0x06000000..0x061FFFFF is its
//                           natural range; other addresses alias into it)
//   0x01000000              console port: a byte write prints one character
//   0x01000004              exit port: a long write ends the run with that
//                           status
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "sh2_plugin.h"

namespace sh2host {

inline constexpr uint32_t kConsolePort = 0x01000000;
inline constexpr uint32_t kExitPort = 0x01000004;

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
    FILE *console = stdout;
};

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
// stderr. Only a record made while onAccess is set or dropWrites is on has
// the callbacks that look at them.
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

// The memory, ports and hooks the callbacks serve. The callbacks carry no
// context, so there is one machine per process: UseMemory selects its memory.
void UseMemory(HostMemory *memory);
extern PortState ports;
extern HostHooks hooks;
// Whether the plug-in's messages are dropped (true) or printed to stderr.
extern bool quietMessages;

// Whether an address lies in the natural range of a block (not an alias).
bool InsideBlocks(uint32_t address);
// Emulated memory seen through the selected blocks, without the hooks. Every
// address maps into a block by bits 20..27, as the instruction fetch does.
uint8_t ReadByteAt(uint32_t address);
void WriteByteAt(uint32_t address, uint8_t value);
uint16_t ReadWordAt(uint32_t address);
void WriteWordAt(uint32_t address, uint16_t value);
uint32_t ReadLongAt(uint32_t address);
void WriteLongAt(uint32_t address, uint32_t value);

// The host record over `memory`: the six callbacks (observed ones if
// hooks.onAccess or hooks.dropWrites is set now), the three blocks and the
// message callback.
SH2HostInterface MakeHostInterface(const HostMemory &memory);

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

// A function of the ELF symbol table (STT_FUNC with a size).
struct FunctionSymbol {
    std::string name;
    uint32_t address = 0;
    uint32_t size = 0;
};

struct LoadedImage {
    uint32_t entry = 0;
    bool hasEntry = false;
    bool coversVectorTable = false;  // the image brings its own vectors
    std::vector<FunctionSymbol> functions;  // sorted by address
};

// Copies `size` bytes to emulated memory at `address` (`data` null: zeros).
// Fails, saying why, when the bytes do not lie inside one block.
bool StoreBytes(uint32_t address, const uint8_t *data, uint64_t size, LoadedImage &image, std::string &error);
// Loads the PT_LOAD segments of a big-endian SH ELF executable and collects
// its sized functions from the symbol table (a missing or damaged symbol
// table leaves the list empty; it is not an error).
bool LoadElf(const std::vector<uint8_t> &file, LoadedImage &image, std::string &error);
// Reads a whole file; false if it cannot be opened.
bool ReadFile(const std::string &path, std::vector<uint8_t> &contents);

}  // namespace sh2host
