#include "sh2run/debug/profile.h"

#include <algorithm>
#include <cinttypes>
#include <queue>
#include <utility>

namespace sh2run {

std::string PrintableName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
        out += escaped;
    }
    return out;
}

FunctionMap::FunctionMap(const std::vector<sh2host::FunctionSymbol> &functions) {
    // Sweep over every start and end: at each, the function holding the
    // place is the active one with the greatest start (the later one of
    // equal starts). Functions whose end has passed leave the heap lazily.
    std::vector<uint64_t> bounds = {0};
    for (const sh2host::FunctionSymbol &f : functions) {
        bounds.push_back(f.address);
        bounds.push_back(uint64_t{f.address} + f.size);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    std::vector<size_t> byStart(functions.size());
    for (size_t i = 0; i < byStart.size(); ++i) byStart[i] = i;
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](size_t a, size_t b) { return functions[a].address < functions[b].address; });
    auto key = [&](size_t index) { return std::make_pair(functions[index].address, index); };
    auto lower = [&](size_t a, size_t b) { return key(a) < key(b); };
    std::priority_queue<size_t, std::vector<size_t>, decltype(lower)> active(lower);
    size_t next = 0;
    for (const uint64_t bound : bounds) {
        if (bound >= (uint64_t{1} << 32)) break;
        while (next < byStart.size() && functions[byStart[next]].address <= bound) active.push(byStart[next++]);
        while (!active.empty() && uint64_t{functions[active.top()].address} + functions[active.top()].size <= bound) {
            active.pop();
        }
        const size_t owner = active.empty() ? kNone : active.top();
        if (pieces_.empty() || pieces_.back().function != owner) pieces_.push_back({bound, owner});
    }
}

size_t FunctionMap::Find(uint32_t address) const {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), uint64_t{address},
                                        [](uint64_t value, const Piece &piece) { return value < piece.start; });
    return std::prev(after)->function;
}

Profiler::Profiler(std::vector<sh2host::FunctionSymbol> functions)
    : functions_(std::move(functions)), map_(functions_) {
    for (auto &rows : rows_) rows.assign(functions_.size() + 2, Row{});
}

void Profiler::Count(sh2debug::Processor processor, size_t row, int32_t cycles, uint64_t instructions) {
    const uint64_t spent = cycles > 0 ? static_cast<uint64_t>(cycles) : 0;
    for (Row *target : {&rows_[sh2debug::IndexOf(processor)][row], &total_[sh2debug::IndexOf(processor)]}) {
        target->cycles += spent;
        target->instructions += instructions;
    }
}

void Profiler::Add(const sh2debug::Instruction &instruction) {
    auto rowOf = [&](uint32_t pc) {
        const size_t function = map_.Find(pc);
        return function == FunctionMap::kNone ? functions_.size() : function;
    };
    const int32_t branchEnd = instruction.ranDelaySlot ? instruction.slotStartCycles : instruction.endCycles;
    Count(instruction.processor, rowOf(instruction.pc), branchEnd - instruction.startCycles, 1);
    if (instruction.ranDelaySlot) {
        Count(instruction.processor, rowOf(instruction.pc + 2), instruction.endCycles - branchEnd, 1);
    }
}

void Profiler::AddIdle(sh2debug::Processor processor, int32_t cycles) {
    if (cycles > 0) Count(processor, functions_.size() + 1, cycles, 0);
}

bool Profiler::Ran(sh2debug::Processor processor) const {
    const Row &total = total_[sh2debug::IndexOf(processor)];
    return total.cycles != 0 || total.instructions != 0;
}

void Profiler::Print(FILE *out, sh2debug::Processor processor) const {
    const std::vector<Row> &rows = rows_[sh2debug::IndexOf(processor)];
    const Row &total = total_[sh2debug::IndexOf(processor)];
    std::vector<size_t> order;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].cycles != 0 || rows[i].instructions != 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rows[a].cycles > rows[b].cycles; });
    const double all = total.cycles > 0 ? static_cast<double>(total.cycles) : 1.0;
    std::fprintf(out, "profile of the %s: emulated cycles and instructions per function\n",
                 sh2debug::ProcessorName(processor));
    std::fprintf(out, "%14s %7s %14s  %s\n", "cycles", "%", "instructions", "function");
    for (const size_t i : order) {
        const std::string name = i < functions_.size()    ? PrintableName(functions_[i].name)
                                 : i == functions_.size() ? "(outside functions)"
                                                          : "(stopped on an undefined opcode)";
        std::fprintf(out, "%14" PRIu64 " %6.2f%% %14" PRIu64 "  %s\n", rows[i].cycles,
                     100.0 * static_cast<double>(rows[i].cycles) / all, rows[i].instructions, name.c_str());
    }
    std::fprintf(out, "%14" PRIu64 " %6.2f%% %14" PRIu64 "  total\n", total.cycles, total.cycles > 0 ? 100.0 : 0.0,
                 total.instructions);
}

}  // namespace sh2run
