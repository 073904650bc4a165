// The run loop: instruction fetch from the host blocks, slice accounting,
// undefined opcodes, and the end-of-slice servicing: interrupt requests and
// their acceptance, the requested vector-11 exception, the frame and the
// exact host calls that build it.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "test_host.h"

using namespace sh2test;

namespace {

// Every register an instruction could change.
std::vector<uint32_t> Registers(const sh2::SH2Core &core) {
    std::vector<uint32_t> all(core.R, core.R + 16);
    all.insert(all.end(), {core.SR, core.GBR, core.VBR, core.MACH, core.MACL, core.PR, core.PC});
    return all;
}

constexpr uint16_t kNop = 0x0009;
constexpr uint16_t kAddOneR0 = 0x7001;
constexpr uint16_t kAddOneR1 = 0x7101;
constexpr uint16_t kMulL = 0x0007;  // mul.l r0,r0: 2 cycles
constexpr uint16_t kUndefined = 0xFFFF;

constexpr uint32_t kEntry = 0x1000;
constexpr uint32_t kStack = 0x7F000;

// ---------------------------------------------------------------------------
// Fetch

struct FetchCase {
    uint32_t address;
    uint32_t source;  // where the test machine's emulated view holds the halfword
};

// The fetch reads the host blocks of the test machine, which are exactly the
// minimum sizes, so that any read outside them is caught by the address
// sanitizer. Bits 28..31 play no part, so on-chip addresses fetch from a block
// too; an odd PC fetches the halfword of the even address below it.
const FetchCase kFetchCases[] = {
    // Block 0: bits 20..27 all 0; offset AND 0x7FFFF.
    {0x00000100, 0x00000100},
    {0x00080000, 0x00000000},  // bit 19 lies outside the 19-bit mask
    {0x000FFFFC, 0x0007FFFC},
    {0xF0000100, 0x00000100},
    {0xC0000100, 0x00000100},
    // Block 1: bits 20..27 equal 0x02; offset AND 0x1FFFFF.
    {0x002FFFFC, 0x002FFFFC},
    {0x20200000, 0x00200000},
    {0x22200000, 0x06000000},  // bits 20..27 are 0x22, not 0x02
    // Block 2: everything else.
    {0x00100000, 0x06100000},
    {0x00300000, 0x06100000},
    {0x06000002, 0x06000002},
    {0x063FFFFC, 0x061FFFFC},
    {0xFFFFFE00, 0x061FFE00},
    // Odd PCs.
    {0x0007FFFF, 0x0007FFFE},
    {0x002FFFFF, 0x002FFFFE},
    {0xFFFFFFFF, 0x061FFFFE},
};

class RunLoop : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core, true, kEntry, kStack);
        machine.SetWords(kEntry, {kNop, kNop, kNop, kNop});
        sh2::Interrupting = 0;
        machine.accesses.clear();
    }
    void TearDown() override { sh2::Interrupting = 0; }

    // Points `vector` (relative to the core's VBR) at a handler of NOPs.
    void SetVector(uint32_t vector, uint32_t handler) {
        machine.SetLong(core->VBR + 4 * vector, handler);
        machine.SetWords(handler, {kNop, kNop});
    }
    // Ends a slice without instructions under `mask`; returns the new PC.
    uint32_t ServiceWithMask(uint32_t mask) {
        core->SR = mask << 4;
        machine.accesses.clear();
        EXPECT_EQ(sh2::RunCycles(*core, 0), 0);
        return core->PC;
    }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

class Fetch : public RunLoop, public ::testing::WithParamInterface<FetchCase> {};

TEST_P(Fetch, AddressSelectsBlockAndOffset) {
    const FetchCase &c = GetParam();
    // The opcode is only at the expected place; anywhere else reads 0.
    machine.SetWord(c.source, 0xB3C5);
    EXPECT_EQ(sh2::FetchOpcode(*core, c.address), 0xB3C5);
}

INSTANTIATE_TEST_SUITE_P(Table, Fetch, ::testing::ValuesIn(kFetchCases), AddressName());

// ---------------------------------------------------------------------------
// Slice accounting

