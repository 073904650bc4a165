#include "sh2run/debug/callgrind.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#if defined(SH2RUN_DWARF)
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwfl.h>

#include <sys/mman.h>
#include <unistd.h>
#endif

namespace sh2run {

// ---------------------------------------------------------------------------
// Source lines through libdwfl, the file read offline.

#if defined(SH2RUN_DWARF)
struct SourceLines::Reader {
    Dwfl *dwfl = nullptr;
    Dwfl_Module *module = nullptr;
    int fd = -1;  // the private copy libdw maps
    ~Reader() {
        if (dwfl != nullptr) dwfl_end(dwfl);
        if (fd >= 0) close(fd);
    }
};

SourceLines::SourceLines(const std::vector<uint8_t> &elf) : reader_(std::make_unique<Reader>()) {
    static const Dwfl_Callbacks callbacks = {
        .find_elf = dwfl_build_id_find_elf,
        .find_debuginfo = dwfl_standard_find_debuginfo,
        .section_address = dwfl_offline_section_address,
        .debuginfo_path = nullptr,
    };
    // libdw maps the file and reads it as lines are asked for: a copy of
    // sh2run's own, which no one else can truncate under it.
    reader_->fd = memfd_create("sh2run-program", MFD_CLOEXEC);
    if (reader_->fd < 0) return;
    for (size_t written = 0; written < elf.size();) {
        const ssize_t n = write(reader_->fd, elf.data() + written, elf.size() - written);
        if (n <= 0) return;
        written += static_cast<size_t>(n);
    }
    reader_->dwfl = dwfl_begin(&callbacks);
    if (reader_->dwfl == nullptr) return;
    reader_->module = dwfl_report_offline(reader_->dwfl, "", "program", reader_->fd);
    dwfl_report_end(reader_->dwfl, nullptr, nullptr);
}

bool SourceLines::HasLines() const {
    return reader_->module != nullptr;
}

SourceLines::Place SourceLines::At(uint32_t address) const {
    if (reader_->module == nullptr) return {"???", 0};
    Dwfl_Line *line = dwfl_module_getsrc(reader_->module, address);
    int number = 0;
    const char *file = line != nullptr ? dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr) : nullptr;
    if (file == nullptr) return {"???", 0};
    return {file, number};
}

std::string SourceLines::DefinitionFile(uint32_t address) const {
    if (reader_->module == nullptr) return {};
    Dwarf_Addr bias = 0;
    Dwarf_Die *unit = dwfl_module_addrdie(reader_->module, address, &bias);
    Dwarf_Die child;
    if (unit == nullptr || dwarf_child(unit, &child) != 0) return {};
    // The unit's functions are its children (dwarf_getscopes, which would
    // find them too, leaks on damaged DWARF).
    do {
        if (dwarf_tag(&child) == DW_TAG_subprogram && dwarf_haspc(&child, address - bias) == 1) {
            const char *declared = dwarf_decl_file(&child);
            return declared != nullptr ? declared : std::string();
        }
    } while (dwarf_siblingof(&child, &child) == 0);
    return {};
}
#else
struct SourceLines::Reader {};
SourceLines::SourceLines(const std::vector<uint8_t> &) {}
bool SourceLines::HasLines() const {
    return false;
}
SourceLines::Place SourceLines::At(uint32_t) const {
    return {"???", 0};
}
std::string SourceLines::DefinitionFile(uint32_t) const {
    return {};
}
#endif

SourceLines::~SourceLines() = default;

// ---------------------------------------------------------------------------
// The profile.

CallgrindProfile::CallgrindProfile(std::string program, const std::vector<uint8_t> &elf,
                                   std::vector<sh2host::FunctionSymbol> functions)
    : program_(std::move(program)),
      functions_(std::move(functions)),
      map_(functions_),
      lines_(elf),
      positions_(kPositionCache) {}

CallgrindProfile::Position CallgrindProfile::PositionOf(uint32_t address) {
    CachedPosition &cached = positions_[(address >> 1) % kPositionCache];
    if (cached.valid && cached.address == address) return cached.position;
    const size_t function = map_.Find(address);
    SourceLines::Place place = lines_.At(address);
    const auto key = std::make_pair(place.file, place.line);
    auto index = placeIndex_.find(key);
    if (index == placeIndex_.end()) {
        index = placeIndex_.emplace(key, places_.size()).first;
        places_.push_back(std::move(place));
    }
    const Position position{function == FunctionMap::kNone ? functions_.size() : function, index->second};
    cached = {address, true, position};
    return position;
}

