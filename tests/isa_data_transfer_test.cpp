// The host traffic of the MOV family: each memory form makes exactly one
// access, of its own width, at the address its operands give. Results,
// addressing and every register effect are decided by the qemu fixture's mov
// group, which sees only the final data page; routing to on-chip memory is in
// memory_bus_test.cpp.
#include <gtest/gtest.h>

#include <tuple>

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
};

inline std::ostream &operator<<(std::ostream &out, const TransferCase &c) {
    return out << c.name;
}

constexpr uint32_t kGbr = 0x00002000;

// clang-format off
const TransferCase kTransferCases[] = {
    {"MOV.B R2,@(R0,R4)", 0x0424, {{0, 0x10}, {2, 0x123456AB}, {4, 0x2000}}, {}, {}, {Write(1, 0x2010, 0xAB)}},
    {"MOV.W R2,@(R0,R4)", 0x0425, {{0, 0x10}, {2, 0x123456AB}, {4, 0x2000}}, {}, {}, {Write(2, 0x2010, 0x56AB)}},
    {"MOV.L R2,@(R0,R4) address wraps", 0x0426, {{0, 0x10}, {2, 1}, {4, 0xFFFFFFF0}}, {}, {},
     {Write(4, 0x0, 1)}},
    {"MOV.B R1,@-R1 stores the old value", 0x2114, {{1, 0x1234}}, {}, {{1, 0x1233}}, {Write(1, 0x1233, 0x34)}},
    {"MOV.L R2,@(15,R4)", 0x142F, {{2, 0x123456AB}, {4, 0x2000}}, {}, {}, {Write(4, 0x203C, 0x123456AB)}},
    {"MOV.B R0,@(255,GBR)", 0xC0FF, {{0, 0x123456AB}}, {}, {}, {Write(1, kGbr + 255, 0xAB)}},
    {"MOV.W @R4,R1 0x8000", 0x6141, {{4, 0x2000}}, {{2, 0x2000, 0x8000}}, {{1, 0xFFFF8000}},
     {Read(2, 0x2000, 0x8000)}},
    {"MOV.B @R2+,R1", 0x6124, {{2, 0x2000}}, {{1, 0x2000, 0xFE}}, {{1, 0xFFFFFFFE}, {2, 0x2001}},
     {Read(1, 0x2000, 0xFE)}},
    {"MOV.L @R1+,R1 does not increment", 0x6116, {{1, 0x2000}}, {{4, 0x2000, 0xCAFEF00D}}, {{1, 0xCAFEF00D}},
     {Read(4, 0x2000, 0xCAFEF00D)}},
    {"MOV.W @(255,GBR),R0", 0xC5FF, {}, {{2, kGbr + 510, 0x8002}}, {{0, 0xFFFF8002}},
     {Read(2, kGbr + 510, 0x8002)}},
    {"MOV.W @(15,R4),R0", 0x854F, {{4, 0x2000}}, {{2, 0x201E, 0xC000}}, {{0, 0xFFFFC000}},
     {Read(2, 0x201E, 0xC000)}},
};
// clang-format on

class DataTransfer : public IsaTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(DataTransfer, OneAccessOfItsWidth) {
    const TransferCase &c = GetParam();
    SetRegisters(c.in);
    Core().GBR = kGbr;
    for (const auto &[width, address, value] : c.memory) {
        if (width == 1) Machine().SetByte(address, static_cast<uint8_t>(value));
        if (width == 2) Machine().SetWord(address, static_cast<uint16_t>(value));
        if (width == 4) Machine().SetLong(address, value);
    }
    Execute(c.opcode);
    ExpectRegisters(c.in, c.out, c.name);
    ExpectAccesses(c.accesses, c.name);
    EXPECT_EQ(Core().PC, kCodeBase + 2) << c.name;
}

INSTANTIATE_TEST_SUITE_P(IsaDataTransfer, DataTransfer, ::testing::ValuesIn(kTransferCases));

}  // namespace
