// The bundled programs run through sh2run and the real plug-in: each C
// program must print exactly what the same source prints compiled natively,
// and the assembly self-test must pass. Also sh2run's handling of bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "command_runner.h"

using namespace sh2test;

namespace {

class CompiledProgram : public ::testing::TestWithParam<const char *> {};

TEST_P(CompiledProgram, PrintsWhatTheNativeBuildPrints) {
    const std::string name = GetParam();
    const CommandResult native = RunCommand(std::string(SH2_NATIVE_EXAMPLES_DIR) + "/native_" + name);
    ASSERT_EQ(native.exitCode, 0);
    ASSERT_FALSE(native.output.empty());
    const CommandResult emulated = RunCommand(kRunner + " " + Elf(name));
    EXPECT_EQ(emulated.exitCode, 0) << emulated.errors;
    EXPECT_EQ(emulated.output, native.output) << emulated.errors;
}

INSTANTIATE_TEST_SUITE_P(Examples, CompiledProgram,
                         ::testing::Values("crc32", "fib", "sort", "onchip_ram", "divu_dma", "timer_irq"));

TEST(AssembledProgram, SelfTestPasses) {
    const CommandResult run = RunCommand(kRunner + " " + Elf("selftest"));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output, "selftest: ok\n") << run.errors;
}

// The assembly check programs print "<name>: ok" and exit with 0, or name
// the failed check and exit with its number.
struct CheckProgram {
    const char *name;
    const char *options;
};
std::ostream &operator<<(std::ostream &out, const CheckProgram &program) { return out << program.name; }

class AssembledCheckProgram : public ::testing::TestWithParam<CheckProgram> {};

TEST_P(AssembledCheckProgram, ReportsOkAndExitsWithZero) {
    const CheckProgram &program = GetParam();
    const CommandResult run =
        RunCommand(kRunner + " --max-cycles 50000000 " + program.options + " " + Elf(program.name));
    EXPECT_EQ(run.output, std::string(program.name) + ": ok\n") << run.errors;
    EXPECT_EQ(run.exitCode, 0) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Examples, AssembledCheckProgram,
                         ::testing::Values(CheckProgram{"trap_rte", ""}, CheckProgram{"sleep_exception", ""},
                                           CheckProgram{"irq_entry", "--irq 80,6,2"},
                                           CheckProgram{"nested_slots", ""}),
                         [](const ::testing::TestParamInfo<CheckProgram> &info) {
                             return std::string(info.param.name);
                         });

TEST(AssembledProgram, KnownCrcOfTheCheckString) {
    // Independent of the native build: the CRC-32 check value of "123456789".
    const CommandResult run = RunCommand(kRunner + " " + Elf("crc32"));
    EXPECT_NE(run.output.find("crc32(\"123456789\") = 0xcbf43926\n"), std::string::npos) << run.output;
}

TEST(Runner, SliceLengthDoesNotChangeResults) {
    const CommandResult reference = RunCommand(kRunner + " " + Elf("fib"));
    for (const char *slice : {"1", "7", "100", "1000000"}) {
        const CommandResult run = RunCommand(kRunner + " --slice " + slice + " " + Elf("fib"));
        EXPECT_EQ(run.exitCode, 0) << "slice " << slice;
        EXPECT_EQ(run.output, reference.output) << "slice " << slice;
    }
}

TEST(Runner, StatsReportSlicesCyclesAndSpeed) {
    const CommandResult run = RunCommand(kRunner + " --stats --slice 1000 " + Elf("selftest"));
    EXPECT_EQ(run.exitCode, 0);
    for (const char *field : {"slices: ", "emulated cycles: ", "wall time: ", "emulated MHz: ", "exit status: 0"}) {
        EXPECT_NE(run.errors.find(field), std::string::npos) << field << " missing in:\n" << run.errors;
    }
}

