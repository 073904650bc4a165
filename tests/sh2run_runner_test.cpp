// sh2run as users meet it: the command line, program files good and
// hostile, how a run ends (the exit port, the cycle limit, the exit status),
// output that cannot be written, and the same rounds in every run mode.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "command_runner.h"
#include "host_machine/program_image.h"
#include "test_host.h"

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

struct SegmentSpec {
    uint32_t address;
    std::vector<uint8_t> bytes;
    uint32_t memorySize;
};
struct SymbolSpec {
    uint32_t name, value, size;  // name: an offset into the string table
};

// An ELF executable of `segments` in their order, entered at the first; with
// symbols, also a string table and a symbol table of STT_FUNC symbols.
std::vector<uint8_t> ElfFile(const std::vector<SegmentSpec> &segments, const std::vector<uint8_t> &strings = {},
                             const std::vector<SymbolSpec> &symbols = {}) {
    std::vector<uint8_t> elf = ElfImage({}, segments[0].address, 0, 2, 42, 2, static_cast<uint16_t>(segments.size()));
    elf.resize(52 + 32 * segments.size());
    for (size_t i = 0; i < segments.size(); ++i) {
        const size_t header = 52 + 32 * i;
        const uint32_t fields[] = {1,
                                   static_cast<uint32_t>(elf.size()),
                                   segments[i].address,
                                   segments[i].address,
                                   static_cast<uint32_t>(segments[i].bytes.size()),
                                   segments[i].memorySize};
        for (size_t f = 0; f < 6; ++f) Put32(elf, header + 4 * f, fields[f]);
        elf.insert(elf.end(), segments[i].bytes.begin(), segments[i].bytes.end());
    }
    if (symbols.empty()) return elf;
    const auto stringsAt = static_cast<uint32_t>(elf.size());
    elf.insert(elf.end(), strings.begin(), strings.end());
    const auto symbolsAt = static_cast<uint32_t>(elf.size());
    for (const SymbolSpec &symbol : symbols) {
        elf.resize(elf.size() + 16);
        Put32(elf, elf.size() - 16, symbol.name);
        Put32(elf, elf.size() - 12, symbol.value);
        Put32(elf, elf.size() - 8, symbol.size);
        elf[elf.size() - 4] = 0x12;  // STB_GLOBAL, STT_FUNC
    }
    const auto sections = static_cast<uint32_t>(elf.size());
    elf.resize(sections + 3 * 40);  // none, .symtab, .strtab
    Put32(elf, 32, sections);
    Put16(elf, 46, 40);
    Put16(elf, 48, 3);
    Put32(elf, sections + 44, 2);  // SHT_SYMTAB
    Put32(elf, sections + 56, symbolsAt);
    Put32(elf, sections + 60, static_cast<uint32_t>(16 * symbols.size()));
    Put32(elf, sections + 64, 2);  // its strings: section 2
    Put32(elf, sections + 76, 16);
    Put32(elf, sections + 84, 3);  // SHT_STRTAB
    Put32(elf, sections + 96, stringsAt);
    Put32(elf, sections + 100, static_cast<uint32_t>(strings.size()));
    return elf;
}

// The user and system time this process has taken, in seconds, and its peak
// resident memory in bytes.
std::pair<double, uint64_t> ProcessUsage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {seconds, static_cast<uint64_t>(usage.ru_maxrss) << 10};
}

// sort.elf with the entry size of its symbol table made huge: walking the
// table by it must not wrap around.
std::vector<uint8_t> SortWithHugeSymbolEntries() {
    std::vector<uint8_t> elf = ReadBytes(Elf("sort"));
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
        RefusedProgram{"outside the blocks", "",
                       "ELF segment 0: bytes 0x00100000..0x0010003F lie outside the host memory blocks"},
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
    const std::string sort = File("sort_entsize.elf", SortWithHugeSymbolEntries());
    const CommandResult reference = RunCommand(kRunner + " " + Elf("sort"));
    const CommandResult run = RunCommand(kRunner + " --profile " + sort);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output, reference.output);
}

