// The cycle cost of every instruction form, written down once by hand from
// the SH-2 instruction tables (not read from the library's instruction
// list), each measured through the SH2RunCycles export with a slice of one
// cycle: such a slice runs exactly one instruction, a delayed branch together
// with its slot, and returns what it cost.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>

#include "isa/decode_table.h"
#include "plugin/plugin_state.h"
#include "sh2_plugin.h"
#include "test_host.h"

using namespace sh2test;

namespace {

constexpr uint32_t kCode = 0x00006000;
constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kMulL = 0x0127;  // mul.l r2,r1: 2 cycles, as a slot
constexpr uint16_t kAndB = 0xCD0F;  // and.b #15,@(r0,gbr): 3 cycles, as a slot

struct Cost {
    uint16_t opcode;
    const char *text;
    int cycles;            // what the one-cycle slice returns
    uint32_t t = 0;        // T before
    uint16_t next = kNop;  // the word after the instruction: a delay slot or the next instruction
};

// Delayed branches: own cost + slot cost. A conditional branch is listed
// taken and not taken. A not-taken BT/S costs 0, so the one-cycle slice goes
// on to the NOP after it: 0 + 1.
const Cost kCosts[] = {
    // Data transfer: every form 1.
    {0x6123, "mov r2,r1", 1},
    {0x0124, "mov.b r2,@(r0,r1)", 1},
    {0x0125, "mov.w r2,@(r0,r1)", 1},
    {0x0126, "mov.l r2,@(r0,r1)", 1},
    {0x2120, "mov.b r2,@r1", 1},
    {0x2121, "mov.w r2,@r1", 1},
    {0x2122, "mov.l r2,@r1", 1},
    {0x6120, "mov.b @r2,r1", 1},
    {0x6121, "mov.w @r2,r1", 1},
    {0x6122, "mov.l @r2,r1", 1},
    {0x2124, "mov.b r2,@-r1", 1},
    {0x2125, "mov.w r2,@-r1", 1},
    {0x2126, "mov.l r2,@-r1", 1},
    {0x6124, "mov.b @r2+,r1", 1},
    {0x6125, "mov.w @r2+,r1", 1},
    {0x6126, "mov.l @r2+,r1", 1},
    {0x012C, "mov.b @(r0,r2),r1", 1},
    {0x012D, "mov.w @(r0,r2),r1", 1},
    {0x012E, "mov.l @(r0,r2),r1", 1},
    {0xE17F, "mov #127,r1", 1},
    {0x9104, "mov.w @(disp,pc),r1", 1},
    {0xD104, "mov.l @(disp,pc),r1", 1},
    {0xC404, "mov.b @(4,gbr),r0", 1},
    {0xC504, "mov.w @(8,gbr),r0", 1},
    {0xC604, "mov.l @(16,gbr),r0", 1},
    {0xC004, "mov.b r0,@(4,gbr)", 1},
    {0xC104, "mov.w r0,@(8,gbr)", 1},
    {0xC204, "mov.l r0,@(16,gbr)", 1},
    {0x8014, "mov.b r0,@(4,r1)", 1},
    {0x8114, "mov.w r0,@(8,r1)", 1},
    {0x1124, "mov.l r2,@(16,r1)", 1},
    {0x8424, "mov.b @(4,r2),r0", 1},
    {0x8524, "mov.w @(8,r2),r0", 1},
    {0x5124, "mov.l @(16,r2),r1", 1},
    {0xC704, "mova @(disp,pc),r0", 1},
    {0x0129, "movt r1", 1},
    {0x6128, "swap.b r2,r1", 1},
    {0x6129, "swap.w r2,r1", 1},
    {0x212D, "xtrct r2,r1", 1},
    // Arithmetic: every form 1.
    {0x312C, "add r2,r1", 1},
    {0x71FF, "add #-1,r1", 1},
    {0x312E, "addc r2,r1", 1},
    {0x312F, "addv r2,r1", 1},
    {0x3128, "sub r2,r1", 1},
    {0x312A, "subc r2,r1", 1},
    {0x312B, "subv r2,r1", 1},
    {0x612B, "neg r2,r1", 1},
    {0x612A, "negc r2,r1", 1},
    {0x3120, "cmp/eq r2,r1", 1},
    {0x3123, "cmp/ge r2,r1", 1},
    {0x3127, "cmp/gt r2,r1", 1},
    {0x3126, "cmp/hi r2,r1", 1},
    {0x3122, "cmp/hs r2,r1", 1},
    {0x4115, "cmp/pl r1", 1},
    {0x4111, "cmp/pz r1", 1},
    {0x212C, "cmp/str r2,r1", 1},
    {0x8801, "cmp/eq #1,r0", 1},
    {0x4110, "dt r1", 1},
    {0x612E, "exts.b r2,r1", 1},
    {0x612F, "exts.w r2,r1", 1},
    {0x612C, "extu.b r2,r1", 1},
    {0x612D, "extu.w r2,r1", 1},
    // Logic, test and shift: 1, except the @(R0,GBR) bytes (3) and TAS.B (4).
    {0x2129, "and r2,r1", 1},
    {0xC90F, "and #15,r0", 1},
    {0xCD0F, "and.b #15,@(r0,gbr)", 3},
    {0x212B, "or r2,r1", 1},
    {0xCB0F, "or #15,r0", 1},
    {0xCF0F, "or.b #15,@(r0,gbr)", 3},
    {0x212A, "xor r2,r1", 1},
    {0xCA0F, "xor #15,r0", 1},
    {0xCE0F, "xor.b #15,@(r0,gbr)", 3},
    {0x6127, "not r2,r1", 1},
    {0x2128, "tst r2,r1", 1},
    {0xC80F, "tst #15,r0", 1},
    {0xCC0F, "tst.b #15,@(r0,gbr)", 3},
    {0x411B, "tas.b @r1", 4},
    {0x4104, "rotl r1", 1},
    {0x4105, "rotr r1", 1},
    {0x4124, "rotcl r1", 1},
    {0x4125, "rotcr r1", 1},
    {0x4120, "shal r1", 1},
    {0x4121, "shar r1", 1},
    {0x4100, "shll r1", 1},
    {0x4101, "shlr r1", 1},
    {0x4108, "shll2 r1", 1},
    {0x4118, "shll8 r1", 1},
    {0x4128, "shll16 r1", 1},
    {0x4109, "shlr2 r1", 1},
    {0x4119, "shlr8 r1", 1},
    {0x4129, "shlr16 r1", 1},
    // Branches.
    {0x8B10, "bf taken", 1, 0},
    {0x8B10, "bf not taken", 1, 1},
    {0x8910, "bt taken", 1, 1},
    {0x8910, "bt not taken", 1, 0},
    {0x8F10, "bf/s taken, slot nop", 1 + 1, 0},
    {0x8F10, "bf/s taken, slot mul.l", 1 + 2, 0, kMulL},
    {0x8F10, "bf/s not taken", 1, 1},
    {0x8D10, "bt/s taken, slot nop", 1 + 1, 1},
    {0x8D10, "bt/s taken, slot and.b", 1 + 3, 1, kAndB},
    {0x8D10, "bt/s not taken, then a nop", 0 + 1, 0},
    {0xA010, "bra, slot nop", 2 + 1},
    {0xA010, "bra, slot mul.l", 2 + 2, 0, kMulL},
    {0xA010, "bra, slot bra: its own cost only, no slot of its own", 2 + 2, 0, 0xA010},
    {0xB010, "bsr, slot nop", 2 + 1},
    {0xB010, "bsr, slot and.b", 2 + 3, 0, kAndB},
    {0x0123, "braf r1, slot nop", 2 + 1},
    {0x0103, "bsrf r1, slot nop", 2 + 1},
    {0x412B, "jmp @r1, slot nop", 2 + 1},
    {0x412B, "jmp @r1, slot mul.l", 2 + 2, 0, kMulL},
    {0x410B, "jsr @r1, slot nop", 2 + 1},
    {0x000B, "rts, slot nop", 2 + 1},
    {0x000B, "rts, slot and.b", 2 + 3, 0, kAndB},
    // System control.
    {0x0009, "nop", 1},
    {0x0008, "clrt", 1},
    {0x0018, "sett", 1},
    {0x0028, "clrmac", 1},
    {0x001B, "sleep", 3},
    {0x410E, "ldc r1,sr", 1},
    {0x411E, "ldc r1,gbr", 1},
    {0x412E, "ldc r1,vbr", 1},
    {0x4107, "ldc.l @r1+,sr", 3},
    {0x4117, "ldc.l @r1+,gbr", 3},
    {0x4127, "ldc.l @r1+,vbr", 3},
    {0x410A, "lds r1,mach", 1},
    {0x411A, "lds r1,macl", 1},
    {0x412A, "lds r1,pr", 1},
    {0x4106, "lds.l @r1+,mach", 1},
    {0x4116, "lds.l @r1+,macl", 1},
    {0x4126, "lds.l @r1+,pr", 1},
    {0x0102, "stc sr,r1", 1},
    {0x0112, "stc gbr,r1", 1},
    {0x0122, "stc vbr,r1", 1},
    {0x4103, "stc.l sr,@-r1", 2},
    {0x4113, "stc.l gbr,@-r1", 2},
    {0x4123, "stc.l vbr,@-r1", 2},
    {0x010A, "sts mach,r1", 1},
    {0x011A, "sts macl,r1", 1},
    {0x012A, "sts pr,r1", 1},
    {0x4102, "sts.l mach,@-r1", 1},
    {0x4112, "sts.l macl,@-r1", 1},
    {0x4122, "sts.l pr,@-r1", 1},
    {0xC320, "trapa #32", 8},
    {0x002B, "rte, slot nop", 4 + 1},
    {0x002B, "rte, slot mul.l", 4 + 2, 0, kMulL},
    // Multiply and division step.
    {0x0127, "mul.l r2,r1", 2},
    {0x212F, "muls.w r2,r1", 1},
    {0x212E, "mulu.w r2,r1", 1},
    {0x312D, "dmuls.l r2,r1", 2},
    {0x3125, "dmulu.l r2,r1", 2},
    {0x012F, "mac.l @r2+,@r1+", 3},
    {0x412F, "mac.w @r2+,@r1+", 3},
    {0x2127, "div0s r2,r1", 1},
    {0x0019, "div0u", 1},
    {0x3124, "div1 r2,r1", 1},
};

std::ostream &operator<<(std::ostream &out, const Cost &c) {
    return out << c.text;
}

class InstructionCost : public ::testing::TestWithParam<Cost> {
protected:
    void SetUp() override {
        DeInitPlugin();
        machine.Reset();
        machine.SetLong(0, kCode);
        machine.SetLong(4, 0x7F000);
        machine.SetLong(8, kCode);
        machine.SetLong(12, 0x7F000);
        host = machine.Interface();
        ASSERT_EQ(InitSH2Plugin(&host), 1);
    }
    void TearDown() override { DeInitPlugin(); }

