// --profile-out FILE: the profile in callgrind's format, for
// callgrind_annotate and KCachegrind. Events are the emulated cycles and the
// instructions, exact, per source line (from the program's DWARF line table,
// read with elfutils' libdw) within each function of the symbol table, with
// the call edges of BSR, BSRF and JSR and their inclusive costs up to the
// matching RTS. The master's profile goes to FILE, the slave's (when it ran)
// to FILE.slave.
//
// Whatever the program does, the profile's memory is bounded by the program
// file (its functions and source lines) and its time is linear in the run:
// at most kMaxCallDepth calls wait for their return (a deeper call drops
// the outermost), a return is matched against the kReturnSearch innermost
// of them only, and positions are cached for a bounded number of addresses.
// The calls still waiting for their return when the run ends (a main that
// never returns) are closed there, into the inclusive costs. The calls that
// lost their return and the returns that matched no call are counted in a
// comment at the end of the file. A function's file is the one that defines
// it, and its lines from other files (inlined headers) come under fi=.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "debug/sh2_debug.h"
#include "host_machine/program_image.h"
#include "sh2run/debug/profile.h"

namespace sh2run {

// The source line of each instruction address, from an ELF file's DWARF
// line table; lines are 0 and files "???" where it has none (or where this
// build has no libdw). It reads a private copy of the file's bytes, which
// nothing else can truncate or change while libdw reads it on demand.
class SourceLines {
public:
    explicit SourceLines(const std::vector<uint8_t> &elf);
    ~SourceLines();
    SourceLines(const SourceLines &) = delete;
    SourceLines &operator=(const SourceLines &) = delete;

    struct Place {
        std::string file;
        int line = 0;
    };
    Place At(uint32_t address) const;
    // The file that defines the function holding `address` (its DWARF
    // declaration, which lines inlined from headers do not change); empty
    // when unknown.
    std::string DefinitionFile(uint32_t address) const;
    bool HasLines() const;

private:
    struct Reader;
    std::unique_ptr<Reader> reader_;
};

class CallgrindProfile {
public:
    static constexpr size_t kMaxCallDepth = 4096;
    static constexpr size_t kReturnSearch = 16;
    static constexpr size_t kPositionCache = size_t{1} << 16;  // addresses, direct-mapped

    // `program`: the file's name, for the profile's header; `elf`: its bytes.
    CallgrindProfile(std::string program, const std::vector<uint8_t> &elf,
                     std::vector<sh2host::FunctionSymbol> functions);
    void Add(const sh2debug::Instruction &instruction);
    void AddIdle(sh2debug::Processor processor, int32_t cycles);
    // Writes FILE (and FILE.slave); false, with `error` set, if one cannot be
    // written.
    bool Write(const std::string &path, std::string &error) const;

private:
    struct Cost {
        uint64_t cycles = 0;
        uint64_t instructions = 0;
        void Add(const Cost &other) {
            cycles += other.cycles;
            instructions += other.instructions;
        }
    };
    // Where costs go: a function (its index; one past the last for code
    // outside every function, two past for idle time) and a place in the
    // sources (an index into places_).
    struct Position {
        size_t function;
        size_t place;
        bool operator<(const Position &o) const { return std::tie(function, place) < std::tie(o.function, o.place); }
    };
    struct Call {
        uint64_t count = 0;
        Cost inclusive;
    };
    struct Frame {
        Position caller;
        Position callee;
        uint32_t returnAddress;
        Cost start;
    };
    struct Processor {
        std::map<Position, Cost> self;
        std::map<std::pair<Position, Position>, Call> calls;
        std::deque<Frame> stack;  // the calls waiting for their return, innermost last
        Cost total;
        uint64_t unreturnedCalls = 0;   // dropped from the stack, or left behind by a return further out
        uint64_t unmatchedReturns = 0;  // matched none of the kReturnSearch innermost calls
    };
    struct CachedPosition {
        uint32_t address = 0;
        bool valid = false;
        Position position{0, 0};
    };
    Position PositionOf(uint32_t address);
    void Spend(Processor &processor, const Position &position, int32_t cycles);
    bool WriteOne(const std::string &path, const Processor &processor, std::string &error) const;

    std::string program_;
    std::vector<sh2host::FunctionSymbol> functions_;
    FunctionMap map_;
    SourceLines lines_;
    std::vector<SourceLines::Place> places_;
    std::map<std::pair<std::string, int>, size_t> placeIndex_;
    std::vector<CachedPosition> positions_;  // by address, as met: kPositionCache slots
    Processor processors_[2];
};

}  // namespace sh2run
