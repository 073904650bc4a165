// The machine as gdb sees it: thread 1 the master, thread 2 the slave when it
// is switched on, over the library linked into sh2run. Resumes run the same
// rounds as a plain run, with the same interrupt schedule; a stop pauses the
// round where it is, and the next resume goes on with that same round, so a
// debugged run executes exactly what a plain run executes.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "host_machine/plugin_loader.h"
#include "sh2run/gdb/gdb_server.h"
#include "sh2run/options.h"
#include "sh2run/run.h"

namespace sh2run {

// Makes the host's callbacks count every access, so that a long DMA transfer
// inside one instruction does not put off the check for the client's
// interrupt. Call it before InitSH2Plugin.
void CountHostAccessesForInterrupts();

class MachineTarget : public sh2gdb::GdbTarget {
public:
    // `linked`: the library's exports, for the interrupt requests. The cycle
    // limit does not apply while gdb is attached.
    MachineTarget(const Options &options, const sh2host::Plugin &linked);

    int ThreadCount() const override;
    std::string ThreadName(int thread) const override;
    uint32_t ReadRegister(int thread, int index) override;
    void WriteRegister(int thread, int index, uint32_t value) override;
    void ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) override;
    void WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) override;
    std::optional<uint32_t> ExitStatus() const override;
    sh2gdb::StopEvent Step(int thread, const std::set<uint32_t> &breakpoints,
                           const std::function<bool()> &interrupted) override;
    sh2gdb::StopEvent Continue(const std::set<uint32_t> &breakpoints, const std::function<bool()> &interrupted) override;

    // After a detach: runs on without breakpoints to the program's exit or
    // the cycle limit.
    RunResult RunToEnd();
    // The master's cycles so far, the round under way included.
    uint64_t MasterCycles() const;
    uint64_t Rounds() const { return schedule_.rounds(); }

private:
    // Runs rounds under `watch` until it stops one.
    void Run(sh2debug::Observer &watch);
    const Options &options_;
    RoundSchedule schedule_;
};

}  // namespace sh2run
