#include "sh2run/debug/replay_memo.h"

#include <algorithm>

namespace sh2run {

void ReplayMemo::Begin(uint64_t generation, uint64_t start, uint64_t length, int processors,
                       const sh2gdb::StopPoints &points) {
    Clear();
    // At most one instruction per event: the lists never grow by copying
    // (and keep their room for the next stretch).
    for (int processor = 0; processor < processors && processor < 2; ++processor) {
        starts_[processor].reserve(static_cast<size_t>(length));
    }
    generation_ = generation;
    start_ = start;
    points_ = points;
}

void ReplayMemo::Finish(uint64_t end) {
    end_ = end;
    finished_ = true;
}

void ReplayMemo::Clear() {
    finished_ = false;
    for (std::vector<uint64_t> &starts : starts_) starts.clear();
    stops_.clear();
}

ReplayMemo::Answer ReplayMemo::LastBefore(const sh2gdb::ResumeRequest &request, const sh2gdb::StopPoints &points,
                                          uint64_t generation, uint64_t from,
                                          std::pair<uint64_t, sh2gdb::StopEvent> &stop) const {
    if (!finished_ || generation != generation_ || from <= start_ || from > end_) return Answer::Unknown;
    if (request.kind == sh2gdb::ResumeRequest::Continue) {
        if (!(points == points_)) return Answer::Unknown;
        // Of several stops at one moment, the last noted is the one a run
        // ends at.
        auto after = std::lower_bound(stops_.begin(), stops_.end(), from,
                                      [](const auto &noted, uint64_t value) { return noted.first < value; });
        if (after == stops_.begin()) return Answer::Nothing;
        stop = *std::prev(after);
        return Answer::Stop;
    }
    const int processor = request.thread == 2 ? 1 : 0;
    const std::vector<uint64_t> &starts = starts_[processor];
    auto after = std::lower_bound(starts.begin(), starts.end(), from);
    if (after == starts.begin()) return Answer::Nothing;
    stop = {*std::prev(after), sh2gdb::StopEvent{.kind = sh2gdb::StopEvent::Step, .thread = processor + 1}};
    return Answer::Stop;
}

}  // namespace sh2run
