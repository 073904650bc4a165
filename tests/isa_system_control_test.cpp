// NOP, CLRT, SETT, CLRMAC, the LDC/LDS/STC/STS family with their costs,
// TRAPA and RTE with their two-word frame, and SLEEP with the exception it
// requests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kRte = 0x002B;
constexpr uint16_t kSleep = 0x001B;
constexpr uint16_t kAddOneR1 = 0x7101;

// SR, GBR, VBR, MACH, MACL and PR; the defaults are the fixture's background.
struct Control {
    uint32_t sr = 0x000000F0;
    uint32_t gbr = 0x0BADB000;
    uint32_t vbr = 0x0BAD0000;
    uint32_t mach = 0x4D414348;
    uint32_t macl = 0x4D41434C;
    uint32_t pr = 0x0BAD0400;

    Control Sr(uint32_t value) const { return With(&Control::sr, value); }
    Control Gbr(uint32_t value) const { return With(&Control::gbr, value); }
    Control Vbr(uint32_t value) const { return With(&Control::vbr, value); }
    Control Mach(uint32_t value) const { return With(&Control::mach, value); }
    Control Macl(uint32_t value) const { return With(&Control::macl, value); }
    Control Pr(uint32_t value) const { return With(&Control::pr, value); }

private:
    Control With(uint32_t Control::*field, uint32_t value) const {
        Control copy = *this;
        copy.*field = value;
        return copy;
    }
};

const Control kBackground{};

// Longs preset in host memory: address, value.
using LongList = std::vector<std::pair<uint32_t, uint32_t>>;

struct ControlCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    Control before;
    LongList memory;
    RegisterList out;
    Control after;
    std::vector<HostAccess> accesses;
    int32_t cycles;
};

inline std::ostream &operator<<(std::ostream &out, const ControlCase &c) { return out << c.name; }