struct BudgetCase {
    const char *name;
    int32_t target;
    std::initializer_list<uint16_t> program;
    int32_t cycles;  // the slice's result
    uint32_t pc;     // PC after the slice: where the first instruction not run is
};

const BudgetCase kBudgetCases[] = {
    {"zero budget runs nothing", 0, {kNop, kNop}, 0, 0x1000},
    {"most negative budget runs nothing", INT32_MIN, {kNop}, 0, 0x1000},
    {"exact budget", 3, {kNop, kNop, kNop, kNop}, 3, 0x1006},
    {"budget 1 with a 2-cycle instruction", 1, {kMulL, kNop}, 2, 0x1002},
    {"overshoot by the last instruction", 4, {kNop, kMulL, kMulL, kNop}, 5, 0x1006},
};

class SliceBudget : public RunLoop, public ::testing::WithParamInterface<BudgetCase> {};

TEST_P(SliceBudget, SliceEndsAtFirstBoundaryReachingTheTarget) {
    const BudgetCase &c = GetParam();
    machine.SetWords(kEntry, c.program);
    EXPECT_EQ(sh2::RunCycles(*core, c.target), c.cycles);
    EXPECT_EQ(core->PC, c.pc);
    EXPECT_TRUE(machine.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, SliceBudget, ::testing::ValuesIn(kBudgetCases), CaseName());

// ---------------------------------------------------------------------------
// Which request is taken

// Requests in a scrambled order and a second one for a level that is already
// pending (lost: the first vector stays): every slice end takes the highest
// pending level, one a slice, and nothing is left afterwards.
TEST_F(RunLoop, EachSliceEndTakesTheHighestPendingLevel) {
    const uint8_t levels[] = {5, 1, 14, 9, 2, 12, 6, 15, 3, 11, 8, 4, 13, 10, 7};
    for (uint8_t level : levels) {
        SetVector(0x40u + level, 0x2000u + 0x100u * level);
        sh2::RequestInterrupt(*core, static_cast<uint8_t>(0x40 + level), level);
    }
    SetVector(0x60, 0x6000);
    sh2::RequestInterrupt(*core, 0x60, 9);
    for (uint32_t level = 15; level >= 1; --level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(ServiceWithMask(0), 0x2000u + 0x100u * level);
        EXPECT_EQ((core->SR >> 4) & 0xF, level);
        EXPECT_EQ(machine.accesses.size(), 3u) << Describe(machine.accesses);
    }
    EXPECT_EQ(ServiceWithMask(0), 0x2100u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(RunLoop, LevelZeroAndLevelsAboveFifteenAreDroppedWithoutTouchingTheCore) {
    const std::vector<unsigned char> before = BytesOf(*core);
    sh2::RequestInterrupt(*core, 0x40, 0);
    ASSERT_TRUE(BytesOf(*core) == before) << "a level-0 request changed the core";
    for (uint32_t level = 16; level <= 255; ++level) {
        sh2::RequestInterrupt(*core, 0x40, static_cast<uint8_t>(level));
        ASSERT_TRUE(BytesOf(*core) == before) << "a level-" << level << " request changed the core";
    }
    EXPECT_EQ(ServiceWithMask(0), kEntry);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// A request is taken only when its level is above the mask. A blocked one
// leaves PC, SR, R15 and the Interrupting flag alone and is taken once the
// mask drops below it.
TEST_F(RunLoop, LevelMustExceedTheMask) {
    SetVector(0x50, 0x2400);
    for (uint32_t mask = 0; mask <= 15; ++mask) {
        for (uint32_t level = 1; level <= 15; ++level) {
            SCOPED_TRACE(testing::Message() << "mask " << mask << ", level " << level);
            sh2::ResetCore(*core);
            core->PC = 0x1234;
            core->SR = 0x301 | (mask << 4);
            const uint8_t flag = (mask + level) & 1;
            sh2::Interrupting = flag;
            sh2::RequestInterrupt(*core, 0x50, static_cast<uint8_t>(level));
            machine.accesses.clear();
            sh2::RunCycles(*core, 0);
            const bool taken = level > mask;
            EXPECT_EQ(core->PC, taken ? 0x2400u : 0x1234u);
            EXPECT_EQ(core->SR, 0x301u | ((taken ? level : mask) << 4));
            EXPECT_EQ(core->R[15], taken ? kStack - 8 : kStack);
            EXPECT_EQ(sh2::Interrupting, taken ? 1 : flag);
            EXPECT_EQ(machine.accesses.size(), taken ? 3u : 0u) << Describe(machine.accesses);
            if (!taken) {
                EXPECT_EQ(ServiceWithMask(level - 1), 0x2400u);
            }
        }
    }
}

// A timer overflow is requested when its slice ends and taken at that same
// slice end, with the vector of VCRD and the level of IPRB's low nibble; the
// cycles of the slices before it count towards it.
TEST_F(RunLoop, TimerOverflowIsTakenAtTheEndOfTheSliceThatOverflowed) {
    SetVector(0x41, 0x2400);
    machine.SetWords(kEntry, std::vector<uint16_t>(16, kNop));
    const auto armOverflow = [this](uint8_t iprb) {
        sh2::BusWriteByte(*core, 0xFFFFFE10, 0x02);    // TIER: overflow interrupt on
        sh2::BusWriteWord(*core, 0xFFFFFE12, 0xFFFF);  // FRC: one count from overflow
        sh2::BusWriteByte(*core, 0xFFFFFE60, iprb);    // IPRB: the timer's level in the low nibble
        sh2::BusWriteByte(*core, 0xFFFFFE68, 0x41);    // VCRD: the overflow vector
    };
    armOverflow(0xA5);
    core->SR = 4 << 4;
    EXPECT_EQ(sh2::RunCycles(*core, 7), 7);
    EXPECT_EQ(core->PC, kEntry + 14) << "seven cycles are less than one count at clock / 8";
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x2400u);
    EXPECT_EQ(core->SR, 5u << 4);
    EXPECT_EQ(machine.Long(kStack - 4), 4u << 4) << "the frame's SR";
    EXPECT_EQ(machine.Long(kStack - 8), kEntry + 16) << "the frame's PC: the next instruction";

    // The level is IPRB's at the request: a request held by the mask keeps it
    // when IPRB changes before it is taken.
    sh2::ResetCore(*core);
    armOverflow(0x05);
    core->SR = 5 << 4;
    EXPECT_EQ(sh2::RunCycles(*core, 8), 8);
    sh2::BusWriteByte(*core, 0xFFFFFE60, 0x09);
    EXPECT_EQ(ServiceWithMask(4), 0x2400u);
    EXPECT_EQ(core->SR, 5u << 4);
}

// The requested exception is entered first, even at the end of a slice that
// runs no instruction, and its mask of 15 holds every request, level 15 too,
// until the program lowers it.
TEST_F(RunLoop, RequestedExceptionComesFirstAndItsMaskHoldsEveryRequest) {
    for (int32_t target : {0, -5, 1}) {
        SCOPED_TRACE(target);
        sh2::ResetCore(*core);
        sh2::Interrupting = 0;
        SetVector(sh2::kRequestedExceptionVector, 0x3000);
        SetVector(0x4F, 0x2F00);
        SetVector(0x47, 0x2700);
        core->SR = 0x001;
        sh2::RequestInterrupt(*core, 0x4F, 15);
        sh2::RequestInterrupt(*core, 0x47, 7);
        sh2::SetExceptionRequest(*core);
        machine.accesses.clear();
        EXPECT_EQ(sh2::RunCycles(*core, target), target > 0 ? 1 : 0);
        const uint32_t stopped = target > 0 ? kEntry + 2 : kEntry;
        EXPECT_EQ(Describe(machine.accesses), Describe({
                                                  Write(4, kStack - 4, 0x001),
                                                  Write(4, kStack - 8, stopped),
                                                  Read(4, 44, 0x3000),
                                              }));
        EXPECT_EQ(core->PC, 0x3000u);
        EXPECT_EQ(core->SR, 0x0F1u);
        EXPECT_EQ(sh2::Interrupting, 0) << "the exception is not an interrupt";
        // Entered once; mask 15 holds level 15, mask 14 does not.
        EXPECT_EQ(ServiceWithMask(15), 0x3000u);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
        EXPECT_EQ(ServiceWithMask(14), 0x2F00u);
        EXPECT_EQ(ServiceWithMask(6), 0x2700u);
    }
}

// ---------------------------------------------------------------------------
// The frame and the host calls

struct FrameCase {
    const char *name;
    uint32_t r15;
    uint32_t vbr;
    uint32_t pc;
    uint32_t sr;
    uint8_t vector;
    uint8_t level;
    uint32_t vectorAddress;  // where an interrupt reads its new PC
};

const FrameCase kFrameCases[] = {
    {"other SR bits stay", kStack, 0, 0x00001234, 0x3F3 & ~0xF0u, 0x41, 9, 0x104},
    {"mask below the level", kStack, 0, 0x06000100, 0x073, 0x42, 8, 0x108},
    {"vector base offset", kStack, 0x00040000, 0x00001000, 0x000, 0x7F, 15, 0x000401FC},
    {"vector address wraps", kStack, 0xFFFFFF00, 0x00001000, 0x000, 0xFF, 3, 0x000002FC},
    {"stack in on-chip RAM", 0xC0000800, 0, 0x00001000, 0x000, 0x43, 4, 0x10C},
    {"stack in the register window", 0xFFFFFE80, 0, 0x00001000, 0x000, 0x44, 4, 0x110},
    {"stack pointer wraps", 0x00000004, 0x00040000, 0x00001000, 0x000, 0x45, 4, 0x00040114},
    {"vector table in on-chip RAM is not seen", kStack, 0xC0000000, 0x00001000, 0x000, 0x46, 4, 0xC0000118},
};

// Both push SR then PC through the host's WriteLong, whatever R15 points at,
// and read the new PC through the host's ReadLong: an interrupt at VBR + 4 *
// its vector with the mask raised to its level, the exception at VBR + 44
// with mask 15, neither adding cycles. The interrupt sets the Interrupting
// flag, the exception keeps it.
class Frame : public RunLoop, public ::testing::WithParamInterface<std::tuple<FrameCase, bool>> {};

TEST_P(Frame, InterruptAndExceptionPushSrThenPcAndReadTheVectorThroughTheHost) {
    const auto &[c, exception] = GetParam();
    core->R[15] = c.r15;
    core->VBR = c.vbr;
    core->PC = c.pc;
    core->SR = c.sr;
    const uint32_t vectorAddress = exception ? c.vbr + 44 : c.vectorAddress;
    machine.SetLong(vectorAddress, 0x0002A000);
    sh2::Interrupting = exception ? 1 : 0;
    if (exception) {
        sh2::SetExceptionRequest(*core);
    } else {
        sh2::RequestInterrupt(*core, c.vector, c.level);
    }
    machine.accesses.clear();

    EXPECT_EQ(sh2::RunCycles(*core, 0), 0);

    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Write(4, c.r15 - 4, c.sr),
                                              Write(4, c.r15 - 8, c.pc),
                                              Read(4, vectorAddress, 0x0002A000),
                                          }));
    EXPECT_EQ(core->R[15], c.r15 - 8);
    EXPECT_EQ(core->PC, 0x0002A000u);
    EXPECT_EQ(core->SR, (c.sr & ~0xF0u) | (exception ? 0xF0u : uint32_t{c.level} << 4));
    EXPECT_EQ(sh2::Interrupting, 1);
}

