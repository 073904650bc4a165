// sh2run as users meet it: the command line, program files good and
// hostile, how a run ends (the exit port, the cycle limit, the exit status),
// output that cannot be written, and the same rounds in every run mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "command_runner.h"

using namespace sh2test;

namespace {

// Ends the run with STATUS through the exit port after three instructions.
std::string ExitProgram(uint32_t status) {
    return R"(
start:  mov.l   status, r0
        mov.l   port, r1
        mov.l   r0, @r1
spin:   bra     spin
        nop
        .align  2
status: .long   )" +
           std::to_string(status) + R"(
port:   .long   0x01000004
)";
}

std::vector<uint8_t> ReadBytes(const std::string &path) {
    const std::string text = ReadText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void Put32(std::vector<uint8_t> &bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
void Put16(std::vector<uint8_t> &bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value);
}

// An ELF executable of one PT_LOAD segment holding `code` at `address` with
// `memorySize` bytes in memory, entered at `address`.
std::vector<uint8_t> ElfImage(const std::vector<uint8_t> &code, uint32_t address, uint32_t memorySize,
                              uint8_t encoding = 2, uint16_t machine = 42, uint16_t type = 2, uint16_t segments = 1) {
    std::vector<uint8_t> elf(84, 0);
    elf[0] = 0x7F, elf[1] = 'E', elf[2] = 'L', elf[3] = 'F', elf[4] = 1, elf[5] = encoding, elf[6] = 1;
    Put16(elf, 16, type);
    Put16(elf, 18, machine);
    Put32(elf, 24, address);  // entry
    Put32(elf, 28, 52);       // program headers
    Put16(elf, 42, 32);
    Put16(elf, 44, segments);
    Put32(elf, 52, 1);  // PT_LOAD
    Put32(elf, 56, 84);
    Put32(elf, 60, address);
    Put32(elf, 64, address);
    Put32(elf, 68, static_cast<uint32_t>(code.size()));
    Put32(elf, 72, memorySize);
    elf.resize(84 + code.size());
    std::copy(code.begin(), code.end(), elf.begin() + 84);
    return elf;
}

// fib.elf with the entry size of its symbol table made huge: walking the
// table by it must not wrap around.
std::vector<uint8_t> FibWithHugeSymbolEntries() {
    std::vector<uint8_t> elf = ReadBytes(Elf("fib"));
    auto get32 = [&](size_t at) {
        return uint32_t{elf[at]} << 24 | uint32_t{elf[at + 1]} << 16 | uint32_t{elf[at + 2]} << 8 | elf[at + 3];
    };
    const uint32_t shoff = get32(32);
    const unsigned shnum = static_cast<unsigned>(elf[48] << 8 | elf[49]);
    for (unsigned i = 0; i < shnum; ++i) {
        const size_t header = shoff + 40u * i;
        if (get32(header + 4) == 2) Put32(elf, header + 36, 0xFFFFFFF8u);  // SHT_SYMTAB's sh_entsize
    }
    return elf;
}

class Sh2runTest : public ::testing::Test {
protected:
    // The assembled exit program, `status` as its exit status.
    std::string ExitBinary(uint32_t status = 0) {
        std::string errors;
        const std::string path = AssembleRaw("exit_" + std::to_string(status), ExitProgram(status), errors);
        EXPECT_FALSE(path.empty()) << errors;
        scratch_.push_back(path);
        return path;
    }
    std::string File(const std::string &name, const std::vector<uint8_t> &bytes) {
        const std::string path = Scratch(name);
        WriteBytes(path, bytes);
        scratch_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string &path : scratch_) std::remove(path.c_str());
    }
    std::vector<std::string> scratch_;
};

// ---------------------------------------------------------------------------
// Program files sh2run refuses, each with a message and exit code 125.

struct RefusedProgram {
    const char *name;
    const char *options;
    const char *message;
};
std::ostream &operator<<(std::ostream &out, const RefusedProgram &c) {
    return out << c.name;
}