void CallgrindProfile::Spend(Processor &processor, const Position &position, int32_t cycles) {
    const Cost cost{static_cast<uint64_t>(cycles > 0 ? cycles : 0), 1};
    processor.self[position].Add(cost);
    processor.total.Add(cost);
}

void CallgrindProfile::Add(const sh2debug::Instruction &instruction) {
    Processor &processor = processors_[sh2debug::IndexOf(instruction.processor)];
    const Position here = PositionOf(instruction.pc);
    const int32_t branchEnd = instruction.ranDelaySlot ? instruction.slotStartCycles : instruction.endCycles;
    Spend(processor, here, branchEnd - instruction.startCycles);
    if (instruction.ranDelaySlot) Spend(processor, PositionOf(instruction.pc + 2), instruction.endCycles - branchEnd);

    const sh2debug::Flow flow = sh2debug::DescribeInstruction(instruction.opcode).flow;
    std::deque<Frame> &stack = processor.stack;
    if (flow == sh2debug::Flow::Call) {
        if (stack.size() == kMaxCallDepth) {
            stack.pop_front();
            ++processor.unreturnedCalls;
        }
        stack.push_back({here, PositionOf(instruction.nextPc), instruction.pc + 4, processor.total});
    } else if (flow == sh2debug::Flow::Return) {
        // Back to one of the innermost calls: the calls inside it never
        // returned.
        const size_t deepest = stack.size() > kReturnSearch ? stack.size() - kReturnSearch : 0;
        size_t depth = stack.size();
        while (depth > deepest && stack[depth - 1].returnAddress != instruction.nextPc) --depth;
        if (depth == deepest) {
            ++processor.unmatchedReturns;
            return;
        }
        const Frame frame = stack[depth - 1];
        processor.unreturnedCalls += stack.size() - depth;
        stack.resize(depth - 1);
        Call &call = processor.calls[{frame.caller, frame.callee}];
        ++call.count;
        call.inclusive.cycles += processor.total.cycles - frame.start.cycles;
        call.inclusive.instructions += processor.total.instructions - frame.start.instructions;
    }
}

void CallgrindProfile::AddIdle(sh2debug::Processor processor, int32_t cycles) {
    if (cycles <= 0) return;
    const auto key = std::make_pair(std::string("???"), 0);
    auto index = placeIndex_.find(key);
    if (index == placeIndex_.end()) {
        index = placeIndex_.emplace(key, places_.size()).first;
        places_.push_back({"???", 0});
    }
    Processor &p = processors_[sh2debug::IndexOf(processor)];
    const Cost cost{static_cast<uint64_t>(cycles), 0};
    p.self[Position{functions_.size() + 1, index->second}].Add(cost);
    p.total.Add(cost);
}

namespace {

// Callgrind's name compression: "(id) name" the first time, "(id)" after.
// Names are told apart as they are and written printable, so that none
// starts a line of its own.
class Names {
public:
    std::string operator()(const std::string &name) {
        const auto known = ids_.find(name);
        const bool first = known == ids_.end();
        const size_t id = first ? ids_.size() + 1 : known->second;
        if (first) ids_.emplace(name, id);
        char text[32];
        std::snprintf(text, sizeof text, first ? "(%zu) " : "(%zu)", id);
        return first ? std::string(text).append(PrintableName(name)) : std::string(text);
    }

private:
    std::map<std::string, size_t> ids_;
};

}  // namespace