// Where segments overlap, the later one's bytes are kept, its zero fill
// included, however the ranges fall on word boundaries (memory starts as
// 0xEE bytes here).
TEST(Loader, OverlappingSegmentsKeepTheLaterOnesBytes) {
    const struct {
        const char *name;
        std::vector<SegmentSpec> segments;
        std::vector<uint8_t> expected;  // 0x06000000..0x06000007
    } cases[] = {
        {"zero fill over bytes",
         {{0x06000000, std::vector<uint8_t>(8, 0xAA), 8}, {0x06000002, {}, 3}},
         {0xAA, 0xAA, 0, 0, 0, 0xAA, 0xAA, 0xAA}},
        {"bytes over zero fill", {{0x06000000, {}, 8}, {0x06000003, {1, 2}, 2}}, {0, 0, 0, 1, 2, 0, 0, 0}},
        {"three deep",
         {{0x06000001, {0x11, 0x22}, 6}, {0x06000004, {0x33}, 1}, {0x06000000, {}, 1}},
         {0, 0x11, 0x22, 0, 0x33, 0, 0, 0xEE}},
        {"unaligned zero fill", {{0x06000001, {}, 6}}, {0xEE, 0, 0, 0, 0, 0, 0, 0xEE}},
    };
    sh2test::TestMachine &machine = sh2test::TestMachine::Get();
    for (const auto &c : cases) {
        machine.Reset();
        for (uint32_t i = 0; i < 16; ++i) machine.SetByte(0x06000000 + i, 0xEE);
        sh2host::LoadedImage image;
        std::string error;
        ASSERT_TRUE(sh2host::LoadElf(ElfFile(c.segments), image, error)) << c.name << ": " << error;
        std::vector<uint8_t> bytes;
        for (uint32_t i = 0; i < 8; ++i) bytes.push_back(machine.Byte(0x06000000 + i));
        EXPECT_EQ(bytes, c.expected) << c.name;
    }
}

// Hostile shapes load in time linear in their bytes, within a bounded
// memory: 65,534 segments zero-filling all of block 2 (once 357 s), and
// 1,000 symbols naming the start of an 8 MiB string table without a NUL
// (once 8 GB of names).
TEST(Loader, ManySegmentsAndNamesWithoutAnEndLoadQuickly) {
    std::vector<SegmentSpec> segments(65534, SegmentSpec{0x06000000, {}, 0x200000});
    segments.push_back({0x06100000, {0x12, 0x34}, 2});
    std::vector<SymbolSpec> symbols;
    for (uint32_t i = 0; i < 1000; ++i) symbols.push_back({0, 0x06000000 + 2 * i, 2});
    const std::vector<uint8_t> files[] = {
        ElfFile(segments), ElfFile({{0x06004000, {0x00, 0x09}, 2}}, std::vector<uint8_t>(8 << 20, 'x'), symbols)};
    sh2test::TestMachine &machine = sh2test::TestMachine::Get();
    for (const std::vector<uint8_t> &file : files) {
        machine.Reset();
        machine.SetByte(0x061FFFFF, 0xEE);
        const auto [startTime, startPeak] = ProcessUsage();
        sh2host::LoadedImage image;
        std::string error;
        ASSERT_TRUE(sh2host::LoadElf(file, image, error)) << error;
        const auto [endTime, endPeak] = ProcessUsage();
        EXPECT_LT(endTime - startTime, 1.0);
        EXPECT_LT(endPeak - startPeak, uint64_t{64} << 20);
        if (image.functions.empty()) {
            EXPECT_EQ(machine.Byte(0x061FFFFF), 0);
            EXPECT_EQ(machine.Word(0x06100000), 0x1234);
            continue;
        }
        ASSERT_EQ(image.functions.size(), 1000u);
        for (const sh2host::FunctionSymbol &f : image.functions) EXPECT_EQ(f.name, std::string(256, 'x'));
    }
}

// A file whose size reads as 0 (procfs) is read to its end.
TEST(Loader, FilesThatGiveNoSizeAreReadToTheirEnd) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(sh2host::ReadProgramFile("/proc/self/status", bytes, error)) << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).rfind("Name:", 0), 0u);
}

