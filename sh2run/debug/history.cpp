#include "sh2run/debug/history.h"

#include <algorithm>
#include <cstring>

namespace sh2run {
namespace {

// What the allocator adds to each allocation, generously (glibc: 8 to 16
// bytes of header, rounding to 16).
constexpr uint64_t kAllocationOverhead = 32;

// A page a snapshot holds of its own: the page, and the control block that
// shares it, in one allocation.
constexpr uint64_t kPageCost = sizeof(std::array<uint8_t, sh2host::WrittenPages::kPageSize>) + 16 + kAllocationOverhead;

// What a snapshot keeps besides its own pages: its record (the host's state
// in it), a pointer to each page, and the library's state with the control
// block that shares it.
uint64_t SnapshotOverhead(size_t recordSize) {
    return recordSize + sh2host::WrittenPages::kPages * sizeof(std::shared_ptr<int>) + kAllocationOverhead +
           sh2debug::LibraryStateSize() + 16 + 2 * kAllocationOverhead;
}

// The block a page index (counted over the three blocks in order) lies in,
// and its offset there.
std::pair<int, uint32_t> PlaceOf(size_t page) {
    uint64_t offset = uint64_t{page} * sh2host::WrittenPages::kPageSize;
    int block = 0;
    while (block < 2 && offset >= sh2host::kBlockSizes[block]) offset -= sh2host::kBlockSizes[block++];
    return {block, static_cast<uint32_t>(offset)};
}

}  // namespace

History::History(const sh2host::HostMemory &memory, uint64_t memoryLimit) : memory_(memory), limit_(memoryLimit) {}

void History::Record(uint64_t time, const HostState &host, bool edit) {
    checkpoints_.reset();
    ++generation_;
    while (!snapshots_.empty() && snapshots_.back().time >= time) {
        used_ -= snapshots_.back().bytes;
        snapshots_.pop_back();
    }
    Snapshot snapshot;
    snapshot.time = time;
    snapshot.edit = edit;
    snapshot.library = std::make_shared<sh2debug::LibraryState>();
    sh2debug::SaveLibraryState(*snapshot.library);
    snapshot.host = host;
    snapshot.bytes = SnapshotOverhead(sizeof(Snapshot));
    snapshot.pages.reserve(sh2host::WrittenPages::kPages);
    const Snapshot *previous = snapshots_.empty() ? nullptr : &snapshots_.back();
    // Pages unwritten since the previous snapshot are its own.
    const bool written = previous != nullptr && sh2host::writtenPages.tracked && base_ == previous->time;
    size_t index = 0;
    for (int block = 0; block < 3; ++block) {
        for (uint32_t offset = 0; offset < sh2host::kBlockSizes[block]; offset += kPageSize, ++index) {
            const uint8_t *bytes = memory_.Bytes(block) + offset;
            const bool same =
                previous != nullptr && (written ? !sh2host::writtenPages.Written(index)
                                                : std::memcmp(previous->pages[index]->data(), bytes, kPageSize) == 0);
            if (same) {
                snapshot.pages.push_back(previous->pages[index]);
                continue;
            }
            auto page = std::make_shared<Page>();
            std::memcpy(page->data(), bytes, kPageSize);
            snapshot.pages.push_back(std::move(page));
            snapshot.bytes += kPageCost;
        }
    }
    used_ += snapshot.bytes;
    snapshots_.push_back(std::move(snapshot));
    sh2host::writtenPages.Clear();
    base_ = time;
    while (used_ > limit_ && snapshots_.size() > 1) DropOldest();
}

void History::DropOldest() {
    const Snapshot &oldest = snapshots_.front();
    Snapshot &next = snapshots_[1];
    // Pages the next snapshot shares with the oldest stay alive: they are the
    // next one's to account for now.
    uint64_t inherited = 0;
    for (size_t i = 0; i < next.pages.size(); ++i) {
        if (next.pages[i] == oldest.pages[i]) inherited += kPageCost;
    }
    next.bytes += inherited;
    used_ -= oldest.bytes - inherited;
    snapshots_.pop_front();
}

bool History::RestoreAtOrBefore(uint64_t time, uint64_t &restored, HostState &host, sh2host::HostMemory &memory) {
    auto after = std::upper_bound(snapshots_.begin(), snapshots_.end(), time,
                                  [](uint64_t value, const Snapshot &snapshot) { return value < snapshot.time; });
    if (after == snapshots_.begin()) return false;
    const Snapshot &snapshot = *std::prev(after);
    // A checkpoint between that snapshot and the moment is nearer; the
    // checkpoints' base itself is restored as cheaply as they are.
    if (checkpoints_ && snapshot.time == checkpoints_->baseTime) {
        const std::vector<CheckpointState> &points = checkpoints_->points;
        auto nearer = std::upper_bound(points.begin(), points.end(), time,
                                       [](uint64_t value, const CheckpointState &point) { return value < point.time; });
        const CheckpointState *start = nearer != points.begin() ? &*std::prev(nearer) : nullptr;
        RestoreCheckpoint(start, memory);
        host = start != nullptr ? start->host : snapshot.host;
        restored = start != nullptr ? start->time : snapshot.time;
        return true;
    }
    sh2debug::RestoreLibraryState(*snapshot.library);
    host = snapshot.host;
    size_t index = 0;
    for (int block = 0; block < 3; ++block) {
        for (uint32_t offset = 0; offset < sh2host::kBlockSizes[block]; offset += kPageSize, ++index) {
            std::memcpy(memory.Bytes(block) + offset, snapshot.pages[index]->data(), kPageSize);
        }
    }
    restored = snapshot.time;
    sh2host::writtenPages.Clear();
    base_ = snapshot.time;
    return true;
}

void History::BeginCheckpoints() {
    checkpoints_.reset();
    if (!sh2host::writtenPages.tracked || !base_) return;
    auto base = std::find_if(snapshots_.begin(), snapshots_.end(),
                             [&](const Snapshot &snapshot) { return snapshot.time == *base_; });
    if (base == snapshots_.end()) return;
    checkpoints_.emplace();
    checkpoints_->baseTime = base->time;
    checkpoints_->baseLibrary = base->library;
    checkpoints_->basePages = base->pages;
}

void History::Checkpoint(uint64_t time, const HostState &host) {
    if (!checkpoints_ || base_ != checkpoints_->baseTime || time <= checkpoints_->baseTime) return;
    Checkpoints &set = *checkpoints_;
    if (!set.points.empty() && set.points.back().time >= time) return;
    CheckpointState point{};
    point.time = time;
    point.library = std::make_shared<sh2debug::LibraryState>();
    sh2debug::SaveLibraryState(*point.library);
    point.host = host;
    point.bytes = sizeof(CheckpointState) + sh2debug::LibraryStateSize() + 16 + 3 * kAllocationOverhead;
    // The memory is the base's but for the pages written since: each of
    // those is the base's again, the previous checkpoint's or new.
    const CheckpointState *previous = set.points.empty() ? nullptr : &set.points.back();
    size_t shared = 0;  // the previous checkpoint's pages looked at so far
    size_t index = 0;
    for (int block = 0; block < 3; ++block) {
        for (uint32_t offset = 0; offset < sh2host::kBlockSizes[block]; offset += kPageSize, ++index) {
            if (!sh2host::writtenPages.Written(index)) continue;
            const uint8_t *bytes = memory_.Bytes(block) + offset;
            if (std::memcmp(set.basePages[index]->data(), bytes, kPageSize) == 0) continue;
            while (previous != nullptr && shared < previous->pages.size() && previous->pages[shared].first < index) {
                ++shared;
            }
            point.bytes += sizeof(point.pages[0]);
            if (previous != nullptr && shared < previous->pages.size() && previous->pages[shared].first == index &&
                std::memcmp(previous->pages[shared].second->data(), bytes, kPageSize) == 0) {
                point.pages.emplace_back(static_cast<uint32_t>(index), previous->pages[shared].second);
                continue;
            }
            auto page = std::make_shared<Page>();
            std::memcpy(page->data(), bytes, kPageSize);
            point.pages.emplace_back(static_cast<uint32_t>(index), std::move(page));
            point.bytes += kPageCost;
        }
    }
    // Within the bound: a stretch that writes much keeps fewer checkpoints.
    if (used_ + set.bytes + point.bytes > limit_) return;
    set.bytes += point.bytes;
    set.points.push_back(std::move(point));
}

// The memory becomes the checkpoint's (or the base's), copying only what
// may differ: the pages written since the base, and the checkpoint's own.
// The checkpoint's own are then the ones marked written since the base.
void History::RestoreCheckpoint(const CheckpointState *checkpoint, sh2host::HostMemory &memory) {
    const Checkpoints &set = *checkpoints_;
    sh2debug::RestoreLibraryState(checkpoint != nullptr ? *checkpoint->library : *set.baseLibrary);
    const bool fromBase = sh2host::writtenPages.tracked && base_ == set.baseTime;
    size_t index = 0;
    for (int block = 0; block < 3; ++block) {
        for (uint32_t offset = 0; offset < sh2host::kBlockSizes[block]; offset += kPageSize, ++index) {
            if (!fromBase || sh2host::writtenPages.Written(index)) {
                std::memcpy(memory.Bytes(block) + offset, set.basePages[index]->data(), kPageSize);
            }
        }
    }
    sh2host::writtenPages.Clear();
    if (checkpoint != nullptr) {
        for (const auto &[page, bytes] : checkpoint->pages) {
            const auto [block, offset] = PlaceOf(page);
            std::memcpy(memory.Bytes(block) + offset, bytes->data(), kPageSize);
            sh2host::writtenPages.MarkPage(page);
        }
    }
    base_ = set.baseTime;
}

std::optional<uint64_t> History::NextEditAfter(uint64_t time) const {
    for (const Snapshot &snapshot : snapshots_) {
        if (snapshot.edit && snapshot.time > time) return snapshot.time;
    }
    return std::nullopt;
}

std::vector<uint64_t> History::Times() const {
    std::vector<uint64_t> times;
    for (const Snapshot &snapshot : snapshots_) times.push_back(snapshot.time);
    return times;
}

}  // namespace sh2run