const ControlCase kControlCases[] = {
    {"NOP", kNop, {}, kBackground, {}, {}, kBackground, {}, 1},
    {"CLRT", 0x0008, {}, kBackground.Sr(0x3F3), {}, {}, kBackground.Sr(0x3F2), {}, 1},
    {"CLRT with T clear", 0x0008, {}, kBackground.Sr(0x0F0), {}, {}, kBackground.Sr(0x0F0), {}, 1},
    {"SETT", 0x0018, {}, kBackground.Sr(0x3F2), {}, {}, kBackground.Sr(0x3F3), {}, 1},
    {"SETT from 0", 0x0018, {}, kBackground.Sr(0), {}, {}, kBackground.Sr(1), {}, 1},
    {"CLRMAC", 0x0028, {}, kBackground, {}, {}, kBackground.Mach(0).Macl(0), {}, 1},

    // Loads of SR keep only 0x3F3.
    {"LDC R0,SR of all ones", 0x400E, {{0, 0xFFFFFFFF}}, kBackground, {}, {}, kBackground.Sr(0x3F3), {}, 1},
    {"LDC R3,SR drops bits 2, 3 and 10 up", 0x430E, {{3, 0x12345672}}, kBackground.Sr(0x3F3), {}, {},
     kBackground.Sr(0x272), {}, 1},
    {"LDC R3,SR of 0x0C gives 0", 0x430E, {{3, 0x0000000C}}, kBackground.Sr(0x3F3), {}, {}, kBackground.Sr(0), {},
     1},
    {"LDC R4,GBR", 0x441E, {{4, 0xFFFFFFFF}}, kBackground, {}, {}, kBackground.Gbr(0xFFFFFFFF), {}, 1},
    {"LDC R5,VBR", 0x452E, {{5, 0x06000000}}, kBackground, {}, {}, kBackground.Vbr(0x06000000), {}, 1},
    {"LDC.L @R6+,SR", 0x4607, {{6, 0x2000}}, kBackground, {{0x2000, 0xFFFFF0F1}}, {{6, 0x2004}},
     kBackground.Sr(0x0F1), {ReadOf(4, 0x2000, 0xFFFFF0F1)}, 3},
    {"LDC.L @R15+,SR", 0x4F07, {{15, 0x2FFC}}, kBackground, {{0x2FFC, 0xFFFFFFFF}}, {{15, 0x3000}},
     kBackground.Sr(0x3F3), {ReadOf(4, 0x2FFC, 0xFFFFFFFF)}, 3},
    {"LDC.L @R6+,GBR", 0x4617, {{6, 0x2000}}, kBackground, {{0x2000, 0x89ABCDEF}}, {{6, 0x2004}},
     kBackground.Gbr(0x89ABCDEF), {ReadOf(4, 0x2000, 0x89ABCDEF)}, 3},
    {"LDC.L @R6+,VBR", 0x4627, {{6, 0x2000}}, kBackground, {{0x2000, 0x06000400}}, {{6, 0x2004}},
     kBackground.Vbr(0x06000400), {ReadOf(4, 0x2000, 0x06000400)}, 3},

    // System registers take all 32 bits.
    {"LDS R7,MACH", 0x470A, {{7, 0xFFFFFFFF}}, kBackground, {}, {}, kBackground.Mach(0xFFFFFFFF), {}, 1},
    {"LDS R7,MACL", 0x471A, {{7, 0x80000001}}, kBackground, {}, {}, kBackground.Macl(0x80000001), {}, 1},
    {"LDS R7,PR", 0x472A, {{7, 0xC0001001}}, kBackground, {}, {}, kBackground.Pr(0xC0001001), {}, 1},
    {"LDS.L @R8+,MACH", 0x4806, {{8, 0x2000}}, kBackground, {{0x2000, 0xFFFF8000}}, {{8, 0x2004}},
     kBackground.Mach(0xFFFF8000), {ReadOf(4, 0x2000, 0xFFFF8000)}, 1},
    {"LDS.L @R8+,MACL", 0x4816, {{8, 0x2000}}, kBackground, {{0x2000, 0x12345678}}, {{8, 0x2004}},
     kBackground.Macl(0x12345678), {ReadOf(4, 0x2000, 0x12345678)}, 1},
    {"LDS.L @R8+,PR", 0x4826, {{8, 0x2000}}, kBackground, {{0x2000, 0x06001000}}, {{8, 0x2004}},
     kBackground.Pr(0x06001000), {ReadOf(4, 0x2000, 0x06001000)}, 1},
    {"LDS.L @R8+,MACL from an odd address", 0x4816, {{8, 0x2001}}, kBackground, {{0x2000, 0x00112233}, {0x2004, 0x44000000}},
     {{8, 0x2005}}, kBackground.Macl(0x11223344), {ReadOf(4, 0x2001, 0x11223344)}, 1},

    {"STC SR,R1", 0x0102, {}, kBackground.Sr(0x3F3), {}, {{1, 0x3F3}}, kBackground.Sr(0x3F3), {}, 1},
    {"STC GBR,R2", 0x0212, {}, kBackground, {}, {{2, 0x0BADB000}}, kBackground, {}, 1},
    {"STC VBR,R3", 0x0322, {}, kBackground, {}, {{3, 0x0BAD0000}}, kBackground, {}, 1},
    // Pre-decrement stores: the register is lowered first, the long written
    // at the new value.
    {"STC.L SR,@-R15", 0x4F03, {{15, 0x00401000}}, kBackground.Sr(0x301), {}, {{15, 0x00400FFC}},
     kBackground.Sr(0x301), {WriteOf(4, 0x00400FFC, 0x301)}, 2},
    {"STC.L GBR,@-R15", 0x4F13, {{15, 0x00401000}}, kBackground, {}, {{15, 0x00400FFC}}, kBackground,
     {WriteOf(4, 0x00400FFC, 0x0BADB000)}, 2},
    {"STC.L VBR,@-R15", 0x4F23, {{15, 0x00401000}}, kBackground, {}, {{15, 0x00400FFC}}, kBackground,
     {WriteOf(4, 0x00400FFC, 0x0BAD0000)}, 2},
    {"STS MACH,R1", 0x010A, {}, kBackground, {}, {{1, 0x4D414348}}, kBackground, {}, 1},
    {"STS MACL,R2", 0x021A, {}, kBackground, {}, {{2, 0x4D41434C}}, kBackground, {}, 1},
    {"STS PR,R3", 0x032A, {}, kBackground, {}, {{3, 0x0BAD0400}}, kBackground, {}, 1},
    {"STS.L MACH,@-R9", 0x4902, {{9, 0x2000}}, kBackground, {}, {{9, 0x1FFC}}, kBackground,
     {WriteOf(4, 0x1FFC, 0x4D414348)}, 1},
    {"STS.L MACL,@-R9", 0x4912, {{9, 0x2000}}, kBackground, {}, {{9, 0x1FFC}}, kBackground,
     {WriteOf(4, 0x1FFC, 0x4D41434C)}, 1},
    {"STS.L PR,@-R9", 0x4922, {{9, 0x2000}}, kBackground, {}, {{9, 0x1FFC}}, kBackground,
     {WriteOf(4, 0x1FFC, 0x0BAD0400)}, 1},
    {"STS.L PR,@-R15", 0x4F22, {{15, 0x00401000}}, kBackground, {}, {{15, 0x00400FFC}}, kBackground,
     {WriteOf(4, 0x00400FFC, 0x0BAD0400)}, 1},
    {"STS.L MACH,@-R9 to an odd address", 0x4902, {{9, 0x2003}}, kBackground, {}, {{9, 0x1FFF}}, kBackground,
     {WriteOf(4, 0x1FFF, 0x4D414348)}, 1},
};

