// What running one stretch of the history again found: every moment in it
// at which a backward resume would stop. gdb steps back one instruction at a
// time, and goes on back after each stop it rejects (a watched value that
// did not change, say); each such resume within the stretch is answered from
// here instead of running the stretch again.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sh2run/gdb/gdb_server.h"

namespace sh2run {

class ReplayMemo {
public:
    // Starts noting a stretch of `length` events from `start`, run again in
    // the history at `generation` (History::Generation) with `points`;
    // `processors` of them run.
    void Begin(uint64_t generation, uint64_t start, uint64_t length, int processors, const sh2gdb::StopPoints &points);
    // The instruction of processor 0 (the master) or 1 that starts at `time`
    // (a step back stops there; an undefined opcode's attempt is not one).
    void NoteInstruction(int processor, uint64_t time) { starts_[processor].push_back(time); }
    // A breakpoint or watchpoint stop of the stop points at `time`.
    void NoteStop(uint64_t time, const sh2gdb::StopEvent &event) { stops_.emplace_back(time, event); }
    // The stretch ran to `end` (the moment itself not included).
    void Finish(uint64_t end);
    void Clear();

    enum class Answer {
        Unknown,  // not this stretch, or another history, or other stop points for a continue
        Nothing,  // no stop in the stretch before the moment: the stretches before start() may hold one
        Stop,     // the moment and the stop
    };
    // Where a backward `request` from `from` stops within the stretch.
    Answer LastBefore(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points, uint64_t generation,
                      uint64_t from, std::pair<uint64_t, sh2gdb::StopEvent> &stop) const;
    uint64_t start() const { return start_; }

private:
    bool finished_ = false;
    uint64_t generation_ = 0;
    uint64_t start_ = 0;
    uint64_t end_ = 0;
    sh2gdb::StopPoints points_;
    std::vector<uint64_t> starts_[2];
    std::vector<std::pair<uint64_t, sh2gdb::StopEvent>> stops_;
};

}  // namespace sh2run
