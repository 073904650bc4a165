// The plug-in as a host loads it: the shared library (or DLL) opened at run
// time and its fourteen exports looked up by name.
#pragma once

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host_memory.h"
#include "sh2_plugin.h"

namespace sh2host {

// The fourteen entry points, and the library they come from (none when they
// were filled in by hand, as sh2run does with the library linked into it).
struct Plugin {
    Plugin() = default;
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

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
    void *Symbol(const char *name) {
        return reinterpret_cast<void *>(GetProcAddress(handle, name));
    }
    ~Plugin() {
        if (handle) FreeLibrary(handle);
    }
#else
    void *handle = nullptr;
    void *Symbol(const char *name) {
        return dlsym(handle, name);
    }
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

// Raises what the signal and switch ports asked for since the last call, as
// the machine's host does between slices: the slave's reset, then its
// switch, then the master's and the slave's input capture. Each request is
// raised once.
inline void RaisePortRequests(const Plugin &plugin) {
    if (ports.slaveResetRequested) plugin.ResetSlaveSH2();
    if (ports.slaveSwitchRequested) {
        if (ports.slaveSwitchOn) {
            plugin.SlaveSH2On();
        } else {
            plugin.SlaveSH2Off();
        }
        ports.slaveOn = ports.slaveSwitchOn;
    }
    if (ports.masterCaptureRequested) plugin.MasterSH2InputCaptureSignal();
    if (ports.slaveCaptureRequested) plugin.SlaveSH2InputCaptureSignal();
    ports.slaveResetRequested = ports.slaveSwitchRequested = false;
    ports.masterCaptureRequested = ports.slaveCaptureRequested = false;
}

}  // namespace sh2host
