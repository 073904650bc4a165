// --profile: the emulated cycles and instructions spent in each function of
// the ELF symbol table, per processor, with rows for code outside every
// function and for the idle time of a processor stopped on an undefined
// opcode. Each instruction counts where it lies, the instruction in a delay
// slot too; its cycles are what it added to the slice's count.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "debug/sh2_debug.h"
#include "host_machine/program_image.h"

namespace sh2run {

// A name from the program file as it is shown: control characters (ESC,
// newline, ...) written as \xNN, so that no name moves the terminal or
// starts a line of its own.
std::string PrintableName(std::string_view name);

// Which function holds an address. Functions may nest or overlap (aliases):
// the one that starts closest below the address wins, as the innermost.
class FunctionMap {
public:
    explicit FunctionMap(const std::vector<sh2host::FunctionSymbol> &functions);
    // The index of the function holding `address`, or kNone.
    size_t Find(uint32_t address) const;
    static constexpr size_t kNone = SIZE_MAX;

private:
    struct Piece {
        uint64_t start;  // the piece runs to the next one's start
        size_t function;
    };
    std::vector<Piece> pieces_;  // sorted, covering 0..2^32
};

class Profiler {
public:
    explicit Profiler(std::vector<sh2host::FunctionSymbol> functions);
    void Add(const sh2debug::Instruction &instruction);
    void AddIdle(sh2debug::Processor processor, int32_t cycles);
    // The table of one processor, most expensive first, with a total line.
    void Print(FILE *out, sh2debug::Processor processor) const;
    bool Ran(sh2debug::Processor processor) const;

private:
    struct Row {
        uint64_t cycles = 0;
        uint64_t instructions = 0;
    };
    void Count(sh2debug::Processor processor, size_t row, int32_t cycles, uint64_t instructions);
    std::vector<sh2host::FunctionSymbol> functions_;
    FunctionMap map_;
    // Per processor: one row per function, then "(outside functions)" and
    // "(stopped on an undefined opcode)".
    std::vector<Row> rows_[2];
    Row total_[2];
};

}  // namespace sh2run