// Symbol names are shown with their control characters escaped, in the
// profile and in the callgrind file, where a newline would start a record.
TEST_F(Sh2runTest, ControlCharactersInSymbolNamesAreEscaped) {
    const std::vector<uint8_t> code = ReadBytes(ExitBinary(0));
    const std::string name = "evil\n\x1b[2Jfn=(9) injected";
    std::vector<uint8_t> strings = {0};
    strings.insert(strings.end(), name.begin(), name.end());
    strings.push_back(0);
    const std::string elf = File("evil.elf", ElfFile({{0x06004000, code, static_cast<uint32_t>(code.size())}}, strings,
                                                     {{1, 0x06004000, static_cast<uint32_t>(code.size())}}));
    const std::string profile = Scratch("evil.callgrind");
    const CommandResult run = RunCommand(kRunner + " --profile --profile-out " + profile + " " + elf);
    const std::string written = ReadText(profile);
    std::remove(profile.c_str());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (const std::string &text : {run.errors, written}) {
        EXPECT_NE(text.find("evil\\x0A\\x1B[2Jfn=(9) injected"), std::string::npos) << text;
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_EQ(text.find("\nfn=(9)"), std::string::npos) << text;
    }
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

// "{program}" in the arguments stands for the program file, which a refused
// command line leaves as it was.
TEST_P(CommandLine, NumbersAreDecimalOrHexWithinTheirRange) {
    const OptionCase &c = GetParam();
    const std::string program = ExitBinary(9);
    const std::vector<uint8_t> bytes = ReadBytes(program);
    std::string arguments = c.arguments;
    if (const size_t at = arguments.find("{program}"); at != std::string::npos) arguments.replace(at, 9, program);
    const CommandResult run = RunCommand(kRunner + " " + arguments + " --raw 0x06004000 " + program);
    if (c.message == nullptr) {
        EXPECT_EQ(run.exitCode, 9) << run.errors;
    } else {
        EXPECT_EQ(run.exitCode, 125) << run.errors;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
        EXPECT_EQ(ReadBytes(program), bytes);
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
                      OptionCase{"--slice 0x10", nullptr}, OptionCase{"--slice 010 --max-cycles 0XFFFF", nullptr},
                      OptionCase{"--slice 00000000000000000000000000100", nullptr},
                      OptionCase{"--entry 0x0000000000000000000000006004000", nullptr},
                      OptionCase{"--irq 64,1,1 --irq master:65,2,3", "option --irq given twice for the master"},
                      OptionCase{"--irq slave:64,1,1 --irq slave:65,2,3", "option --irq given twice for the slave"},
                      OptionCase{"--irq master:64,1,1 --irq slave:65,2,3", nullptr},
                      OptionCase{"--irq slave:64,1", "needs [master:|slave:]VECTOR,LEVEL,EVERY, not \"slave:64,1\""},
                      OptionCase{"--irq other:64,1,1", "the vector: \"other:64\""},
                      OptionCase{"--plugin /nonexistent.so --profile", "--plugin cannot be combined"},
                      OptionCase{"--history 64", "--history bounds the recorded history of a --gdb run"},
                      OptionCase{"--profile-out -", "--profile-out writes a file (and FILE.slave), not standard"},
                      OptionCase{"--trace same.out --profile-out same.out", "name the same file same.out"},
                      OptionCase{"--profile-out same --trace same.slave", "name the same file same.slave"},
                      OptionCase{"--trace {program}", "is the program file: it would be overwritten"},
                      OptionCase{"--profile-out ./{program}", "is the program file: it would be overwritten"}),
    [](const ::testing::TestParamInfo<OptionCase> &test) { return "case" + std::to_string(test.index); });

// A raw image that fills the vector table starts where its reset vector
// says, as --help tells.
TEST_F(Sh2runTest, AnImageWithItsOwnVectorsStartsFromThem) {
    std::vector<uint8_t> image(16, 0);
    for (const size_t at : {size_t{0}, size_t{8}}) {
        Put32(image, at, 0x10);
        Put32(image, at + 4, 0x7F000);
    }
    const std::vector<uint8_t> code = ReadBytes(ExitBinary(6));
    image.insert(image.end(), code.begin(), code.end());
    EXPECT_EQ(RunCommand(kRunner + " --raw 0 " + File("vectors.bin", image)).exitCode, 6);
    EXPECT_NE(RunCommand(kRunner + " --help").output.find("starts from its own reset vector"), std::string::npos);
}

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
    const CommandResult reference = RunCommand(kRunner + " " + Elf("sort"));
    for (const char *slice : {"1", "7", "100", "1000000"}) {
        const CommandResult run = RunCommand(kRunner + " --slice " + slice + " " + Elf("sort"));
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

// At 0x06004000: a program printing "h\n" for ever, and one printing "hi\n"
// once, then spinning.
const std::vector<uint16_t> kPrintForever = {0xD103, 0xE068, 0x2100, 0xE00A, 0x2100,
                                             0xAFFA, 0x0009, 0x0009, 0x0100, 0x0000};
const std::vector<uint16_t> kPrintThenSpin = {0xD104, 0xE068, 0x2100, 0xE069, 0x2100, 0xE00A,
                                              0x2100, 0xAFFE, 0x0009, 0x0009, 0x0100, 0x0000};

// A reader that goes away ends the run with a message and 125, the files
// asked for still written; and each line reaches a pipe as it is printed.
TEST_F(Sh2runTest, OutputReachesAPipeLineByLineAndAPipeClosedEndsTheRun) {
    const std::string forever = File("forever.bin", Words(kPrintForever));
    const std::string once = File("once.bin", Words(kPrintThenSpin));
    const std::string profile = Scratch("pipe.callgrind");
    for (const std::string &mode : {std::string(), "--profile-out " + profile}) {
        const CommandResult run =
            RunCommand("sh -c '{ " + kRunner + " " + mode + " --max-cycles 100000000 --raw 0x06004000 " + forever +
                       "; echo exit $? >&2; } | head -c1'");
        EXPECT_EQ(run.output, "h") << mode;
        EXPECT_NE(run.errors.find("cannot write the program's output to standard output: Broken pipe\nexit 125"),
                  std::string::npos)
            << mode << run.errors;
        if (!mode.empty()) {
            EXPECT_NE(ReadText(profile).find("\ntotals: "), std::string::npos);
        }
        std::remove(profile.c_str());
        EXPECT_EQ(RunCommand("timeout 1 " + kRunner + " " + mode + " --raw 0x06004000 " + once).output, "hi\n") << mode;
    }
}

}  // namespace