std::string FrameName(const ::testing::TestParamInfo<std::tuple<FrameCase, bool>> &test) {
    const FrameCase &c = std::get<0>(test.param);
    return CaseName()(::testing::TestParamInfo<FrameCase>(c, test.index)) +
           (std::get<1>(test.param) ? "_exception" : "_interrupt");
}

INSTANTIATE_TEST_SUITE_P(Table, Frame, ::testing::Combine(::testing::ValuesIn(kFrameCases), ::testing::Bool()),
                         FrameName);

// ---------------------------------------------------------------------------
// Undefined opcodes

// The box names the opcode's address; the core then stops with no register
// changed, counts every later budget as run, and neither enters the
// requested exception nor accepts an interrupt, until a reset.
TEST_F(RunLoop, UndefinedOpcodeShowsOneBoxAndStopsTheCoreUntilReset) {
    machine.SetWords(0x1000, {kAddOneR0, kUndefined, kAddOneR1});
    machine.SetLong(44, 0x3000);
    machine.SetLong(4 * 0x50, 0x4000);
    core->SR = 0x301;
    core->R[5] = 0x55;
    sh2::RunCycles(*core, 1);  // runs the add only
    const std::vector<uint32_t> before = Registers(*core);
    sh2::SetExceptionRequest(*core);
    sh2::RequestInterrupt(*core, 0x50, 3);
    machine.accesses.clear();

    EXPECT_EQ(sh2::RunCycles(*core, 100), 100);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].text, "Unknown opcode (master SH2) @0x00001002: 0xFFFF");
    EXPECT_TRUE(Registers(*core) == before) << "the undefined opcode changed a register";
    EXPECT_EQ(sh2::RunCycles(*core, 50), 50);
    EXPECT_EQ(sh2::RunCycles(*core, 0), 0);
    EXPECT_EQ(machine.boxes.size(), 1u);
    EXPECT_TRUE(Registers(*core) == before);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    EXPECT_EQ(ImageWordAt(*core, 0xFFFFFE12), (1 + 100 + 50) / 8) << "the timer counts the idle budgets";

    // A reset runs the program again from the reset vector, up to another box.
    sh2::ResetCore(*core);
    EXPECT_EQ(sh2::RunCycles(*core, 10), 10);
    EXPECT_EQ(core->R[0], 2u);
    ASSERT_EQ(machine.boxes.size(), 2u);
    EXPECT_EQ(machine.boxes[1].text, "Unknown opcode (master SH2) @0x00001002: 0xFFFF");
}

