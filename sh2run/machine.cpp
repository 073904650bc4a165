#include "sh2run/machine.h"

#include <fstream>

#if !defined(_WIN32)
#include <unistd.h>
#include <climits>
#endif

namespace sh2run {
namespace {

using namespace sh2host;

bool FileExists(const std::string &path) {
    return std::ifstream(path).good();
}

std::string DefaultPluginPath(const char *argv0) {
#if defined(_WIN32)
    const char *name = "sh2_interpreter.dll";
#else
    const char *name = "libsh2_interpreter.so";
#endif
    const std::string self = argv0 ? argv0 : "";
    const size_t slash = self.find_last_of("/\\");
    if (slash != std::string::npos) {
        std::string beside = self.substr(0, slash + 1) + name;
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

}  // namespace

bool LoadProgram(const Options &options, LoadedImage &image, std::string &error) {
    std::vector<uint8_t> file;
    if (!ReadProgramFile(options.program, file, error)) return false;
    const bool isElf = file.size() >= 4 && file[0] == 0x7F && file[1] == 'E' && file[2] == 'L' && file[3] == 'F';
    bool loaded = false;
    if (options.rawAddress) {
        loaded = LoadRaw(file, *options.rawAddress, image, error);
    } else if (isElf) {
        loaded = LoadElf(file, image, error);
    } else {
        error = "not an ELF file (use --raw ADDRESS for a raw binary)";
    }
    if (!loaded) {
        error = options.program + ": " + error;
        return false;
    }
    image.file = std::move(file);
    if (!image.coversVectorTable) {
        const uint32_t entry = options.entry.value_or(image.hasEntry ? image.entry : kDefaultEntry);
        for (const uint32_t vector : {0u, 8u}) {  // power-on and manual reset: PC, SP
            WriteLongAt(vector, entry);
            WriteLongAt(vector + 4, options.stackTop);
        }
    }
    return true;
}

bool LoadPlugin(const Options &options, const char *argv0, Plugin &plugin, std::string &error) {
    const std::string path = options.pluginPath.empty() ? DefaultPluginPath(argv0) : options.pluginPath;
    if (!plugin.Load(path, error)) return false;
    if (options.verbose) std::fprintf(stderr, "sh2run: plug-in %s\n", path.c_str());
    return true;
}

void BindLinkedLibrary(Plugin &plugin) {
    plugin.InitSH2Plugin = ::InitSH2Plugin;
    plugin.DeInitPlugin = ::DeInitPlugin;
    plugin.DisplayPluginInfo = ::DisplayPluginInfo;
    plugin.SetupPlugin = ::SetupPlugin;
    plugin.SH2RunCycles = ::SH2RunCycles;
    plugin.ResetMasterSH2 = ::ResetMasterSH2;
    plugin.ResetSlaveSH2 = ::ResetSlaveSH2;
    plugin.SlaveSH2On = ::SlaveSH2On;
    plugin.SlaveSH2Off = ::SlaveSH2Off;
    plugin.MasterSH2InterruptRequest = ::MasterSH2InterruptRequest;
    plugin.SlaveSH2InterruptRequest = ::SlaveSH2InterruptRequest;
    plugin.MasterSH2InputCaptureSignal = ::MasterSH2InputCaptureSignal;
    plugin.SlaveSH2InputCaptureSignal = ::SlaveSH2InputCaptureSignal;
    plugin.MasterSH2SetPC = ::MasterSH2SetPC;
}

bool StartMachine(const Options &options, const LoadedImage &image, const Plugin &plugin, const HostMemory &memory,
                  sh2host::Callbacks callbacks, std::string &error) {
    const SH2HostInterface host = MakeHostInterface(memory, callbacks);
    if (!plugin.InitSH2Plugin(&host)) {
        plugin.DeInitPlugin();
        error = "the plug-in failed to initialise";
        return false;
    }
    if (options.entry && image.coversVectorTable) plugin.MasterSH2SetPC(*options.entry);
    if (options.slaveEntry) {
        const uint32_t savedPc = ReadLongAt(8), savedSp = ReadLongAt(12);
        WriteLongAt(8, *options.slaveEntry);
        WriteLongAt(12, options.slaveStackTop);
        plugin.ResetSlaveSH2();
        WriteLongAt(8, savedPc);
        WriteLongAt(12, savedSp);
        plugin.SlaveSH2On();
        sh2host::ports.slaveOn = true;
    }
    return true;
}

}  // namespace sh2run
