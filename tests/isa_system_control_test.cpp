// What qemu's user mode forbids and no example program checks: LDC/STC of SR
// (which keeps only 0x3F3) and VBR, the order of TRAPA's and RTE's stack
// accesses, RTE's slot, RTE as a slot, and when RTE clears Interrupting.
// TRAPA's vectors and frame are in examples/trap_rte.s, SLEEP in
// watchdog_test.cpp and examples/sleep_exception.s.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/interrupts.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

constexpr uint16_t kRte = 0x002B;
constexpr uint16_t kAddOneR1 = 0x7101;
constexpr uint32_t kVbr = 0x0BAD0000;  // the fixture's background
constexpr uint32_t kMemory = 0x2000;   // where the loads find `memory`

struct ControlCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    uint32_t sr;
    uint32_t memory;
    RegisterList out;
    uint32_t srOut;
    uint32_t vbrOut;
    std::vector<HostAccess> accesses;
};

inline std::ostream &operator<<(std::ostream &out, const ControlCase &c) {
    return out << c.name;
}

// clang-format off
const ControlCase kControlCases[] = {
    {"LDC R0,SR of all ones", 0x400E, {{0, 0xFFFFFFFF}}, 0x0F0, 0, {}, 0x3F3, kVbr, {}},
    {"LDC R3,SR drops bits 2, 3 and 10 up", 0x430E, {{3, 0x12345672}}, 0x3F3, 0, {}, 0x272, kVbr, {}},
    {"LDC R3,SR of 0x0C gives 0", 0x430E, {{3, 0x0000000C}}, 0x3F3, 0, {}, 0, kVbr, {}},
    {"LDC.L @R6+,SR", 0x4607, {{6, kMemory}}, 0x0F0, 0xFFFFF0F1, {{6, kMemory + 4}}, 0x0F1, kVbr,
     {Read(4, kMemory, 0xFFFFF0F1)}},
    {"LDC R5,VBR", 0x452E, {{5, 0x06000000}}, 0x0F0, 0, {}, 0x0F0, 0x06000000, {}},
    {"LDC.L @R6+,VBR", 0x4627, {{6, kMemory}}, 0x0F0, 0x06000400, {{6, kMemory + 4}}, 0x0F0, 0x06000400,
     {Read(4, kMemory, 0x06000400)}},
    {"STC SR,R1", 0x0102, {}, 0x3F3, 0, {{1, 0x3F3}}, 0x3F3, kVbr, {}},
    {"STC VBR,R3", 0x0322, {}, 0x0F0, 0, {{3, kVbr}}, 0x0F0, kVbr, {}},
    // Rn is lowered first, the long written at the new value.
    {"STC.L SR,@-R15", 0x4F03, {{15, 0x00401000}}, 0x301, 0, {{15, 0x00400FFC}}, 0x301, kVbr,
     {Write(4, 0x00400FFC, 0x301)}},
    {"STC.L VBR,@-R15", 0x4F23, {{15, 0x00401000}}, 0x0F0, 0, {{15, 0x00400FFC}}, 0x0F0, kVbr,
     {Write(4, 0x00400FFC, kVbr)}},
};
// clang-format on

class IsaSystemControl : public IsaTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(IsaSystemControl, RegistersAndAccesses) {
    const ControlCase &c = GetParam();
    SetRegisters(c.in);
    Core().SR = c.sr;
    Machine().SetLong(kMemory, c.memory);
    Execute(c.opcode);
    ExpectRegisters(c.in, c.out, c.name);
    ExpectAccesses(c.accesses, c.name);
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
    EXPECT_EQ(Core().SR, c.srOut) << c.name << ": SR is " << Hex(Core().SR);
    EXPECT_EQ(Core().VBR, c.vbrOut) << c.name;
    EXPECT_EQ(Core().GBR, 0x0BADB000u) << c.name;
    EXPECT_EQ(Core().MACH, 0x4D414348u) << c.name;
    EXPECT_EQ(Core().MACL, 0x4D41434Cu) << c.name;
    EXPECT_EQ(Core().PR, 0x0BAD0400u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IsaSystemControl, ::testing::ValuesIn(kControlCases));

using IsaTrap = IsaTest;

// SR is pushed first, then the return address; the vector is read last. The
// mask is not raised and the Interrupting flag is left as it was.
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
        Step();
        ExpectAccesses({Write(4, 0x00401FFC, 0x301), Write(4, 0x00401FF8, 0x00002002), Read(4, 0x00400080, 0x06004000)},
                       "frame and vector");
        EXPECT_EQ(Core().PC, 0x06004000u);
        EXPECT_EQ(Core().SR, 0x301u) << "TRAPA does not raise the mask";
        ExpectRegisters({{15, 0x00401FF8}}, {}, "TRAPA");
        EXPECT_EQ(sh2::Interrupting, interrupting);
        EXPECT_EQ(Core().exceptionRequest, 0);
    }
    sh2::Interrupting = 0;
}

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
    Step();
    ExpectAccesses({Read(4, 0x3000, 0x00005000), Read(4, 0x3004, 0xFFFFFFFF)}, "pops");
    EXPECT_EQ(Core().PC, 0x5000u);
    EXPECT_EQ(Core().SR, 0x3F3u);
    ExpectRegisters({{15, 0x3008}}, {{1, BackgroundRegister(1) + 1}}, "RTE");
    EXPECT_EQ(Core().currentOpcode, kAddOneR1);
    EXPECT_EQ(sh2::Interrupting, 0);
}

// The slot runs under the restored SR and with PC at the restored PC.
TEST_F(IsaReturnFromException, SlotSeesRestoredSrAndPc) {
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

// RTE met as a slot returns at once, running no slot of its own.
TEST_F(IsaReturnFromException, RteInADelaySlotReturnsWithoutASecondSlot) {
    Frame(0x3000, 0x00006000, 0x00000001);
    sh2::Interrupting = 1;
    Place(kCodeBase, {0xA010, kRte, kAddOneR1});  // bra ; slot: rte ; add #1,r1
    Step();
    EXPECT_EQ(Core().PC, 0x6000u);
    EXPECT_EQ(Core().SR, 1u);
    ExpectRegisters({{15, 0x3008}}, {}, "RTE in a slot");
    EXPECT_EQ(sh2::Interrupting, 0);
}

}  // namespace