struct WordingCase {
    const char *name;
    bool master;
    uint8_t interrupting;
    uint32_t pc;
    std::initializer_list<uint16_t> program;
    uint32_t stop;  // where the box says the opcode is and PC stays
    const char *text;
};

// clang-format off
const WordingCase kWordingCases[] = {
    {"master", true, 0, 0x06000ABC, {0xF00A}, 0x06000ABC, "Unknown opcode (master SH2) @0x06000ABC: 0xF00A"},
    {"master interrupting", true, 1, 0x06000ABC, {0xF00A}, 0x06000ABC,
     "Unknown opcode while interrupting (master SH2) @0x06000ABC: 0xF00A"},
    {"slave", false, 1, 0x06000ABC, {0xF00A}, 0x06000ABC, "Unknown opcode (slave SH2) @0x06000ABC: 0xF00A"},
    {"opcode 0", true, 0, 0x00000010, {0x0000}, 0x00000010, "Unknown opcode (master SH2) @0x00000010: 0x0000"},
    {"delay slot", true, 0, 0x00001000, {0xA7FE, kUndefined}, 0x00002000,
     "Unknown opcode (master SH2) @0x00002000: 0xFFFF"},
};
// clang-format on

class UndefinedOpcode : public ::testing::TestWithParam<WordingCase> {
protected:
    void TearDown() override { sh2::Interrupting = 0; }
};

// The box names the core, for the master whether it is interrupting, and
// the opcode's address: in the delay slot of a branch that is the target.
TEST_P(UndefinedOpcode, WordingNamesProcessorStateAddressAndOpcode) {
    const WordingCase &c = GetParam();
    TestMachine &machine = TestMachine::Get();
    machine.Reset();
    CoreHandle core;
    MakeCore(core, c.master, c.pc);
    machine.SetWords(c.pc, c.program);
    sh2::Interrupting = c.interrupting;
    sh2::RunCycles(*core, 1);
    sh2::RunCycles(*core, 100);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].caption, "Error");
    EXPECT_EQ(machine.boxes[0].text, c.text);
    EXPECT_EQ(machine.boxes[0].flags, 0x10u);
    EXPECT_EQ(core->PC, c.stop);
}

INSTANTIATE_TEST_SUITE_P(Table, UndefinedOpcode, ::testing::ValuesIn(kWordingCases), CaseName());

}  // namespace
