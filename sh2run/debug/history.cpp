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

}  // namespace

History::History(const sh2host::HostMemory &memory, uint64_t memoryLimit) : memory_(memory), limit_(memoryLimit) {}

void History::Record(uint64_t time, const HostState &host, bool edit) {
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
