// The bundled programs run through sh2run and the real plug-in: each C
// program must print exactly what the same source prints compiled natively,
// and the assembly self-test must pass.
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
                         ::testing::Values("crc32", "fib", "sort", "onchip_ram", "divu_dma", "timer_irq", "primes"));

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
std::ostream &operator<<(std::ostream &out, const CheckProgram &program) {
    return out << program.name;
}

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
                                           CheckProgram{"irq_entry", "--irq 80,6,2"}, CheckProgram{"nested_slots", ""}),
                         [](const ::testing::TestParamInfo<CheckProgram> &test) {
                             return std::string(test.param.name);
                         });

TEST(AssembledProgram, KnownCrcOfTheCheckString) {
    // Independent of the native build: the CRC-32 check value of "123456789".
    const CommandResult run = RunCommand(kRunner + " " + Elf("crc32"));
    EXPECT_NE(run.output.find("crc32(\"123456789\") = 0xcbf43926\n"), std::string::npos) << run.output;
}

}  // namespace
