// Decode and disassembly against GNU binutils: tests/fixtures/
// objdump_sh2_opcodes.txt (scripts/fixtures/gen_objdump_opcodes.sh) holds every
// 16-bit opcode X as sh-elf-objdump prints it at address 2 * X. Every opcode
// must disassemble to exactly that text, objdump's undefined opcodes (".word")
// must be the ones no decode row matches, and those must run the undefined
// opcode handler.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "isa/decode_table.h"
#include "isa/disassembler.h"
#include "isa/dispatch.h"
#include "isa/run_loop.h"
#include "test_host.h"

namespace {

std::vector<std::string> ObjdumpLines() {
    std::vector<std::string> lines;
    std::ifstream in(SH2_TEST_FIXTURES_DIR "/objdump_sh2_opcodes.txt");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string Hex4(uint32_t opcode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(opcode));
    return text;
}

TEST(ObjdumpOracle, EveryOpcodeDecodesAndDisassemblesAsBinutilsDoes) {
    const std::vector<std::string> lines = ObjdumpLines();
    ASSERT_EQ(lines.size(), sh2::kOpcodeCount);
    int mismatches = 0;
    int undefined = 0;
    std::string shown;
    for (uint32_t opcode = 0; opcode < sh2::kOpcodeCount; ++opcode) {
        const std::string &line = lines[opcode];
        ASSERT_EQ(line.substr(0, 5), Hex4(opcode) + " ") << "line of opcode " << Hex4(opcode);
        const std::string want = line.substr(5);
        const uint16_t op = static_cast<uint16_t>(opcode);
        const bool binutilsUndefined = want.rfind(".word", 0) == 0;
        const bool undefinedHere = sh2::FindDecodeRow(op) == nullptr;
        undefined += undefinedHere ? 1 : 0;
        const std::string got = sh2::Disassemble(op, 2 * opcode);
        const bool handlerUndefined = sh2::OpcodeHandlerTable[op] == &sh2::UndefinedOpcodeHandler;
        if (got != want || binutilsUndefined != undefinedHere || handlerUndefined != undefinedHere) {
            if (++mismatches <= 20) {
                shown += "\n  " + Hex4(opcode) + ": \"" + got + "\" (objdump \"" + want + "\")" +
                         (undefinedHere ? " no row" : "") + (handlerUndefined ? " undefined handler" : "");
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << mismatches << " opcode(s) differ; first ones:" << shown;
    EXPECT_EQ(undefined, 11784);
}

// PC-relative operands follow the address disassembled at, with 32-bit
// wrap-around, as objdump --adjust-vma prints them.
struct TargetCase {
    uint16_t opcode;
    uint32_t address;
    const char *name;  // what objdump prints
};

const TargetCase kTargetCases[] = {
    {0xA800, 0x06000000, "bra\t0x5fff004"},  {0xD105, 0x06000002, "mov.l\t0x6000018,r1"},
    {0x8B80, 0x06000004, "bf\t0x5ffff08"},   {0x9280, 0x06000006, "mov.w\t0x600010a,r2"},
    {0xA800, 0x00000000, "bra\t0xfffff004"}, {0x8B80, 0x00000004, "bf\t0xffffff08"},
};

class TargetFollowsTheAddress : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetFollowsTheAddress, AsObjdumpPrintsIt) {
    const TargetCase &c = GetParam();
    EXPECT_EQ(sh2::Disassemble(c.opcode, c.address), c.name);
}

INSTANTIATE_TEST_SUITE_P(ObjdumpOracle, TargetFollowsTheAddress, ::testing::ValuesIn(kTargetCases),
                         sh2test::CaseName());

// The compile-time check of the instruction list refuses a row whose bit
// pattern the decode table and the handlers' operand fields would misread.
TEST(InstructionList, MalformedBitPatternsAreRefused) {
    EXPECT_TRUE(sh2::WellFormed("0110nnnnmmmm0011"));
    EXPECT_TRUE(sh2::WellFormed("10001001dddddddd"));
    for (const char *bad : {"0110nnnnmmmm001",      // 15 characters
                            "0110nnnnmmmm00111",    // 17 characters
                            "0110nnnnmmmm001x",     // not a field letter
                            "0110nnnnmmmmnnnn",     // two runs of n
                            "01nnnn0000000011",     // n not at bits 11..8
                            "0110nnnn00mmmm11",     // m not at bits 7..4
                            "0110nnn000000011"}) {  // n three bits wide
        EXPECT_FALSE(sh2::WellFormed(bad)) << bad;
    }
}

// The compile-time check that no two rows share an opcode refuses a table
// with such a pair: MOV.L @(disp,Rm),Rn beside a row that takes one of its
// displacements, or a row given twice; rows apart in one fixed bit pass.
TEST(InstructionList, RowsThatShareAnOpcodeAreRefused) {
    const auto row = [](const char *bits) {
        return sh2::OpcodePattern{sh2::PatternMask(bits), sh2::PatternMatch(bits), {}, {}, bits, "", "", 1, 1, {}};
    };
    const std::array apart = {row("0110nnnnmmmm0011"), row("0110nnnnmmmm0111")};
    const std::array overlapping = {row("0101nnnnmmmmdddd"), row("0101nnnnmmmm0000")};
    const std::array twice = {row("0000000000001001"), row("0000000000001001")};
    EXPECT_TRUE(sh2::NoTwoRowsShareAnOpcode(apart));
    EXPECT_FALSE(sh2::NoTwoRowsShareAnOpcode(overlapping));
    EXPECT_FALSE(sh2::NoTwoRowsShareAnOpcode(twice));
    EXPECT_TRUE(sh2::NoTwoRowsShareAnOpcode(sh2::DecodePatternTable));
}

}  // namespace