class IsaSystemControl : public IsaTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(IsaSystemControl, RegistersAccessesPcAndCycles) {
    const ControlCase &c = GetParam();
    SetRegisters(c.in);
    Core().SR = c.before.sr;
    Core().GBR = c.before.gbr;
    Core().VBR = c.before.vbr;
    Core().MACH = c.before.mach;
    Core().MACL = c.before.macl;
    Core().PR = c.before.pr;
    for (const auto &[address, value] : c.memory) {
        Machine().SetLong(address, value);
    }
    const int32_t cycles = Execute(c.opcode);
    ExpectRegisters(c.in, c.out, c.name);
    ExpectAccesses(c.accesses, c.name);
    EXPECT_EQ(cycles, c.cycles) << c.name;
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    EXPECT_EQ(Core().SR, c.after.sr) << c.name << ": SR is " << Hex(Core().SR);
    EXPECT_EQ(Core().GBR, c.after.gbr) << c.name;
    EXPECT_EQ(Core().VBR, c.after.vbr) << c.name;
    EXPECT_EQ(Core().MACH, c.after.mach) << c.name;
    EXPECT_EQ(Core().MACL, c.after.macl) << c.name;
    EXPECT_EQ(Core().PR, c.after.pr) << c.name;
    EXPECT_EQ(Core().exceptionRequest, 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaSystemControl, ::testing::ValuesIn(kControlCases));

// Every register number of the load and store rows: only Rm/Rn and the named
// control or system register change.
TEST(IsaSystemControlRows, EveryRegisterOperand) {
    struct Row {
        uint16_t match;
        bool memory;   // post-increment load or pre-decrement store
        bool store;    // to Rn (or memory) rather than from Rm
        uint32_t Control::*field;
        int32_t cycles;
    };
    const Row rows[] = {
        {0x400E, false, false, &Control::sr, 1},  {0x401E, false, false, &Control::gbr, 1},
        {0x402E, false, false, &Control::vbr, 1}, {0x4007, true, false, &Control::sr, 3},
        {0x4017, true, false, &Control::gbr, 3},  {0x4027, true, false, &Control::vbr, 3},
        {0x400A, false, false, &Control::mach, 1}, {0x401A, false, false, &Control::macl, 1},
        {0x402A, false, false, &Control::pr, 1},  {0x4006, true, false, &Control::mach, 1},
        {0x4016, true, false, &Control::macl, 1}, {0x4026, true, false, &Control::pr, 1},
        {0x0002, false, true, &Control::sr, 1},   {0x0012, false, true, &Control::gbr, 1},
        {0x0022, false, true, &Control::vbr, 1},  {0x4003, true, true, &Control::sr, 2},
        {0x4013, true, true, &Control::gbr, 2},   {0x4023, true, true, &Control::vbr, 2},
        {0x000A, false, true, &Control::mach, 1}, {0x001A, false, true, &Control::macl, 1},
        {0x002A, false, true, &Control::pr, 1},   {0x4002, true, true, &Control::mach, 1},
        {0x4012, true, true, &Control::macl, 1},  {0x4022, true, true, &Control::pr, 1},
    };
    TestMachine &machine = TestMachine::Get();
    machine.Reset();
    CoreHandle core;
    MakeCore(core, true, kCodeBase, kStackTop);
    const Control start = Control{}.Sr(0x2F1);
    for (const Row &row : rows) {
        for (uint32_t r = 0; r < 16; ++r) {
            const uint16_t opcode = static_cast<uint16_t>(row.match | (r << 8));
            uint32_t regs[16];
            for (uint32_t i = 0; i < 16; ++i) {
                regs[i] = 0x00001000u + i * 0x100u;  // distinct, even, in host memory
                core->R[i] = regs[i];
                machine.SetLong(regs[i], 0xA5000000u | (i << 8) | 0x53u);  // also a valid SR pattern
                machine.SetLong(regs[i] - 4, 0);
            }
            Control want = start;
            uint32_t wantRegs[16];
            for (uint32_t i = 0; i < 16; ++i) wantRegs[i] = regs[i];
            core->SR = start.sr;
            core->GBR = start.gbr;
            core->VBR = start.vbr;
            core->MACH = start.mach;
            core->MACL = start.macl;
            core->PR = start.pr;
            uint32_t storedAt = 0;
            uint32_t storedValue = 0;
            if (!row.store) {
                uint32_t value = row.memory ? machine.Long(regs[r]) : regs[r];
                if (row.field == &Control::sr) value &= 0x3F3;
                want.*row.field = value;
                if (row.memory) wantRegs[r] = regs[r] + 4;
            } else if (row.memory) {
                wantRegs[r] = regs[r] - 4;
                storedAt = regs[r] - 4;
                storedValue = start.*row.field;
            } else {
                wantRegs[r] = start.*row.field;
            }
            core->PC = kCodeBase;
            machine.SetWord(kCodeBase, opcode);
            machine.accesses.clear();
            const int32_t before = core->sliceCycles;
            core->currentOpcode = opcode;
            sh2::OpcodeHandlerTable[opcode](*core);
            ASSERT_EQ(core->sliceCycles - before, row.cycles) << Hex(opcode);
            ASSERT_EQ(core->PC, kCodeBase + 2) << Hex(opcode);
            for (uint32_t i = 0; i < 16; ++i) ASSERT_EQ(core->R[i], wantRegs[i]) << Hex(opcode) << " R" << i;
            ASSERT_EQ(core->SR, want.sr) << Hex(opcode);
            ASSERT_EQ(core->GBR, want.gbr) << Hex(opcode);
            ASSERT_EQ(core->VBR, want.vbr) << Hex(opcode);
            ASSERT_EQ(core->MACH, want.mach) << Hex(opcode);
            ASSERT_EQ(core->MACL, want.macl) << Hex(opcode);
            ASSERT_EQ(core->PR, want.pr) << Hex(opcode);
            if (row.memory && row.store) {
                ASSERT_EQ(machine.accesses, (std::vector<HostAccess>{WriteOf(4, storedAt, storedValue)})) << Hex(opcode);
            } else if (row.memory) {
                ASSERT_EQ(machine.accesses, (std::vector<HostAccess>{ReadOf(4, regs[r], machine.Long(regs[r]))}))
                    << Hex(opcode);
            } else {
                ASSERT_TRUE(machine.accesses.empty()) << Hex(opcode);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// TRAPA

using IsaTrap = IsaTest;

TEST_F(IsaTrap, PushesSrThenReturnAddressAndJumpsThroughTheVector) {
    for (const uint8_t interrupting : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(int{interrupting});
        SetBackground();
        Machine().accesses.clear();
        sh2::Interrupting = interrupting;
        Core().PC = 0x00002000;
        Core().VBR = 0x00400000;
        Core().SR = 0x00000301;
        SetRegisters({{15, 0x00402000}});
        Machine().SetLong(0x00400080, 0x06004000);
        Place(0x00002000, {0xC320});  // trapa #0x20
        EXPECT_EQ(Step(), 8);
        ExpectAccesses({WriteOf(4, 0x00401FFC, 0x301), WriteOf(4, 0x00401FF8, 0x00002002),
                        ReadOf(4, 0x00400080, 0x06004000)},
                       "frame and vector");
        EXPECT_EQ(Core().PC, 0x06004000u);
        EXPECT_EQ(Core().SR, 0x301u) << "TRAPA does not raise the mask";
        ExpectRegisters({{15, 0x00401FF8}}, {}, "TRAPA");
        EXPECT_EQ(sh2::Interrupting, interrupting);
        EXPECT_EQ(Core().exceptionRequest, 0);
    }
    sh2::Interrupting = 0;
}

// The immediate is an unsigned vector number.
TEST_F(IsaTrap, VectorIsVbrPlusFourTimesTheUnsignedImmediate) {
    for (const uint32_t imm : {0x00u, 0x01u, 0x7Fu, 0x80u, 0xFFu}) {
        SCOPED_TRACE(imm);
        SetBackground();
        SetRegisters({{15, 0x3000}});
        Core().VBR = 0x00010000;
        Machine().SetLong(0x00010000 + imm * 4, 0x00020000 + imm);
        Machine().accesses.clear();
        Execute(static_cast<uint16_t>(0xC300 | imm));
        EXPECT_EQ(Core().PC, 0x00020000 + imm);
        ASSERT_EQ(Machine().accesses.size(), 3u);
        EXPECT_EQ(Machine().accesses[2], ReadOf(4, 0x00010000 + imm * 4, 0x00020000 + imm));
    }
}

// Stack and vector table in on-chip RAM are honoured: the frame and the
// vector never reach the host.
TEST_F(IsaTrap, FrameAndVectorGoThroughTheMemoryLayer) {
    SetRegisters({{15, 0xFFFFF100}});
    Core().VBR = 0xC0000000;
    Core().SR = 0x000000F1;
    Core().OnChipRam[0x10] = 0x00;
    Core().OnChipRam[0x11] = 0x00;
    Core().OnChipRam[0x12] = 0x50;
    Core().OnChipRam[0x13] = 0x00;
    EXPECT_EQ(Execute(0xC304), 8);  // trapa #4
    ExpectAccesses({}, "on-chip frame");
    EXPECT_EQ(Core().PC, 0x5000u);
    EXPECT_EQ(Core().R[15], 0xFFFFF0F8u);
    const uint8_t pcBytes[4] = {0x00, 0x00, 0x40, 0x02};
    const uint8_t srBytes[4] = {0x00, 0x00, 0x00, 0xF1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Core().OnChipRam[0x0F8 + i], pcBytes[i]) << "return address byte " << i;
        EXPECT_EQ(Core().OnChipRam[0x0FC + i], srBytes[i]) << "SR byte " << i;
    }
}

// ---------------------------------------------------------------------------
// RTE

class IsaReturnFromException : public IsaTest {
protected:
    void Frame(uint32_t stack, uint32_t pc, uint32_t sr) {
        SetRegisters({{15, stack}});
        Machine().SetLong(stack, pc);
        Machine().SetLong(stack + 4, sr);
    }
    void TearDown() override { sh2::Interrupting = 0; }
};

TEST_F(IsaReturnFromException, PopsPcThenSrRunsTheSlotAndClearsInterrupting) {
    Frame(0x3000, 0x00005000, 0xFFFFFFFF);
    sh2::Interrupting = 1;
    Place(kCodeBase, {kRte, kAddOneR1});
    EXPECT_EQ(Step(), 5);
    ExpectAccesses({ReadOf(4, 0x3000, 0x00005000), ReadOf(4, 0x3004, 0xFFFFFFFF)}, "pops");
    EXPECT_EQ(Core().PC, 0x5000u);
    EXPECT_EQ(Core().SR, 0x3F3u);
    ExpectRegisters({{15, 0x3008}}, {{1, BackgroundRegister(1) + 1}}, "RTE");
    EXPECT_EQ(Core().currentOpcode, kAddOneR1);
    EXPECT_EQ(sh2::Interrupting, 0);
}

// The slot runs under the restored SR and with PC at the restored PC.
TEST_F(IsaReturnFromException, SlotSeesRestoredSrAndPc) {
    Core().SR = 0x000000F0;
    Frame(0x3000, 0x00005002, 0x00000301);
    Place(kCodeBase, {kRte, 0x0229});  // movt r2
    Step();
    EXPECT_EQ(Core().R[2], 1u);

    SetBackground();
    Frame(0x3000, 0x00005002, 0x00000301);
    Place(kCodeBase, {kRte, 0x0302});  // stc sr,r3
    Step();
    EXPECT_EQ(Core().R[3], 0x301u);

    SetBackground();
    Frame(0x3000, 0x00005002, 0x00000000);
    Place(kCodeBase, {kRte, 0xC701});  // mova @(1,pc),r0: (0x5002 & ~3) + 4 + 4
    Step();
    EXPECT_EQ(Core().R[0], 0x5008u);
    EXPECT_EQ(Core().PC, 0x5002u);
}

TEST_F(IsaReturnFromException, CostsFourPlusTheSlot) {
    const std::pair<uint16_t, int32_t> slots[] = {{kNop, 1}, {0x0217, 2}, {0x4617, 3}, {0x461B, 4}};
    for (const auto &[slot, cost] : slots) {
        SCOPED_TRACE(Hex(slot));
        SetBackground();
        Frame(0x3000, 0x00005000, 0x000000F0);
        SetRegisters({{6, 0x2000}});
        Place(kCodeBase, {kRte, slot});
        EXPECT_EQ(Step(), 4 + cost);
    }
}

// Interrupting is cleared only after the slot: an undefined opcode in the
// slot is still reported with the interrupting wording, at the restored PC.
TEST_F(IsaReturnFromException, InterruptingIsClearedAfterTheSlot) {
    Frame(0x3000, 0x00005000, 0x000000F0);
    sh2::Interrupting = 1;
    Place(kCodeBase, {kRte, 0xFFFF});
    Step();
    ASSERT_EQ(Machine().boxes.size(), 1u);
    EXPECT_EQ(Machine().boxes[0].text, "Unknown opcode while interrupting (master SH2) @0x00005000: 0xFFFF");
    EXPECT_EQ(sh2::Interrupting, 0);
}

// The flag is library-wide: an RTE on the slave clears it too.
TEST_F(IsaReturnFromException, RteOnTheSlaveClearsTheSharedFlag) {
    CoreHandle slave;
    MakeCore(slave, false, kCodeBase, kStackTop);
    slave->R[15] = 0x3000;
    Machine().SetLong(0x3000, 0x5000);
    Machine().SetLong(0x3004, 0xF0);
    Place(kCodeBase, {kRte, kNop});
    sh2::Interrupting = 1;
    sh2::RunCycles(*slave, 1);
    EXPECT_EQ(slave->PC, 0x5000u);
    EXPECT_EQ(sh2::Interrupting, 0);
}

// A frame in on-chip RAM is popped without host accesses.
TEST_F(IsaReturnFromException, FrameInOnChipRam) {
    SetRegisters({{15, 0xFFFFF200}});
    const uint8_t frame[8] = {0x06, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x31};
    for (int i = 0; i < 8; ++i) Core().OnChipRam[0x200 + i] = frame[i];
    Place(kCodeBase, {kRte, kNop});
    EXPECT_EQ(Step(), 5);
    ExpectAccesses({}, "on-chip frame");
    EXPECT_EQ(Core().PC, 0x06001000u);
    EXPECT_EQ(Core().SR, 0x31u);
    EXPECT_EQ(Core().R[15], 0xFFFFF208u);
}

// RTE met as a slot returns at once, running no slot of its own.
TEST_F(IsaReturnFromException, RteInADelaySlotReturnsWithoutASecondSlot) {
    Frame(0x3000, 0x00006000, 0x00000001);
    sh2::Interrupting = 1;
    Place(kCodeBase, {0xA010, kRte, kAddOneR1});  // bra ; slot: rte ; add #1,r1
    EXPECT_EQ(Step(), 2 + 4);
    EXPECT_EQ(Core().PC, 0x6000u);
    EXPECT_EQ(Core().SR, 1u);
    ExpectRegisters({{15, 0x3008}}, {}, "RTE in a slot");
    EXPECT_EQ(sh2::Interrupting, 0);
}

// RTE pops exactly the frame TRAPA pushes: the handler's RTE
// resumes after the TRAPA with the SR of the trap, running the instruction
// after the RTE as its slot.
TEST_F(IsaReturnFromException, ReturnsFromATrap) {
    SetRegisters({{15, kStackTop}});
    Core().SR = 0x000000F1;
    Core().VBR = 0x00003000;
    Machine().SetLong(0x3084, 0x5000);
    Place(kCodeBase, {0xC321, 0x7201});        // trapa #0x21 ; add #1,r2
    Place(0x5000, {0x0008, kRte, 0x7401});     // clrt ; rte ; slot: add #1,r4
    EXPECT_EQ(sh2::RunCycles(Core(), 8 + 1 + 5 + 1), 15);
    EXPECT_EQ(Core().PC, kCodeBase + 4);
    EXPECT_EQ(Core().SR, 0xF1u);
    ExpectRegisters({{15, kStackTop}}, {{2, BackgroundRegister(2) + 1}, {4, BackgroundRegister(4) + 1}}, "round trip");
    ExpectAccesses({WriteOf(4, kStackTop - 4, 0xF1), WriteOf(4, kStackTop - 8, kCodeBase + 2),
                    ReadOf(4, 0x3084, 0x5000), ReadOf(4, kStackTop - 8, kCodeBase + 2),
                    ReadOf(4, kStackTop - 4, 0xF1)},
                   "round trip");
}

// ---------------------------------------------------------------------------
// SLEEP

using IsaSleep = IsaTest;

TEST_F(IsaSleep, CostsThreeRequestsTheExceptionAndStays) {
    EXPECT_EQ(Execute(kSleep), 3);
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().exceptionRequest, 1);
    EXPECT_EQ(Core().SR, 0xF0u);
    ExpectRegisters({}, {}, "SLEEP");
    ExpectAccesses({}, "SLEEP");
}

// With 10 cycles to go SLEEP runs four times; the slice then enters the
// requested exception (vector 11) with SLEEP's own address as return PC, and
// the handler's RTE brings SLEEP back.
TEST_F(IsaSleep, SliceEndsInTheRequestedExceptionReturningToSleep) {
    SetRegisters({{15, kStackTop}});
    Core().SR = 0x00000001;
    Core().VBR = 0x00003000;
    Machine().SetLong(0x3000 + 11 * 4, 0x5000);
    Place(kCodeBase, {kSleep});
    Place(0x5000, {kRte, kNop});
    EXPECT_EQ(sh2::RunCycles(Core(), 10), 12);
    ExpectAccesses({WriteOf(4, kStackTop - 4, 0x1), WriteOf(4, kStackTop - 8, kCodeBase), ReadOf(4, 0x302C, 0x5000)},
                   "exception entry");
    EXPECT_EQ(Core().PC, 0x5000u);
    EXPECT_EQ(Core().SR, 0xF1u);
    EXPECT_EQ(Core().exceptionRequest, 0);
    EXPECT_EQ(Core().R[15], kStackTop - 8);

    EXPECT_EQ(sh2::RunCycles(Core(), 1), 5);  // RTE with its NOP slot
    EXPECT_EQ(Core().PC, kCodeBase);
    EXPECT_EQ(Core().SR, 0x1u);
    EXPECT_EQ(Core().R[15], kStackTop);

    Machine().accesses.clear();
    EXPECT_EQ(sh2::RunCycles(Core(), 3), 3);  // SLEEP again, and the exception again
    EXPECT_EQ(Core().PC, 0x5000u);
    EXPECT_EQ(Machine().accesses.size(), 3u);
}

}  // namespace
