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
                         ::testing::Values("crc32", "fib", "sort", "onchip_ram", "divu_dma", "timer_irq", "primes",
                                           "split_crc", "ring", "slave_switch"));

// The programs that run on both processors: each run through the debugging
// interface counts both processors, and two runs are the same to the cycle
// and the instruction on each.
class TwoProcessorProgram : public ::testing::TestWithParam<const char *> {};

TEST_P(TwoProcessorProgram, RunsTheSameEveryTimeOnBothProcessors) {
    const std::string command = kRunner + " --stats --profile " + Elf(GetParam());
    const CommandResult first = RunCommand(command);
    const CommandResult second = RunCommand(command);
    ASSERT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_EQ(second.output, first.output);
    auto counts = [](const std::string &errors) {
        std::string lines;
        for (size_t at = 0; at < errors.size();) {
            const size_t end = errors.find('\n', at);
            const std::string line = errors.substr(at, end - at);
            if (line.rfind("master: ", 0) == 0 || line.rfind("slave: ", 0) == 0) lines += line + "\n";
            at = end == std::string::npos ? errors.size() : end + 1;
        }
        return lines;
    };
    const std::string tally = counts(first.errors);
    EXPECT_NE(tally.find("slave: "), std::string::npos) << first.errors;
    EXPECT_NE(tally.find(" instructions\n"), std::string::npos) << first.errors;
    EXPECT_EQ(counts(second.errors), tally);
    EXPECT_NE(first.output.find("[slave] "), std::string::npos) << first.output;
}

INSTANTIATE_TEST_SUITE_P(Examples, TwoProcessorProgram, ::testing::Values("split_crc", "ring", "slave_switch"));

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
                                           CheckProgram{"irq_entry", "--irq 80,6,2"}, CheckProgram{"nested_slots", ""},
                                           CheckProgram{"slave_irq", "--irq slave:81,7,3"}),
                         [](const ::testing::TestParamInfo<CheckProgram> &test) {
                             return std::string(test.param.name);
                         });

TEST(AssembledProgram, KnownCrcOfTheCheckString) {
    // Independent of the native build: the CRC-32 check value of "123456789".
    const CommandResult run = RunCommand(kRunner + " " + Elf("crc32"));
    EXPECT_NE(run.output.find("crc32(\"123456789\") = 0xcbf43926\n"), std::string::npos) << run.output;
}

}  // namespace
