#include "sh2run/debug/trace.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace sh2run {

TraceWriter::TraceWriter(std::string path) : path_(std::move(path)) {}

TraceWriter::~TraceWriter() {
    if (out_ != nullptr && out_ != stdout) std::fclose(out_);
}

bool TraceWriter::Open(std::string &error) {
    out_ = path_ == "-" ? stdout : std::fopen(path_.c_str(), "w");
    if (out_ == nullptr) {
        error = "cannot write the trace to " + path_ + ": " + std::strerror(errno);
        return false;
    }
    std::fprintf(out_, "# core   pc       op     cycles  instruction\n");
    return true;
}

void TraceWriter::Line(sh2debug::Processor processor, uint32_t pc, uint16_t opcode, int32_t cycles, bool slot,
                       uint32_t seenPc) {
    // A PC-relative operand shows the address the processor uses: from the
    // PC the handler sees.
    const std::string text = sh2debug::Disassemble(opcode, seenPc);
    if (std::fprintf(out_, "%-6s %08" PRIx32 " %04x %10" PRId32 "  %s%s\n", sh2debug::ProcessorName(processor), pc,
                     static_cast<unsigned>(opcode), cycles, text.c_str(), slot ? "\t! delay slot" : "") < 0 &&
        writeError_ == 0) {
        writeError_ = errno;
    }
}

void TraceWriter::Write(const sh2debug::Instruction &instruction) {
    Line(instruction.processor, instruction.pc, instruction.opcode, instruction.startCycles, false, instruction.pc);
    if (instruction.ranDelaySlot) {
        // A slot runs with PC at the branch target, where the run goes on.
        Line(instruction.processor, instruction.pc + 2, instruction.slotOpcode, instruction.slotStartCycles, true,
             instruction.nextPc);
    }
}

bool TraceWriter::Close(std::string &error) {
    if (out_ == nullptr) return true;
    if (std::fflush(out_) != 0 && writeError_ == 0) writeError_ = errno;
    if (std::ferror(out_) != 0 && writeError_ == 0) writeError_ = EIO;
    if (out_ != stdout && std::fclose(out_) != 0 && writeError_ == 0) writeError_ = errno;
    out_ = nullptr;
    if (writeError_ != 0) error = "cannot write the trace to " + path_ + ": " + std::strerror(writeError_);
    return writeError_ == 0;
}

}  // namespace sh2run