    TestMachine &machine = TestMachine::Get();
    SH2HostInterface host{};
};

TEST_P(InstructionCost, OneCycleSliceReturnsTheCost) {
    const Cost &c = GetParam();
    // Operands point into host memory away from the code; the stack and the
    // vector table (VBR 0) are host memory too.
    sh2::SH2Core &core = *sh2::MasterCore;
    for (uint32_t i = 0; i < 15; ++i) {
        core.R[i] = 0x2000 + 0x100 * i;
    }
    core.R[15] = 0x7F000;
    core.GBR = 0x3000;
    core.VBR = 0;
    core.SR = 0xF0 | c.t;
    machine.SetWords(kCode, {c.opcode, c.next, kNop});
    MasterSH2SetPC(kCode);
    EXPECT_EQ(SH2RunCycles(1), c.cycles) << c.text;
    if (c.cycles == 0 + 1 && c.opcode == 0x8D10) {
        EXPECT_EQ(core.PC, kCode + 4) << "the slice ran the not-taken bt/s and the nop after it";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, InstructionCost, ::testing::ValuesIn(kCosts),
                         [](const ::testing::TestParamInfo<Cost> &test) {
                             std::string name;
                             for (const char ch : std::string(test.param.text)) {
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name + "_" + std::to_string(test.index);
                         });

TEST(InstructionCostTable, CoversEveryDecodeRow) {
    std::set<const sh2::OpcodePattern *> rows;
    for (const Cost &c : kCosts) {
        const sh2::OpcodePattern *row = sh2::FindDecodeRow(c.opcode);
        ASSERT_NE(row, nullptr) << c.text;
        rows.insert(row);
    }
    EXPECT_EQ(rows.size(), sh2::kDecodeRowCount);
}

}  // namespace
