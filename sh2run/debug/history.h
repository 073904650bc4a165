// The recorded past of a debugged run: snapshots of the whole machine taken
// as it runs, from which any earlier moment is reached again by running
// forward exactly (the machine is deterministic: what it does depends only on
// its state and on the slice count, which the snapshot holds too).
//
// A snapshot holds the library's state (both processors and the round under
// way), the host's three memory blocks, the ports and the slice schedule.
// Memory pages that did not change since the previous snapshot are shared
// with it: with the host's observed callbacks, only the pages they wrote are
// looked at, so a snapshot costs what the run wrote. The history keeps to a memory bound by dropping its oldest
// snapshots first; the oldest one left is the start of the history.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "debug/sh2_debug.h"
#include "host_machine/host_memory.h"
#include "sh2run/run.h"

namespace sh2run {

// What the host adds to the library's state: its ports and the schedule's
// counters.
struct HostState {
    sh2host::PortState ports;
    uint64_t rounds = 0;
    uint64_t cycles = 0;
    // Each processor's slices, cycles and instructions so far.
    SliceCounter slices;
};

class History {
public:
    // `memoryLimit` in bytes; the memory blocks are read from `memory`.
    History(const sh2host::HostMemory &memory, uint64_t memoryLimit);

    // Records the machine as it stands at `time`, dropping any snapshot at
    // that time or later. An edit is a state the run did not reach by
    // itself (the debugger changed it): a forward run that comes to its time
    // again must take it up there.
    void Record(uint64_t time, const HostState &host, bool edit = false);
    // The time of the first edit after `time`, if any.
    std::optional<uint64_t> NextEditAfter(uint64_t time) const;
    // Puts the machine back as the latest snapshot at or before `time` had
    // it; returns that snapshot's time (none: the history is empty, false).
    bool RestoreAtOrBefore(uint64_t time, uint64_t &restored, HostState &host, sh2host::HostMemory &memory);
    // The times of the snapshots, oldest first.
    std::vector<uint64_t> Times() const;
    // Counts the records: a moment run again since the last one is the same
    // as when it was run again before.
    uint64_t Generation() const { return generation_; }

    // Checkpoints: states taken while a stretch is run again from the
    // snapshot just restored (their base), so that a moment within the
    // stretch is reached again by running only from the checkpoint before
    // it. They share the base's pages and each other's, cost the pages the
    // stretch wrote and come out of the same memory bound, and go with the
    // next record (the first to go when the bound is reached). Taking them
    // needs the observed callbacks (written pages marked).
    void BeginCheckpoints();
    void Checkpoint(uint64_t time, const HostState &host);
    bool Empty() const { return snapshots_.empty(); }
    uint64_t Start() const { return snapshots_.front().time; }
    uint64_t Latest() const { return snapshots_.back().time; }
    // What the snapshots and the checkpoints hold in all.
    uint64_t MemoryUsed() const { return used_ + (checkpoints_ ? checkpoints_->bytes : 0); }
    uint64_t memoryLimit() const { return limit_; }

private:
    static constexpr uint32_t kPageSize = sh2host::WrittenPages::kPageSize;
    using Page = std::array<uint8_t, kPageSize>;
    struct Snapshot {
        uint64_t time = 0;
        std::shared_ptr<sh2debug::LibraryState> library;
        HostState host;
        std::vector<std::shared_ptr<const Page>> pages;  // all three blocks in order
        uint64_t bytes = 0;                              // what this snapshot alone keeps alive
        bool edit = false;
    };
    // A checkpoint keeps only the pages in which it differs from the base.
    // (No member initialisers: value-initialise them, {}.)
    struct CheckpointState {
        uint64_t time;
        std::shared_ptr<sh2debug::LibraryState> library;
        HostState host;
        std::vector<std::pair<uint32_t, std::shared_ptr<const Page>>> pages;  // by page index
        uint64_t bytes;
    };
    struct Checkpoints {
        uint64_t baseTime;
        std::shared_ptr<sh2debug::LibraryState> baseLibrary;
        std::vector<std::shared_ptr<const Page>> basePages;
        std::vector<CheckpointState> points;  // by time, after baseTime
        uint64_t bytes;
    };
    void DropOldest();
    // Restores `checkpoint`, or the base itself when it is null.
    void RestoreCheckpoint(const CheckpointState *checkpoint, sh2host::HostMemory &memory);
    const sh2host::HostMemory &memory_;
    uint64_t limit_;
    // The snapshot the memory equals but for the pages written since (as
    // sh2host::writtenPages marks them): the latest one recorded or
    // restored.
    std::optional<uint64_t> base_;
    uint64_t used_ = 0;
    uint64_t generation_ = 0;
    std::deque<Snapshot> snapshots_;
    std::optional<Checkpoints> checkpoints_;
};

}  // namespace sh2run
