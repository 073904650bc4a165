// The machine as gdb sees it: thread 1 the master, thread 2 the slave when it
// is switched on, over the library linked into sh2run. Resumes run the same
// rounds as a plain run, with the same interrupt schedule; a stop pauses the
// round where it is, and the next resume goes on with that same round, so a
// debugged run executes exactly what a plain run executes.
//
// Time is counted in events: each instruction (a delayed branch with its
// slot) and each slice's end-of-slice servicing is one. The run is recorded
// (history.h) so that resumes can also go backward: a reverse step or
// continue finds the moment it wants by running forward again from the
// latest snapshot before it.
//
// Watchpoints see every access that reaches their bytes, whoever makes it:
// an instruction (host memory, on-chip RAM and on-chip registers), a DMA
// transfer, or the frame of an interrupt or exception. Addresses that reach
// the same byte match each other (on-chip RAM's aliases; host memory's, as
// the host maps them). A run stops right after the instruction that made
// the access; after a slice's servicing when the servicing did (the frame of
// an accepted interrupt or of the requested exception).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "host_machine/host_memory.h"
#include "host_machine/plugin_loader.h"
#include "sh2run/debug/history.h"
#include "sh2run/debug/replay_memo.h"
#include "sh2run/gdb/gdb_server.h"
#include "sh2run/options.h"
#include "sh2run/run.h"

namespace sh2run {

class MachineTarget : public sh2gdb::GdbTarget {
public:
    // `linked`: the library's exports, for the interrupt requests; `memory`:
    // the host memory the machine runs in. The cycle limit does not apply
    // while gdb is attached. The history starts at the machine as it stands.
    MachineTarget(const Options &options, const sh2host::Plugin &linked, sh2host::HostMemory &memory);
    ~MachineTarget() override;

    int ThreadCount() const override;
    std::string ThreadName(int thread) const override;
    uint32_t ReadRegister(int thread, int index) override;
    void WriteRegister(int thread, int index, uint32_t value) override;
    void ReadMemory(int thread, uint32_t address, uint8_t *out, uint32_t length) override;
    void WriteMemory(int thread, uint32_t address, const uint8_t *data, uint32_t length) override;
    std::optional<uint32_t> ExitStatus() const override;
    sh2gdb::StopEvent Resume(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                             const std::function<bool()> &interrupted) override;
    // monitor help, when, goto EVENT.
    std::optional<std::string> Monitor(std::string_view command) override;

    // Records the machine as it stands as the start of the history, before a
    // client is there to wait for it (the first resume does it otherwise).
    void StartHistory();
    // After a detach: runs on without breakpoints to the program's exit or
    // the cycle limit.
    RunResult RunToEnd();
    // The master's cycles so far, the round under way included.
    uint64_t MasterCycles() const;
    uint64_t Rounds() const { return schedule_.rounds(); }
    const History &history() const { return history_; }

private:
    // The observers of a stretch of the run: a resume forward, a run again
    // to a moment of the history, a run again over a stretch of it.
    class RunWatch;
    class SeekWatch;
    class ScanWatch;
    sh2gdb::StopEvent Forward(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                              const std::function<bool()> &interrupted);
    sh2gdb::StopEvent Backward(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                               const std::function<bool()> &interrupted);
    // Runs rounds under `watch` until it stops one.
    void Run(sh2debug::Observer &watch);
    // Puts the machine where it was at `time` (within the history).
    void SeekTo(uint64_t time);
    // Records a snapshot when the run has gone far enough past the last one.
    void RecordIfDue();
    void Record();
    // gdb changed the machine: what follows now is a new history.
    void Changed();
    HostState Host() const;

    const Options &options_;
    sh2host::HostMemory &memory_;
    RoundSchedule schedule_;
    History history_;
    ReplayMemo memo_;          // the stretch the last backward resume ran again
    SliceCounter slices_;      // kept with the history, as HostState::slices
    uint64_t furthest_ = 0;    // the latest event count a resume has reached
    bool exitPassed_ = false;  // gdb went on forward from the exit's stop
};

}  // namespace sh2run