// A raw binary runs at its address; a program that never exits ends at the
// cycle limit with status 124.
TEST(Runner, RawBinaryAtAnAddressAndTheCycleLimit) {
    // mov #42,r0; mov.l @(8,pc),r1 (the exit port); mov.l r0,@r1; bra .; nop
    WriteBytes(Scratch("raw_program.bin"), {0xE0, 0x2A, 0xD1, 0x02, 0x21, 0x02, 0xAF, 0xFE, 0x00, 0x09, 0x00, 0x09, 0x01,
                                            0x00, 0x00, 0x04});
    EXPECT_EQ(RunCommand(kRunner + " --raw 0x06001000 --max-cycles 1000000 " + Scratch("raw_program.bin")).exitCode, 42);
    WriteBytes(Scratch("raw_program.bin"), {0xAF, 0xFE, 0x00, 0x09});  // bra .; nop
    const CommandResult run =
        RunCommand(kRunner + " --raw 0x06001000 --max-cycles 100000 " + Scratch("raw_program.bin"));
    EXPECT_EQ(run.exitCode, 124);
    EXPECT_NE(run.errors.find("cycle limit"), std::string::npos) << run.errors;
    std::remove(Scratch("raw_program.bin").c_str());
}

struct BadInput {
    const char *name;
    std::vector<uint8_t> bytes;  // empty: the file is not created
    const char *options;
    const char *message;
};

std::vector<uint8_t> ElfHeader(uint8_t dataEncoding, uint16_t machine, uint16_t type) {
    std::vector<uint8_t> h(52, 0);
    h[0] = 0x7F, h[1] = 'E', h[2] = 'L', h[3] = 'F', h[4] = 1, h[5] = dataEncoding, h[6] = 1;
    h[16] = static_cast<uint8_t>(type >> 8), h[17] = static_cast<uint8_t>(type);
    h[18] = static_cast<uint8_t>(machine >> 8), h[19] = static_cast<uint8_t>(machine);
    return h;
}

std::vector<uint8_t> ElfWithSegmentAt(uint32_t address) {
    std::vector<uint8_t> h = ElfHeader(2, 42, 2);
    h[28] = 0, h[31] = 52;       // phoff
    h[42] = 0, h[43] = 32;       // phentsize
    h[44] = 0, h[45] = 1;        // phnum
    std::vector<uint8_t> ph(32, 0);
    ph[3] = 1;                   // PT_LOAD
    ph[7] = 84;                  // offset of the data
    for (int i = 0; i < 4; ++i) ph[12 + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    ph[19] = 4, ph[23] = 4;      // filesz, memsz
    h.insert(h.end(), ph.begin(), ph.end());
    h.insert(h.end(), {0x00, 0x09, 0x00, 0x09});
    return h;
}

TEST(Runner, BadInputGivesAClearMessageAndFails) {
    const BadInput cases[] = {
        {"missing file", {}, "", "cannot open"},
        {"not an ELF", {'h', 'e', 'l', 'l', 'o'}, "", "not an ELF file"},
        {"truncated ELF", {0x7F, 'E', 'L', 'F', 1, 2}, "", "truncated ELF header"},
        {"little-endian ELF", ElfHeader(1, 42, 2), "", "big-endian"},
        {"not SH", ElfHeader(2, 3, 2), "", "not an SH ELF file"},
        {"relocatable", ElfHeader(2, 42, 1), "", "not an executable"},
        {"no program headers", ElfHeader(2, 42, 2), "", "program header"},
        {"segment outside the blocks", ElfWithSegmentAt(0x00100000), "", "outside the host memory blocks"},
        {"raw image outside the blocks", {0x00, 0x09}, "--raw 0x00400000", "outside the host memory blocks"},
        {"raw image running off block 0", std::vector<uint8_t>(8, 0), "--raw 0x0007FFFC", "run past the end of host memory block 0"},
        {"bad option value", {0x00, 0x09}, "--slice 0", "--slice"},
        {"unknown option", {0x00, 0x09}, "--fast", "unknown option"},
        {"missing plug-in", {0x00, 0x09}, "--raw 0x06000000 --plugin /nonexistent/plugin.so", "cannot load the plug-in"},
    };
    for (const BadInput &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = Scratch("bad_input.bin");
        std::remove(file.c_str());
        if (!c.bytes.empty()) WriteBytes(file, c.bytes);
        const CommandResult run = RunCommand(kRunner + " " + c.options + " " + file);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.exitCode, -1) << "sh2run did not exit normally";
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
        std::remove(file.c_str());
    }
}

}  // namespace
