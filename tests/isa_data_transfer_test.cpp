// MOV in every addressing mode, MOVA, MOVT, SWAP.B/W and XTRCT: registers,
// the exact host accesses, PC and cycles.
#include <gtest/gtest.h>

#include <tuple>

#include "bus/memory.h"
#include "isa/decode_table.h"
#include "isa_test_util.h"

using namespace sh2test;

namespace {

// A preset of host memory: width (1, 2 or 4), address, value.
using MemoryList = std::vector<std::tuple<uint8_t, uint32_t, uint32_t>>;

struct TransferCase {
    const char *name;
    uint16_t opcode;
    RegisterList in;
    MemoryList memory;
    RegisterList out;
    std::vector<HostAccess> accesses;
    uint32_t pc = kCodeBase;
    uint32_t sr = 0x000000F0;
};

constexpr uint32_t kGbr = 0x00002000;

const TransferCase kTransferCases[] = {
    {"MOV R3,R5", 0x6533, {{3, 0xDEADBEEF}}, {}, {{5, 0xDEADBEEF}}, {}},
    {"MOV R7,R7", 0x6773, {}, {}, {}, {}},
    // @(R0,Rn) stores.
    {"MOV.B R2,@(R0,R4)", 0x0424, {{0, 0x10}, {2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(1, 0x2010, 0xAB)}},
    {"MOV.W R2,@(R0,R4)", 0x0425, {{0, 0x10}, {2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(2, 0x2010, 0x56AB)}},
    {"MOV.L R2,@(R0,R4)", 0x0426, {{0, 0x10}, {2, 0x123456AB}, {4, 0x2000}}, {}, {},
     {WriteOf(4, 0x2010, 0x123456AB)}},
    {"MOV.L R0,@(R0,R0) uses twice R0", 0x0006, {{0, 0x1000}}, {}, {}, {WriteOf(4, 0x2000, 0x1000)}},
    {"MOV.L R2,@(R0,R4) address wraps", 0x0426, {{0, 0x10}, {2, 1}, {4, 0xFFFFFFF0}}, {}, {},
     {WriteOf(4, 0x0, 1)}},
    // @Rn stores.
    {"MOV.B R2,@R4", 0x2420, {{2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(1, 0x2000, 0xAB)}},
    {"MOV.W R2,@R4", 0x2421, {{2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(2, 0x2000, 0x56AB)}},
    {"MOV.L R2,@R4", 0x2422, {{2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(4, 0x2000, 0x123456AB)}},
    {"MOV.L R4,@R4 stores the base", 0x2442, {{4, 0x2000}}, {}, {}, {WriteOf(4, 0x2000, 0x2000)}},
    {"MOV.L to an odd address is passed on", 0x2422, {{2, 0x11223344}, {4, 0x2001}}, {}, {},
     {WriteOf(4, 0x2001, 0x11223344)}},
    {"MOV.W to an odd address is passed on", 0x2421, {{2, 0x11223344}, {4, 0x2003}}, {}, {},
     {WriteOf(2, 0x2003, 0x3344)}},
    {"MOV.L to 0x40000000 is dropped", 0x2422, {{2, 0x11223344}, {4, 0x40000000}}, {}, {}, {}},
    {"MOV.L to 0x3FFFFFFC reaches the host", 0x2422, {{2, 0x11223344}, {4, 0x3FFFFFFC}}, {}, {},
     {WriteOf(4, 0x3FFFFFFC, 0x11223344)}},
    // @Rm loads with sign extension.
    {"MOV.B @R4,R1 0x80", 0x6140, {{4, 0x2000}}, {{1, 0x2000, 0x80}}, {{1, 0xFFFFFF80}}, {ReadOf(1, 0x2000, 0x80)}},
    {"MOV.B @R4,R1 0x7F", 0x6140, {{4, 0x2000}}, {{1, 0x2000, 0x7F}}, {{1, 0x7F}}, {ReadOf(1, 0x2000, 0x7F)}},
    {"MOV.W @R4,R1 0x8000", 0x6141, {{4, 0x2000}}, {{2, 0x2000, 0x8000}}, {{1, 0xFFFF8000}},
     {ReadOf(2, 0x2000, 0x8000)}},
    {"MOV.W @R4,R1 0x7FFF", 0x6141, {{4, 0x2000}}, {{2, 0x2000, 0x7FFF}}, {{1, 0x7FFF}},
     {ReadOf(2, 0x2000, 0x7FFF)}},
    {"MOV.L @R4,R1", 0x6142, {{4, 0x2000}}, {{4, 0x2000, 0x89ABCDEF}}, {{1, 0x89ABCDEF}},
     {ReadOf(4, 0x2000, 0x89ABCDEF)}},
    {"MOV.L @R4,R4", 0x6442, {{4, 0x2000}}, {{4, 0x2000, 0x89ABCDEF}}, {{4, 0x89ABCDEF}},
     {ReadOf(4, 0x2000, 0x89ABCDEF)}},
    {"MOV.W @R4,R1 at an odd address", 0x6141, {{4, 0x2003}}, {{1, 0x2003, 0x91}, {1, 0x2004, 0x22}},
     {{1, 0xFFFF9122}}, {ReadOf(2, 0x2003, 0x9122)}},
    // Pre-decrement stores: value from before the decrement, written at the
    // decremented address.
    {"MOV.L R1,@-R1", 0x2116, {{1, 0x1000}}, {}, {{1, 0x0FFC}}, {WriteOf(4, 0x0FFC, 0x1000)}},
    {"MOV.W R1,@-R1", 0x2115, {{1, 0x1234}}, {}, {{1, 0x1232}}, {WriteOf(2, 0x1232, 0x1234)}},
    {"MOV.B R1,@-R1", 0x2114, {{1, 0x1234}}, {}, {{1, 0x1233}}, {WriteOf(1, 0x1233, 0x34)}},
    {"MOV.L R15,@-R15", 0x2FF6, {{15, 0x3000}}, {}, {{15, 0x2FFC}}, {WriteOf(4, 0x2FFC, 0x3000)}},
    {"MOV.L R2,@-R4", 0x2426, {{2, 0x123456AB}, {4, 0x2000}}, {}, {{4, 0x1FFC}}, {WriteOf(4, 0x1FFC, 0x123456AB)}},
    {"MOV.W R2,@-R4", 0x2425, {{2, 0x123456AB}, {4, 0x2000}}, {}, {{4, 0x1FFE}}, {WriteOf(2, 0x1FFE, 0x56AB)}},
    {"MOV.B R2,@-R4", 0x2424, {{2, 0x123456AB}, {4, 0x2000}}, {}, {{4, 0x1FFF}}, {WriteOf(1, 0x1FFF, 0xAB)}},
    {"MOV.L R2,@-R4 from 0 wraps", 0x2426, {{2, 7}, {4, 0}}, {}, {{4, 0xFFFFFFFC}}, {}},
    // Post-increment loads: no increment when n == m.
    {"MOV.L @R1+,R1", 0x6116, {{1, 0x2000}}, {{4, 0x2000, 0xCAFEF00D}}, {{1, 0xCAFEF00D}},
     {ReadOf(4, 0x2000, 0xCAFEF00D)}},
    {"MOV.W @R1+,R1", 0x6115, {{1, 0x2000}}, {{2, 0x2000, 0x1234}}, {{1, 0x1234}}, {ReadOf(2, 0x2000, 0x1234)}},
    {"MOV.B @R1+,R1", 0x6114, {{1, 0x2000}}, {{1, 0x2000, 0x80}}, {{1, 0xFFFFFF80}}, {ReadOf(1, 0x2000, 0x80)}},
    {"MOV.W @R2+,R1", 0x6125, {{2, 0x2000}}, {{2, 0x2000, 0x8001}}, {{1, 0xFFFF8001}, {2, 0x2002}},
     {ReadOf(2, 0x2000, 0x8001)}},
    {"MOV.B @R2+,R1", 0x6124, {{2, 0x2000}}, {{1, 0x2000, 0xFE}}, {{1, 0xFFFFFFFE}, {2, 0x2001}},
     {ReadOf(1, 0x2000, 0xFE)}},
    {"MOV.L @R2+,R1", 0x6126, {{2, 0x2000}}, {{4, 0x2000, 0x01020304}}, {{1, 0x01020304}, {2, 0x2004}},
     {ReadOf(4, 0x2000, 0x01020304)}},
    {"MOV.L @R15+,R14", 0x6EF6, {{15, 0x2FFC}}, {{4, 0x2FFC, 0x55667788}}, {{14, 0x55667788}, {15, 0x3000}},
     {ReadOf(4, 0x2FFC, 0x55667788)}},
    // @(R0,Rm) loads.
    {"MOV.B @(R0,R4),R1", 0x014C, {{0, 0x10}, {4, 0x2000}}, {{1, 0x2010, 0x90}}, {{1, 0xFFFFFF90}},
     {ReadOf(1, 0x2010, 0x90)}},
    {"MOV.W @(R0,R4),R1", 0x014D, {{0, 0x10}, {4, 0x2000}}, {{2, 0x2010, 0x9000}}, {{1, 0xFFFF9000}},
     {ReadOf(2, 0x2010, 0x9000)}},
    {"MOV.L @(R0,R4),R1", 0x014E, {{0, 0x10}, {4, 0x2000}}, {{4, 0x2010, 0x9ABCDEF0}}, {{1, 0x9ABCDEF0}},
     {ReadOf(4, 0x2010, 0x9ABCDEF0)}},
    {"MOV.L @(R0,R0),R0 uses twice R0", 0x000E, {{0, 0x1000}}, {{4, 0x2000, 0x31415926}}, {{0, 0x31415926}},
     {ReadOf(4, 0x2000, 0x31415926)}},
    {"MOV.B @(R0,R4),R4 loads from the old base", 0x044C, {{0, 0x1}, {4, 0x2000}}, {{1, 0x2001, 0x05}},
     {{4, 0x05}}, {ReadOf(1, 0x2001, 0x05)}},
    // Immediates are sign-extended.
    {"MOV #0x80,R3", 0xE380, {}, {}, {{3, 0xFFFFFF80}}, {}},
    {"MOV #0x7F,R3", 0xE37F, {}, {}, {{3, 0x7F}}, {}},
    {"MOV #0,R15", 0xEF00, {}, {}, {{15, 0}}, {}},
    {"MOV #-1,R0", 0xE0FF, {}, {}, {{0, 0xFFFFFFFF}}, {}},
    // PC-relative forms: base is the instruction's address + 4; the long forms
    // clear bits 0 and 1 of PC first, the word form does not.
    {"MOV.W @(1,PC),R1 at 0x4002", 0x9101, {}, {{2, 0x4008, 0x8765}}, {{1, 0xFFFF8765}},
     {ReadOf(2, 0x4008, 0x8765)}, 0x4002},
    {"MOV.W @(1,PC),R1 at 0x4000", 0x9101, {}, {{2, 0x4006, 0x0765}}, {{1, 0x0765}}, {ReadOf(2, 0x4006, 0x0765)},
     0x4000},
    {"MOV.W @(255,PC),R1", 0x91FF, {}, {{2, 0x4202, 0x1111}}, {{1, 0x1111}}, {ReadOf(2, 0x4202, 0x1111)}, 0x4000},
    {"MOV.L @(1,PC),R1 at 0x4002", 0xD101, {}, {{4, 0x4008, 0xA0B0C0D0}}, {{1, 0xA0B0C0D0}},
     {ReadOf(4, 0x4008, 0xA0B0C0D0)}, 0x4002},
    {"MOV.L @(1,PC),R1 at 0x4000", 0xD101, {}, {{4, 0x4008, 0xA0B0C0D1}}, {{1, 0xA0B0C0D1}},
     {ReadOf(4, 0x4008, 0xA0B0C0D1)}, 0x4000},
    {"MOV.L @(255,PC),R9 at 0x4002", 0xD9FF, {}, {{4, 0x4400, 0x0000FFFF}}, {{9, 0x0000FFFF}},
     {ReadOf(4, 0x4400, 0x0000FFFF)}, 0x4002},
    {"MOVA @(0,PC),R0 at 0x4002", 0xC700, {}, {}, {{0, 0x4004}}, {}, 0x4002},
    {"MOVA @(0,PC),R0 at 0x4000", 0xC700, {}, {}, {{0, 0x4004}}, {}, 0x4000},
    {"MOVA @(255,PC),R0 at 0x4002", 0xC7FF, {}, {}, {{0, 0x4400}}, {}, 0x4002},
    {"MOVA @(1,PC),R0 at 0x4006", 0xC701, {}, {}, {{0, 0x400C}}, {}, 0x4006},
    // GBR forms: the displacement is unsigned and scaled.
    {"MOV.B @(255,GBR),R0", 0xC4FF, {}, {{1, kGbr + 255, 0x81}}, {{0, 0xFFFFFF81}}, {ReadOf(1, kGbr + 255, 0x81)}},
    {"MOV.B @(0,GBR),R0", 0xC400, {}, {{1, kGbr, 0x01}}, {{0, 0x01}}, {ReadOf(1, kGbr, 0x01)}},
    {"MOV.W @(255,GBR),R0", 0xC5FF, {}, {{2, kGbr + 510, 0x8002}}, {{0, 0xFFFF8002}},
     {ReadOf(2, kGbr + 510, 0x8002)}},
    {"MOV.L @(255,GBR),R0", 0xC6FF, {}, {{4, kGbr + 1020, 0xFEEDFACE}}, {{0, 0xFEEDFACE}},
     {ReadOf(4, kGbr + 1020, 0xFEEDFACE)}},
    {"MOV.B R0,@(255,GBR)", 0xC0FF, {{0, 0x123456AB}}, {}, {}, {WriteOf(1, kGbr + 255, 0xAB)}},
    {"MOV.W R0,@(1,GBR)", 0xC101, {{0, 0x123456AB}}, {}, {}, {WriteOf(2, kGbr + 2, 0x56AB)}},
    {"MOV.L R0,@(255,GBR)", 0xC2FF, {{0, 0x123456AB}}, {}, {}, {WriteOf(4, kGbr + 1020, 0x123456AB)}},
    // 4-bit displacements: MOV.B/W keep the base in bits 7..4.
    {"MOV.B R0,@(15,R0)", 0x800F, {{0, 0x20A5}}, {}, {}, {WriteOf(1, 0x20B4, 0xA5)}},
    {"MOV.B R0,@(3,R4)", 0x8043, {{0, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(1, 0x2003, 0xAB)}},
    {"MOV.W R0,@(15,R4)", 0x814F, {{0, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(2, 0x201E, 0x56AB)}},
    {"MOV.L R2,@(15,R4)", 0x142F, {{2, 0x123456AB}, {4, 0x2000}}, {}, {}, {WriteOf(4, 0x203C, 0x123456AB)}},
    {"MOV.L R4,@(1,R4)", 0x1441, {{4, 0x2000}}, {}, {}, {WriteOf(4, 0x2004, 0x2000)}},
    {"MOV.B @(15,R4),R0", 0x844F, {{4, 0x2000}}, {{1, 0x200F, 0xC0}}, {{0, 0xFFFFFFC0}}, {ReadOf(1, 0x200F, 0xC0)}},
    {"MOV.B @(2,R0),R0 loads from the old base", 0x8402, {{0, 0x2000}}, {{1, 0x2002, 0x44}}, {{0, 0x44}},
     {ReadOf(1, 0x2002, 0x44)}},
    {"MOV.W @(15,R4),R0", 0x854F, {{4, 0x2000}}, {{2, 0x201E, 0xC000}}, {{0, 0xFFFFC000}},
     {ReadOf(2, 0x201E, 0xC000)}},
    {"MOV.L @(15,R4),R1", 0x514F, {{4, 0x2000}}, {{4, 0x203C, 0x0F0F0F0F}}, {{1, 0x0F0F0F0F}},
     {ReadOf(4, 0x203C, 0x0F0F0F0F)}},
    {"MOV.L @(0,R0),R0 equals MOV.L @R0,R0", 0x5000, {{0, 0x2000}}, {{4, 0x2000, 0x77777777}}, {{0, 0x77777777}},
     {ReadOf(4, 0x2000, 0x77777777)}},
    {"MOV.L @(1,R1),R1 loads from the old base", 0x5111, {{1, 0x2000}}, {{4, 0x2004, 0x12121212}},
     {{1, 0x12121212}}, {ReadOf(4, 0x2004, 0x12121212)}},
    // MOVT, SWAP, XTRCT.
    {"MOVT R3 with T = 1", 0x0329, {}, {}, {{3, 1}}, {}, kCodeBase, 0x3F3},
    {"MOVT R3 with T = 0", 0x0329, {}, {}, {{3, 0}}, {}, kCodeBase, 0x3F2},
    {"SWAP.B R1,R2", 0x6218, {{1, 0xA1B2C3D4}}, {}, {{2, 0xA1B2D4C3}}, {}},
    {"SWAP.B R1,R1", 0x6118, {{1, 0xA1B2C3D4}}, {}, {{1, 0xA1B2D4C3}}, {}},
    {"SWAP.W R1,R2", 0x6219, {{1, 0xA1B2C3D4}}, {}, {{2, 0xC3D4A1B2}}, {}},
    {"SWAP.W R1,R1", 0x6119, {{1, 0xA1B2C3D4}}, {}, {{1, 0xC3D4A1B2}}, {}},
    {"XTRCT R1,R2", 0x221D, {{1, 0xAAAABBBB}, {2, 0xCCCCDDDD}}, {}, {{2, 0xBBBBCCCC}}, {}},
    {"XTRCT R3,R3 rotates by 16", 0x233D, {{3, 0x12345678}}, {}, {{3, 0x56781234}}, {}},
};

class DataTransfer : public IsaTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(DataTransfer, RegistersAccessesPcAndCycles) {
    const TransferCase &c = GetParam();
    SetRegisters(c.in);
    Core().GBR = kGbr;
    Core().SR = c.sr;
    Core().PC = c.pc;
    for (const auto &[width, address, value] : c.memory) {
        if (width == 1) Machine().SetByte(address, static_cast<uint8_t>(value));
        if (width == 2) Machine().SetWord(address, static_cast<uint16_t>(value));
        if (width == 4) Machine().SetLong(address, value);
    }
    const int32_t cycles = Execute(c.opcode);
    ExpectRegisters(c.in, c.out, c.name);
    ExpectAccesses(c.accesses, c.name);
    EXPECT_EQ(Core().PC, c.pc + 2) << c.name;
    EXPECT_EQ(cycles, 1) << c.name;
    EXPECT_EQ(Core().SR, c.sr) << c.name;
    EXPECT_EQ(Core().GBR, kGbr) << c.name;
    EXPECT_EQ(Core().MACH, 0x4D414348u) << c.name;
    EXPECT_EQ(Core().MACL, 0x4D41434Cu) << c.name;
    EXPECT_EQ(Core().PR, 0x0BAD0400u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(IsaDataTransfer, DataTransfer, ::testing::ValuesIn(kTransferCases));

using IsaDataTransferWindows = IsaTest;

// Stores into on-chip RAM stay inside the core; every alias of the window
// reads the same bytes back, big-endian.
TEST_F(IsaDataTransferWindows, OnChipRamIsReachedThroughEveryAlias) {
    SetRegisters({{2, 0x11223344}, {4, 0xC0000120}, {5, 0xFFFFF122}, {6, 0xD0000123}});
    Place(kCodeBase, {0x2422, 0x6151, 0x6360, 0x6742});  // mov.l r2,@r4; mov.w @r5,r1; mov.b @r6,r3; mov.l @r4,r7
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Step(), 1);
    }
    EXPECT_TRUE(Machine().accesses.empty()) << Describe(Machine().accesses);
    EXPECT_EQ(Core().OnChipRam[0x120], 0x11);
    EXPECT_EQ(Core().OnChipRam[0x123], 0x44);
    EXPECT_EQ(Core().R[1], 0x3344u);
    EXPECT_EQ(Core().R[3], 0x44u);
    EXPECT_EQ(Core().R[7], 0x11223344u);
    EXPECT_EQ(Core().PC, kCodeBase + 8);
}

// A byte store of the on-chip register window goes to the image, not to the
// host.
TEST_F(IsaDataTransferWindows, StoresToTheRegisterWindowStayInTheImage) {
    SetRegisters({{0, 0xA5}, {4, 0xFFFFFE40}});
    Execute(0x8043);  // mov.b r0,@(3,r4)
    EXPECT_TRUE(Machine().accesses.empty()) << Describe(Machine().accesses);
    EXPECT_EQ(Core().OnChipRegisterFile[0x43], 0xA5);
}

// Every operand value of the memory rows: the access goes to the address the
// row's fields give, with the right width and value, and only the named
// register changes. Registers hold distinct addresses so that a wrong
// register number shows up as a wrong address.
class IsaDataTransferSweep : public IsaTest {
protected:
    struct Expected {
        bool write = false;
        uint8_t width = 0;
        uint32_t address = 0;
        uint32_t storedValue = 0;
        int loadRegister = -1;  // register that receives the loaded value
        bool signExtend = true;
        int stepRegister = -1;  // register changed by the increment or decrement
        int32_t step = 0;
    };

    // The row's semantics, written from its fields.
    static bool Model(uint16_t op, const uint32_t *r, uint32_t gbr, Expected &e) {
        const int n = (op >> 8) & 0xF;
        const int m = (op >> 4) & 0xF;
        const uint32_t d4 = op & 0xF;
        const uint32_t d8 = op & 0xFF;
        const sh2::OpcodePattern *row = sh2::FindDecodeRow(op);
        if (row == nullptr) return false;
        using sh2::Instruction;
        auto store = [&](uint8_t width, uint32_t address, uint32_t value) {
            e.write = true;
            e.width = width;
            e.address = address;
            e.storedValue = width == 1 ? (value & 0xFF) : width == 2 ? (value & 0xFFFF) : value;
        };
        auto load = [&](uint8_t width, uint32_t address, int destination) {
            e.width = width;
            e.address = address;
            e.loadRegister = destination;
        };
        switch (row->instruction) {
            case Instruction::MoveByteStoreIndexed: store(1, r[0] + r[n], r[m]); break;
            case Instruction::MoveWordStoreIndexed: store(2, r[0] + r[n], r[m]); break;
            case Instruction::MoveLongStoreIndexed: store(4, r[0] + r[n], r[m]); break;
            case Instruction::MoveByteStore: store(1, r[n], r[m]); break;
            case Instruction::MoveWordStore: store(2, r[n], r[m]); break;
            case Instruction::MoveLongStore: store(4, r[n], r[m]); break;
            case Instruction::MoveByteLoad: load(1, r[m], n); break;
            case Instruction::MoveWordLoad: load(2, r[m], n); break;
            case Instruction::MoveLongLoad: load(4, r[m], n); break;
            case Instruction::MoveByteStorePreDecrement: store(1, r[n] - 1, r[m]); e.stepRegister = n; e.step = -1; break;
            case Instruction::MoveWordStorePreDecrement: store(2, r[n] - 2, r[m]); e.stepRegister = n; e.step = -2; break;
            case Instruction::MoveLongStorePreDecrement: store(4, r[n] - 4, r[m]); e.stepRegister = n; e.step = -4; break;
            case Instruction::MoveByteLoadPostIncrement:
                load(1, r[m], n);
                if (n != m) { e.stepRegister = m; e.step = 1; }
                break;
            case Instruction::MoveWordLoadPostIncrement:
                load(2, r[m], n);
                if (n != m) { e.stepRegister = m; e.step = 2; }
                break;
            case Instruction::MoveLongLoadPostIncrement:
                load(4, r[m], n);
                if (n != m) { e.stepRegister = m; e.step = 4; }
                break;
            case Instruction::MoveByteLoadIndexed: load(1, r[0] + r[m], n); break;
            case Instruction::MoveWordLoadIndexed: load(2, r[0] + r[m], n); break;
            case Instruction::MoveLongLoadIndexed: load(4, r[0] + r[m], n); break;
            case Instruction::MoveByteLoadGbr: load(1, gbr + d8, 0); break;
            case Instruction::MoveWordLoadGbr: load(2, gbr + d8 * 2, 0); break;
            case Instruction::MoveLongLoadGbr: load(4, gbr + d8 * 4, 0); break;
            case Instruction::MoveByteStoreGbr: store(1, gbr + d8, r[0]); break;
            case Instruction::MoveWordStoreGbr: store(2, gbr + d8 * 2, r[0]); break;
            case Instruction::MoveLongStoreGbr: store(4, gbr + d8 * 4, r[0]); break;
            case Instruction::MoveByteStoreDisplacement: store(1, r[m] + d4, r[0]); break;
            case Instruction::MoveWordStoreDisplacement: store(2, r[m] + d4 * 2, r[0]); break;
            case Instruction::MoveLongStoreDisplacement: store(4, r[n] + d4 * 4, r[m]); break;
            case Instruction::MoveByteLoadDisplacement: load(1, r[m] + d4, 0); break;
            case Instruction::MoveWordLoadDisplacement: load(2, r[m] + d4 * 2, 0); break;
            case Instruction::MoveLongLoadDisplacement: load(4, r[m] + d4 * 4, n); break;
            default: return false;
        }
        return true;
    }
};

TEST_F(IsaDataTransferSweep, EveryOperandOfTheMemoryRows) {
    // Registers 0x1000 + 0x104 * i: distinct, so R0 + Rn names the pair.
    uint32_t r[16];
    for (int i = 0; i < 16; ++i) {
        r[i] = 0x1000 + 0x104u * static_cast<uint32_t>(i);
    }
    r[0] = 0x40;
    const uint32_t gbr = 0x3000;
    // A recognisable pattern over the data area.
    for (uint32_t address = 0x1000; address < 0x3800; ++address) {
        Machine().SetByte(address, static_cast<uint8_t>((address * 37u) ^ (address >> 8)));
    }
    int checked = 0;
    for (uint32_t opcode = 0; opcode < 0x10000; ++opcode) {
        const uint16_t op = static_cast<uint16_t>(opcode);
        Expected e;
        if (!Model(op, r, gbr, e)) continue;
        for (int i = 0; i < 16; ++i) Core().R[i] = r[i];
        Core().GBR = gbr;
        Core().PC = kCodeBase;
        Machine().accesses.clear();
        uint32_t loaded = 0;
        if (!e.write) {
            loaded = e.width == 1 ? Machine().Byte(e.address) : e.width == 2 ? Machine().Word(e.address)
                                                                             : Machine().Long(e.address);
        }
        const int32_t cycles = Execute(op);
        ASSERT_EQ(cycles, 1) << Hex(op);
        ASSERT_EQ(Core().PC, kCodeBase + 2) << Hex(op);
        ASSERT_EQ(Machine().accesses.size(), 1u) << Hex(op) << ": " << Describe(Machine().accesses);
        const HostAccess &access = Machine().accesses[0];
        const HostAccess want = e.write ? WriteOf(e.width, e.address, e.storedValue) : ReadOf(e.width, e.address, loaded);
        ASSERT_EQ(access, want) << Hex(op) << ": host saw " << Describe(access) << ", expected " << Describe(want);
        uint32_t expected[16];
        for (int i = 0; i < 16; ++i) expected[i] = r[i];
        if (e.loadRegister >= 0) {
            expected[e.loadRegister] = e.width == 1 ? static_cast<uint32_t>(static_cast<int8_t>(loaded))
                                       : e.width == 2 ? static_cast<uint32_t>(static_cast<int16_t>(loaded))
                                                      : loaded;
        }
        if (e.stepRegister >= 0) {
            expected[e.stepRegister] = r[e.stepRegister] + static_cast<uint32_t>(e.step);
        }
        for (int i = 0; i < 16; ++i) {
            ASSERT_EQ(Core().R[i], expected[i]) << Hex(op) << " R" << i;
        }
        // Undo the store so the pattern stays intact for the next opcode.
        if (e.write) {
            for (uint32_t b = 0; b < e.width; ++b) {
                const uint32_t address = e.address + b;
                Machine().SetByte(address, static_cast<uint8_t>((address * 37u) ^ (address >> 8)));
            }
        }
        ++checked;
    }
    // Rows 56 to 73 and 77 to 88 (the register-indirect, indexed, GBR and
    // displacement forms): 18 rows of 256 opcodes, 6 GBR rows of 256, 4 rows of
    // 256 and 2 of 4096.
    EXPECT_EQ(checked, 18 * 256 + 6 * 256 + 4 * 256 + 2 * 4096);
}

}  // namespace