class RefusedProgramFile : public Sh2runTest, public ::testing::WithParamInterface<RefusedProgram> {
protected:
    // The file of each case; its code is the exit program.
    std::string FileOf(const std::string &name) {
        const std::vector<uint8_t> code = ReadBytes(ExitBinary());
        if (name == "directory") return ".";
        if (name == "device") return "/dev/zero";
        if (name == "missing file") return Scratch("no_such_program.elf");
        if (name == "over 64 MiB") {
            const std::string path = File("huge.elf", {});
            std::FILE *file = std::fopen(path.c_str(), "r+b");
            std::fseek(file, (65 << 20) - 1, SEEK_SET);
            std::fputc(0, file);
            std::fclose(file);
            return path;
        }
        if (name == "not ELF") return File("text.elf", {'h', 'e', 'l', 'l', 'o'});
        if (name == "truncated ELF header") return File("short.elf", {0x7F, 'E', 'L', 'F', 1, 2});
        if (name == "little-endian") return File("le.elf", ElfImage(code, 0x06004000, 64, 1));
        if (name == "data encoding 3") return File("d3.elf", ElfImage(code, 0x06004000, 64, 3));
        if (name == "not SH") return File("x86.elf", ElfImage(code, 0x06004000, 64, 2, 3));
        if (name == "relocatable") return File("rel.elf", ElfImage(code, 0x06004000, 64, 2, 42, 1));
        if (name == "no program header") return File("noph.elf", ElfImage(code, 0x06004000, 64, 2, 42, 2, 0));
        if (name == "more file than memory bytes") return File("fm.elf", ElfImage(code, 0x06004000, 8));
        if (name == "segment past the end of the file") {
            std::vector<uint8_t> elf = ElfImage(code, 0x06004000, 64);
            Put32(elf, 68, 4096);  // filesz
            Put32(elf, 72, 4096);
            return File("eof.elf", elf);
        }
        if (name == "outside the blocks") return File("out.elf", ElfImage(code, 0x00100000, 64));
        if (name == "zero fill through the aliases") return File("fill.elf", ElfImage(code, 0x00060040, 0x10002000));
        if (name == "on-chip RAM") return File("ram.elf", ElfImage(code, 0xC0000000, 64));
        if (name == "on-chip registers") return File("regs.elf", ElfImage(code, 0xFFFFFE00, 64));
        if (name == "alias of block 2") return File("alias.elf", ElfImage(code, 0x26004000, 64));
        if (name == "empty raw file") return File("empty.bin", {});
        return File("raw.bin", code);  // the raw cases
    }
};