bool CallgrindProfile::WriteOne(const std::string &path, const Processor &processor, std::string &error) const {
    FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        error = "cannot write the profile to " + path + ": " + std::strerror(errno);
        return false;
    }
    auto functionName = [&](size_t function) {
        return function < functions_.size()    ? functions_[function].name
               : function == functions_.size() ? std::string("(outside functions)")
                                               : std::string("(stopped on an undefined opcode)");
    };
    Names files, names;
    std::fprintf(out, "# callgrind format\nversion: 1\ncreator: sh2run\ncmd: %s\npositions: line\n",
                 PrintableName(program_).c_str());
    std::fprintf(out, "events: Cycles Instructions\n");
    // A function's file is the one that defines it (looked up once each),
    // or else the file of its first place.
    std::map<size_t, std::string> definedIn;
    auto fileOf = [&](size_t function, const std::string &fallback) {
        if (function >= functions_.size()) return fallback;
        const auto [known, added] = definedIn.try_emplace(function);
        if (added) known->second = lines_.DefinitionFile(functions_[function].address);
        return known->second.empty() ? fallback : known->second;
    };
    // The calls still waiting at the end are closed there.
    std::map<std::pair<Position, Position>, Call> calls = processor.calls;
    for (const Frame &frame : processor.stack) {
        Call &call = calls[{frame.caller, frame.callee}];
        ++call.count;
        call.inclusive.cycles += processor.total.cycles - frame.start.cycles;
        call.inclusive.instructions += processor.total.instructions - frame.start.instructions;
    }
    // Each function's places in the order of their files and lines; a place
    // that only makes calls has a line of its own too.
    std::map<Position, Cost> own = processor.self;
    for (const auto &[edge, call] : calls) own.try_emplace(edge.first);
    std::vector<std::pair<Position, Cost>> entries(own.begin(), own.end());
    std::stable_sort(entries.begin(), entries.end(), [&](const auto &a, const auto &b) {
        const SourceLines::Place &x = places_[a.first.place], &y = places_[b.first.place];
        return std::tie(a.first.function, x.file, x.line) < std::tie(b.first.function, y.file, y.line);
    });
    size_t function = SIZE_MAX;
    std::string file;
    for (const auto &[position, cost] : entries) {
        const SourceLines::Place &place = places_[position.place];
        if (position.function != function) {
            function = position.function;
            file = fileOf(function, place.file);
            std::fprintf(out, "\nfl=%s\nfn=%s\n", files(file).c_str(), names(functionName(function)).c_str());
        }
        if (place.file != file) {
            file = place.file;
            std::fprintf(out, "fi=%s\n", files(file).c_str());
        }
        std::fprintf(out, "%d %" PRIu64 " %" PRIu64 "\n", place.line, cost.cycles, cost.instructions);
        // The calls made from this place, with their inclusive costs.
        for (auto call = calls.lower_bound({position, Position{0, 0}});
             call != calls.end() && !(position < call->first.first); ++call) {
            const Position &callee = call->first.second;
            const SourceLines::Place &target = places_[callee.place];
            std::fprintf(out, "cfi=%s\ncfn=%s\ncalls=%" PRIu64 " %d\n%d %" PRIu64 " %" PRIu64 "\n",
                         files(fileOf(callee.function, target.file)).c_str(),
                         names(functionName(callee.function)).c_str(), call->second.count, target.line, place.line,
                         call->second.inclusive.cycles, call->second.inclusive.instructions);
        }
    }
    std::fprintf(out, "\ntotals: %" PRIu64 " %" PRIu64 "\n", processor.total.cycles, processor.total.instructions);
    std::fprintf(out, "# calls still waiting for their return at the end, closed there: %zu\n", processor.stack.size());
    std::fprintf(out,
                 "# calls left without a return: %" PRIu64
                 " (beyond %zu waiting calls, or inside a return further out)\n"
                 "# returns to no call: %" PRIu64 " (to none of the %zu innermost waiting calls)\n",
                 processor.unreturnedCalls, kMaxCallDepth, processor.unmatchedReturns, kReturnSearch);
    const bool failed = std::ferror(out) != 0;
    const int reason = errno;
    if (std::fclose(out) != 0 || failed) {
        error = "cannot write the profile to " + path + ": " + std::strerror(failed ? reason : errno);
        return false;
    }
    return true;
}

bool CallgrindProfile::Write(const std::string &path, std::string &error) const {
    if (!WriteOne(path, processors_[0], error)) return false;
    const Processor &slave = processors_[1];
    return slave.total.cycles == 0 && slave.total.instructions == 0 ? true : WriteOne(path + ".slave", slave, error);
}

}  // namespace sh2run
