// The emulated runs that the benchmark and the timing program share: a bundled
// program loaded into the host machine of sh2run, a plug-in loaded at run time
// and driven through its exports from reset to the program's exit write, and
// the program's instruction count taken with the library linked in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "debug/sh2_debug.h"
#include "host_machine/host_memory.h"
#include "host_machine/plugin_loader.h"
#include "host_machine/program_image.h"
#include "sh2_plugin.h"

namespace sh2bench {

inline constexpr int32_t kSliceCycles = 10000;
inline constexpr uint32_t kStackTop = 0x06200000;

// The emulated machine: one program image, reloaded before every run.
struct Machine {
    std::vector<uint8_t> elf;
    sh2host::HostMemory memory;
    sh2host::Plugin plugin;
    std::string error;

    bool Prepare(const std::string &pluginPath, const std::string &programPath) {
        return plugin.Load(pluginPath, error) && sh2host::ReadProgramFile(programPath, elf, error);
    }

    // Fresh memory, the program and its vectors; the plug-in initialised.
    bool Start(uint8_t(SH2_CDECL *init)(const SH2HostInterface *)) {
        memory.Clear();
        sh2host::UseMemory(&memory);
        sh2host::ports = {};
        sh2host::ports.console = nullptr;
        sh2host::quietMessages = true;
        sh2host::LoadedImage image;
        if (!sh2host::LoadElf(elf, image, error)) return false;
        sh2host::WriteLongAt(0, image.entry);
        sh2host::WriteLongAt(4, kStackTop);
        sh2host::WriteLongAt(8, image.entry);
        sh2host::WriteLongAt(12, kStackTop);
        const SH2HostInterface host = sh2host::MakeHostInterface(memory, sh2host::Callbacks::Plain);
        return init(&host) != 0;
    }
};

// Runs the started machine to its exit; returns the master's cycles.
inline uint64_t RunToExit(int32_t(SH2_CDECL *run)(int32_t), int32_t slice) {
    uint64_t cycles = 0;
    while (!sh2host::ports.exited && cycles < 10'000'000'000ull) {
        cycles += static_cast<uint64_t>(run(slice));
    }
    return cycles;
}

// Instructions per run, counted with the library linked in statically, whose
// debugging interface reports every instruction of its rounds (a delay slot
// counts as one of its own). Its rounds are the ones SH2RunCycles runs, and
// they run to the end of the slice the program exits in, as the timed runs of
// the loaded plug-in do.
class InstructionCounter : public sh2debug::Observer {
public:
    uint64_t count = 0;
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override { return true; }
    void AfterInstruction(const sh2debug::Instruction &instruction) override {
        count += instruction.ranDelaySlot ? 2 : 1;
    }
    bool BeforeService(sh2debug::Processor) override { return true; }
    bool AfterService(sh2debug::Processor, int32_t, int32_t) override { return true; }
};

inline uint64_t CountRunInstructions(Machine &machine) {
    InstructionCounter counter;
    if (machine.Start(InitSH2Plugin)) {
        while (!sh2host::ports.exited) {
            sh2debug::StartRound(kSliceCycles);
            sh2debug::RunRound(counter);
        }
    }
    DeInitPlugin();
    return counter.count;
}

}  // namespace sh2bench