TEST_P(RefusedProgramFile, GetsAClearMessageAndExitCode125) {
    const RefusedProgram &c = GetParam();
    const CommandResult run = RunCommand(kRunner + " " + c.options + " " + FileOf(c.name));
    EXPECT_EQ(run.exitCode, 125) << run.errors;
    EXPECT_EQ(run.errors.rfind("sh2run: ", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(
    Loader, RefusedProgramFile,
    ::testing::Values(
        RefusedProgram{"missing file", "", "cannot open"}, RefusedProgram{"directory", "", "is a directory"},
        RefusedProgram{"device", "", "is not a regular file"}, RefusedProgram{"over 64 MiB", "", "larger than 64 MiB"},
        RefusedProgram{"not ELF", "", "not an ELF file"},
        RefusedProgram{"truncated ELF header", "", "truncated ELF header"},
        RefusedProgram{"little-endian", "", "little-endian ELF"},
        RefusedProgram{"data encoding 3", "", "unknown ELF data encoding 3"},
        RefusedProgram{"not SH", "", "not an SH ELF file"}, RefusedProgram{"relocatable", "", "not an executable"},
        RefusedProgram{"no program header", "", "bad ELF program header table"},
        RefusedProgram{"more file than memory bytes", "", "more bytes in the file (20) than in memory (8)"},
        RefusedProgram{"segment past the end of the file", "", "runs past the end of the file"},
        RefusedProgram{"outside the blocks", "", "outside the host memory blocks"},
        RefusedProgram{"zero fill through the aliases", "", "run past the end of host memory block 0"},
        RefusedProgram{"on-chip RAM", "", "lie in on-chip RAM"},
        RefusedProgram{"on-chip registers", "", "lie in the on-chip registers"},
        RefusedProgram{"alias of block 2", "", "alias of host memory block 2: link them at 0x06004000"},
        RefusedProgram{"empty raw file", "--raw 0x06004000", "empty file"},
        RefusedProgram{"raw outside the blocks", "--raw 0x00400000", "outside the host memory blocks"},
        RefusedProgram{"raw running off block 0", "--raw 0x0007FFF0", "run past the end of host memory block 0"},
        RefusedProgram{"raw in on-chip RAM", "--raw 0xC0000000", "lie in on-chip RAM"},
        RefusedProgram{"missing plug-in", "--raw 0x06004000 --plugin /nonexistent/plugin.so",
                       "cannot load the plug-in"}),
    [](const ::testing::TestParamInfo<RefusedProgram> &test) {
        std::string name = test.param.name;
        for (char &c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// Programs at the edges of what loads: one that fills all of block 2 (and
// so crosses 0x06100000), and one whose symbol table's entry size is near
// 2^32.
TEST_F(Sh2runTest, ProgramsAtTheEdgesOfTheBlocksAndTheSymbolTableLoad) {
    const std::string full = File("full.elf", ElfImage(ReadBytes(ExitBinary(7)), 0x06000000, 0x200000));
    EXPECT_EQ(RunCommand(kRunner + " " + full).exitCode, 7);
    const std::string fib = File("fib_entsize.elf", FibWithHugeSymbolEntries());
    const CommandResult reference = RunCommand(kRunner + " " + Elf("fib"));
    const CommandResult run = RunCommand(kRunner + " --profile " + fib);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output, reference.output);
}

// ---------------------------------------------------------------------------
// The command line: every number decimal or 0x hex, each option its range.

struct OptionCase {
    const char *arguments;
    const char *message;  // null: accepted
};
std::ostream &operator<<(std::ostream &out, const OptionCase &c) {
    return out << c.arguments;
}

class CommandLine : public Sh2runTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(CommandLine, NumbersAreDecimalOrHexWithinTheirRange) {
    const OptionCase &c = GetParam();
    const CommandResult run = RunCommand(kRunner + " " + c.arguments + " --raw 0x06004000 " + ExitBinary(9));
    if (c.message == nullptr) {
        EXPECT_EQ(run.exitCode, 9) << run.errors;
    } else {
        EXPECT_EQ(run.exitCode, 125) << run.errors;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(OptionCase{"--irq 64,1,-1", "EVERY: \"-1\" is not a number from 1 to 4294967295"},
                      OptionCase{"--irq 64,-4294967295,1", "the level: \"-4294967295\" is not a number from 1 to 15"},
                      OptionCase{"--irq 4294967296,1,1", "the vector: \"4294967296\" is not a number from 0 to 255"},
                      OptionCase{"--irq 64,16,1", "the level: \"16\""}, OptionCase{"--irq 64,1", "VECTOR,LEVEL,EVERY"},
                      OptionCase{"--irq 64,1,1,1", "VECTOR,LEVEL,EVERY"},
                      OptionCase{"--slice 0", "option --slice: \"0\""},
                      OptionCase{"--slice 2147483648", "option --slice"}, OptionCase{"--slice +5", "option --slice"},
                      OptionCase{"--slice 0x", "option --slice"}, OptionCase{"--slice 1e3", "option --slice"},
                      OptionCase{"--gdb 65536", "option --gdb"}, OptionCase{"--sp 0x100000000", "option --sp"},
                      OptionCase{"--max-cycles 18446744073709551616", "option --max-cycles"},
                      OptionCase{"--slice", "option --slice: \"--raw\" is not a number"},
                      OptionCase{"--fast", "unknown option --fast"},
                      OptionCase{"--gdb 0 --profile", "cannot be combined"}, OptionCase{"--irq 0x40,1,0x10", nullptr},
                      OptionCase{"--slice 0x10", nullptr}, OptionCase{"--slice 010 --max-cycles 0XFFFF", nullptr}),
    [](const ::testing::TestParamInfo<OptionCase> &test) { return "case" + std::to_string(test.index); });

// ---------------------------------------------------------------------------
// How a run ends.

// The program's status passes through unless it would read as success or as
// one of sh2run's own codes (124, 125, 137): then it is 123, with a note.
TEST_F(Sh2runTest, ExitStatusesAreMappedAwayFromTheRunnersOwnCodes) {
    const struct {
        uint32_t status;
        int code;
    } cases[] = {{0, 0}, {1, 1}, {123, 123}, {124, 123}, {125, 123}, {256, 123}, {381, 123}, {0xFFFFFFFF, 123}};
    for (const auto &c : cases) {
        const CommandResult run = RunCommand(kRunner + " --raw 0x06004000 " + ExitBinary(c.status));
        EXPECT_EQ(run.exitCode, c.code) << "status " << c.status;
        const bool noted =
            run.errors.find("exit status " + std::to_string(c.status) + " is passed on as 123") != std::string::npos;
        EXPECT_EQ(noted, c.status > 123) << run.errors;
    }
}

std::string Field(const std::string &text, const std::string &name) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(name + ": ([^\n]*)")) ? match[1].str() : "<no " + name + ">";
}

// The exit port ends the run inside its write, even in a slice of 2^31
// cycles: a plain run leaves the plug-in's slice (whose cycles it then cannot
// count), the debugging modes stop right after the writing instruction.
TEST_F(Sh2runTest, TheExitPortEndsTheRunInsideItsSlice) {
    const std::string program = " --stats --slice 2147483647 --raw 0x06004000 " + ExitBinary(5);
    const struct {
        const char *mode;
        const char *cycles;
    } modes[] = {
        {"", "0 (without the last slice, which the exit cut short)"}, {"--profile", "3"}, {"--trace /dev/null", "3"}};
    for (const auto &m : modes) {
        const CommandResult run = RunCommand(kRunner + " " + m.mode + program);
        EXPECT_EQ(run.exitCode, 5) << m.mode << run.errors;
        EXPECT_EQ(Field(run.errors, "emulated cycles"), m.cycles) << m.mode;
        EXPECT_EQ(Field(run.errors, "slices"), "1") << m.mode;
    }
}

// The cycle limit stops every mode at the same instruction boundary, the
// first at or past the limit, even inside a slice.
TEST_F(Sh2runTest, TheCycleLimitStopsEveryModeAtTheSameBoundary) {
    for (const uint64_t limit : {0ull, 1ull, 12ull, 1000003ull}) {
        std::string cycles[2];
        int index = 0;
        for (const char *mode : {"", "--profile"}) {
            const CommandResult run = RunCommand(kRunner + " --stats " + mode + " --max-cycles " +
                                                 std::to_string(limit) + " " + Elf("crc32"));
            EXPECT_EQ(run.exitCode, 124) << mode << " " << limit;
            EXPECT_NE(run.errors.find("cycle limit of " + std::to_string(limit)), std::string::npos) << run.errors;
            cycles[index++] = Field(run.errors, "emulated cycles");
        }
        EXPECT_EQ(cycles[0], cycles[1]) << "limit " << limit;
        const uint64_t ran = std::stoull(cycles[0]);
        EXPECT_GE(ran, limit);
        EXPECT_LT(ran, limit + 12) << "limit " << limit;
    }
}

TEST_F(Sh2runTest, SliceLengthDoesNotChangeResults) {
    const CommandResult reference = RunCommand(kRunner + " " + Elf("fib"));
    for (const char *slice : {"1", "7", "100", "1000000"}) {
        const CommandResult run = RunCommand(kRunner + " --slice " + slice + " " + Elf("fib"));
        EXPECT_EQ(run.exitCode, 0) << "slice " << slice;
        EXPECT_EQ(run.output, reference.output) << "slice " << slice;
    }
}

// A program that never exits ends at the cycle limit with 124; --stats
// reports the run.
TEST_F(Sh2runTest, AProgramThatNeverExitsStopsAtTheLimit) {
    const std::string spin = File("spin.bin", {0xAF, 0xFE, 0x00, 0x09});  // bra .; nop
    const CommandResult run =
        RunCommand(kRunner + " --stats --slice 1000 --raw 0x06001000 --max-cycles 100000 " + spin);
    EXPECT_EQ(run.exitCode, 124);
    EXPECT_EQ(Field(run.errors, "slices"), "100");
    EXPECT_EQ(Field(run.errors, "emulated cycles"), "100002");  // 99 slices of 1002, then one cut to 802
    for (const char *field : {"wall time: ", "emulated MHz: "}) {
        EXPECT_NE(run.errors.find(field), std::string::npos) << field << " missing in:\n" << run.errors;
    }
}

// Output that cannot be written is an error of the run, reported with 125.
TEST_F(Sh2runTest, OutputThatCannotBeWrittenIsReported) {
    const struct {
        const char *command;
        const char *message;
    } cases[] = {
        {" --trace /dev/full ", "cannot write the trace to /dev/full: No space left on device"},
        {" --trace /nonexistent/trace.txt ", "cannot write the trace to /nonexistent/trace.txt"},
    };
    for (const auto &c : cases) {
        const CommandResult run = RunCommand(kRunner + c.command + Elf("fib"));
        EXPECT_EQ(run.exitCode, 125) << c.command;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    }
    const CommandResult full = RunCommand("sh -c '" + kRunner + " " + Elf("fib") + " >/dev/full; echo $?'");
    EXPECT_NE(full.errors.find("cannot write the program's output to standard output"), std::string::npos)
        << full.errors;
    EXPECT_EQ(full.output, "125\n");
}

}  // namespace
