// --trace: one line per executed instruction, the instruction in a delay
// slot on a line of its own after its branch:
//   processor pc opcode cycles disassembly
// where cycles is the slice's count before that instruction.
#pragma once

#include <cstdio>
#include <string>

#include "debug/sh2_debug.h"

namespace sh2run {

class TraceWriter {
public:
    // Writes to `path` ("-": standard output). Open() says whether it could.
    explicit TraceWriter(std::string path);
    ~TraceWriter();
    TraceWriter(const TraceWriter &) = delete;
    TraceWriter &operator=(const TraceWriter &) = delete;

    bool Open(std::string &error);
    void Write(const sh2debug::Instruction &instruction);
    // Whether a write has failed: the run need not go on.
    bool Failed() const { return writeError_ != 0; }
    // Flushes and closes the file; false, with `error` set, if any write
    // failed on the way.
    bool Close(std::string &error);

private:
    // One line: the instruction at `pc`, disassembled as the processor sees
    // it with PC at `seenPc`.
    void Line(sh2debug::Processor processor, uint32_t pc, uint16_t opcode, int32_t cycles, bool slot, uint32_t seenPc);
    std::string path_;
    FILE *out_ = nullptr;
    int writeError_ = 0;  // errno of the first write that failed
};

}  // namespace sh2run
