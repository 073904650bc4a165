// The DMA controller: when a long write of CHCR0, CHCR1 or DMAOR runs a
// channel, the unit sizes and address steps of a transfer, the host accesses
// it makes (read then write, unit by unit), the final SAR, DAR, TCR and TE,
// the completion interrupt, and the refusal of single address mode.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bus/memory.h"
#include "test_host.h"

using namespace sh2test;

namespace {

constexpr uint32_t kDmaor = 0xFFFFFFB0;
constexpr uint32_t kIpraHigh = 0xFFFFFEE2;
constexpr uint32_t kVcrdma0Low = 0xFFFFFFA3;
constexpr uint32_t kVcrdma1Low = 0xFFFFFFAB;

// CHCR fields.
constexpr uint32_t kDe = 0x1;
constexpr uint32_t kTe = 0x2;
constexpr uint32_t kIe = 0x4;
constexpr uint32_t kTa = 0x8;
constexpr uint32_t Dm(uint32_t step) {
    return step << 14;
}
constexpr uint32_t Sm(uint32_t step) {
    return step << 12;
}
constexpr uint32_t Ts(uint32_t size) {
    return size << 10;
}
constexpr uint32_t kFixed = 0, kIncrement = 1, kDecrement = 2, kReservedStep = 3;
constexpr uint32_t kByteUnits = 0, kWordUnits = 1, kLongUnits = 2, kSixteenByteUnits = 3;

constexpr uint32_t Sar(int channel) {
    return 0xFFFFFF80 + 0x10 * static_cast<uint32_t>(channel);
}
constexpr uint32_t Dar(int channel) {
    return Sar(channel) + 4;
}
constexpr uint32_t Tcr(int channel) {
    return Sar(channel) + 8;
}
constexpr uint32_t Chcr(int channel) {
    return Sar(channel) + 12;
}

class DmaController : public OnChipTest {
protected:
    void Store(uint32_t address, uint32_t value) { sh2::BusWriteLong(*core, address, value); }
    uint32_t Reg(uint32_t address) { return sh2::BusReadLong(*core, address); }

    void SetChannel(int channel, uint32_t sar, uint32_t dar, uint32_t tcr) {
        Store(Sar(channel), sar);
        Store(Dar(channel), dar);
        Store(Tcr(channel), tcr);
    }
};

// ---------------------------------------------------------------------------
// Unit sizes and address steps

struct TransferCase {
    const char *name;
    int channel;
    uint32_t chcr;  // DE is added
    uint32_t sar, dar, tcr;
    uint8_t width;                                     // of each host access
    std::vector<std::pair<uint32_t, uint32_t>> moves;  // source and destination of each read and write
    uint32_t sarAfter, darAfter;
};

const uint32_t kUpward = Dm(kIncrement) | Sm(kIncrement);
// clang-format off
const TransferCase kTransferCases[] = {
    {"bytes, both incremented", 0, kUpward | Ts(kByteUnits), 0x06000010, 0x06100010, 3, 1,
     {{0x06000010, 0x06100010}, {0x06000011, 0x06100011}, {0x06000012, 0x06100012}}, 0x06000013, 0x06100013},
    {"words, both decremented", 1, Dm(kDecrement) | Sm(kDecrement) | Ts(kWordUnits), 0x06000020, 0x06100020, 2,
     2, {{0x06000020, 0x06100020}, {0x0600001E, 0x0610001E}}, 0x0600001C, 0x0610001C},
    {"longs to a fixed destination", 0, Dm(kFixed) | Sm(kIncrement) | Ts(kLongUnits), 0x06000040, 0x06100040,
     2, 4, {{0x06000040, 0x06100040}, {0x06000044, 0x06100040}}, 0x06000048, 0x06100040},
    // Inside a 16-byte unit the four longs go upward whatever the step.
    {"16-byte units", 1, Dm(kIncrement) | Sm(kDecrement) | Ts(kSixteenByteUnits), 0x06000100, 0x06100000, 2,
     4,
     {{0x06000100, 0x06100000}, {0x06000104, 0x06100004}, {0x06000108, 0x06100008}, {0x0600010C, 0x0610000C},
      {0x060000F0, 0x06100010}, {0x060000F4, 0x06100014}, {0x060000F8, 0x06100018}, {0x060000FC, 0x0610001C}},
     0x060000E0, 0x06100020},
    // The reserved step value keeps the address fixed, in SAR and DAR too.
    {"reserved steps", 0, Dm(kReservedStep) | Sm(kReservedStep) | Ts(kWordUnits), 0x06000002, 0x06100000, 2, 2,
     {{0x06000002, 0x06100000}, {0x06000002, 0x06100000}}, 0x06000002, 0x06100000},
    {"address arithmetic wraps", 0, Dm(kDecrement) | Sm(kIncrement) | Ts(kLongUnits), 0xFFFFFFFC, 0x00000004,
     2, 4, {{0xFFFFFFFC, 0x00000004}, {0x00000000, 0x00000000}}, 0x00000004, 0xFFFFFFFC},
    // Only the low 24 bits of TCR count; a count of 0 moves nothing, yet
    // the channel finishes as usual.
    {"count 0", 0, kUpward | Ts(kWordUnits), 0x06000000, 0x06100000, 0xFF000000, 2, {}, 0x06000000, 0x06100000},
    // The on-chip RAM window, the range where the memory layer drops
    // writes and the register window all go to the host as they are.
    {"on-chip RAM to a dropped address", 0, kUpward | Ts(kLongUnits), 0xC0000000, 0x60000000, 1, 4,
     {{0xC0000000, 0x60000000}}, 0xC0000004, 0x60000004},
    {"register window to register window", 1, Ts(kByteUnits), 0xFFFFFE10, 0xFFFFFE60, 1, 1,
     {{0xFFFFFE10, 0xFFFFFE60}}, 0xFFFFFE10, 0xFFFFFE60},
};
// clang-format on

class DmaTransfer : public DmaController, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(DmaTransfer, TransfersMoveUnitByUnitAndLeaveTheFinalAddresses) {
    const TransferCase &c = GetParam();
    // Distinct bytes around the source (the on-chip RAM holds zeros).
    for (uint32_t i = 0; i < 0x200; ++i) {
        machine.SetByte(c.sar - 0x100 + i, static_cast<uint8_t>(0x5B + 7 * i));
    }
    std::vector<HostAccess> expected;
    for (const auto &[source, destination] : c.moves) {
        const uint32_t value = c.width == 1   ? machine.Byte(source)
                               : c.width == 2 ? machine.Word(source)
                                              : machine.Long(source);
        expected.push_back(Read(c.width, source, value));
        expected.push_back(Write(c.width, destination, value));
    }
    Store(kDmaor, 1);
    SetChannel(c.channel, c.sar, c.dar, c.tcr);
    Store(Chcr(c.channel), c.chcr | kDe);
    EXPECT_EQ(Describe(machine.accesses), Describe(expected));
    EXPECT_EQ(Reg(Sar(c.channel)), c.sarAfter);
    EXPECT_EQ(Reg(Dar(c.channel)), c.darAfter);
    EXPECT_EQ(Reg(Tcr(c.channel)), 0u);
    EXPECT_EQ(Reg(Chcr(c.channel)), c.chcr | kDe | kTe);
}

INSTANTIATE_TEST_SUITE_P(Table, DmaTransfer, ::testing::ValuesIn(kTransferCases), CaseName());

// ---------------------------------------------------------------------------
// What starts a channel

struct StartStep {
    uint32_t address;
    uint32_t value;
    int width = 4;  // or 2
};

struct StartCase {
    const char *name;
    std::vector<StartStep> steps;
    std::string runs;  // channels that transferred, in order
};

const uint32_t kOneLong = Ts(kLongUnits) | kDe;  // one long unit, fixed addresses
// clang-format off
const StartCase kStartCases[] = {
    {"CHCR0 with DE while DME is 0 only stores", {{Chcr(0), kOneLong}}, ""},
    {"then DMAOR with DME runs channel 0", {{Chcr(0), kOneLong}, {kDmaor, 1}}, "0"},
    {"DMAOR without DME runs nothing", {{Chcr(0), kOneLong}, {kDmaor, 0xFFFFFFFE}}, ""},
    {"CHCR0 with DE and TE while DME is 1 runs", {{kDmaor, 1}, {Chcr(0), kOneLong | kTe}}, "0"},
    {"CHCR0 without DE runs nothing", {{kDmaor, 1}, {Chcr(0), kOneLong & ~kDe}}, ""},
    {"DMAOR does not rerun a finished channel", {{kDmaor, 1}, {Chcr(0), kOneLong}, {Tcr(0), 1}, {kDmaor, 1}}, "0"},
    {"CHCR0 with DE reruns it", {{kDmaor, 1}, {Chcr(0), kOneLong}, {Tcr(0), 1}, {Chcr(0), kOneLong | kTe}}, "00"},
    {"clearing TE lets DMAOR rerun it",
     {{kDmaor, 1}, {Chcr(0), kOneLong}, {Tcr(0), 1}, {kDmaor, 0}, {Chcr(0), kOneLong}, {kDmaor, 1}},
     "00"},
    {"CHCR1 runs channel 1", {{kDmaor, 1}, {Chcr(1), kOneLong}}, "1"},
    {"DMAOR runs channel 0, then channel 1", {{Chcr(1), kOneLong}, {Chcr(0), kOneLong}, {kDmaor, 1}}, "01"},
    {"DMAOR runs only the ready channel", {{Chcr(0), kOneLong | kTe}, {Chcr(1), kOneLong}, {kDmaor, 1}}, "1"},
    {"a refused single-address channel 0 leaves channel 1 to run",
     {{Chcr(0), kOneLong | kTa}, {Chcr(1), kOneLong}, {kDmaor, 1}},
     "1"},
    {"CHCR0 starts only channel 0", {{Chcr(1), kOneLong}, {kDmaor + 2, 1, 2}, {Chcr(0), kOneLong}}, "0"},
    {"word writes of DMAOR and CHCR0 start nothing",
     {{Chcr(0), kOneLong}, {kDmaor + 2, 1, 2}, {Chcr(0) + 2, kOneLong, 2}, {Chcr(0), 0, 2}},
     ""},
};
// clang-format on

class DmaStart : public DmaController, public ::testing::WithParamInterface<StartCase> {};

TEST_P(DmaStart, StartedOnlyByTheEnableRules) {
    const StartCase &c = GetParam();
    machine.SetLong(0x3000, 0x11111111);
    machine.SetLong(0x5000, 0x22222222);
    SetChannel(0, 0x3000, 0x4000, 1);
    SetChannel(1, 0x5000, 0x6000, 1);
    for (const StartStep &s : c.steps) {
        if (s.width == 4) {
            sh2::BusWriteLong(*core, s.address, s.value);
        } else {
            sh2::BusWriteWord(*core, s.address, static_cast<uint16_t>(s.value));
        }
    }
    const HostAccess moves[2][2] = {{Read(4, 0x3000, 0x11111111), Write(4, 0x4000, 0x11111111)},
                                    {Read(4, 0x5000, 0x22222222), Write(4, 0x6000, 0x22222222)}};
    std::vector<HostAccess> expected;
    for (char channel : c.runs) {
        expected.insert(expected.end(), moves[channel - '0'], moves[channel - '0'] + 2);
    }
    EXPECT_EQ(Describe(machine.accesses), Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Table, DmaStart, ::testing::ValuesIn(kStartCases), CaseName());

// ---------------------------------------------------------------------------
// Completion and single address mode

struct CompletionCase {
    const char *name;
    int channel;
    uint32_t chcr;
    uint8_t ipra;     // the byte at 0xFFFFFEE2
    uint8_t ipraLow;  // the byte at 0xFFFFFEE3 (not the DMA level)
    uint32_t tcr;
    int level;   // where a request is expected
    int vector;  // the vector queued at that level, or -1 for none
};

const uint32_t kBase = Dm(kIncrement) | Sm(kIncrement) | Ts(kLongUnits) | kDe;
// clang-format off
const CompletionCase kCompletionCases[] = {
    {"channel 0", 0, kBase | kIe, 0xB7, 0x00, 2, 7, 0xC8},
    {"channel 1", 1, kBase | kIe, 0xB7, 0x00, 1, 7, 0xC9},
    {"without IE", 0, kBase, 0xB7, 0x00, 1, 7, -1},
    {"level 15", 1, kBase | kIe, 0x0F, 0x00, 1, 15, 0xC9},
    {"level 0 queues nothing", 0, kBase | kIe, 0xF0, 0x0F, 1, 0, -1},
    {"nothing transferred", 1, kBase | kIe, 0x02, 0x00, 0, 2, 0xC9},
    // Single address mode is refused with a warning: nothing moves, yet
    // the channel finishes as if it had.
    {"single address, with IE", 0, kBase | kTa | kIe, 0x05, 0x00, 5, 5, 0xC8},
    {"single address, without IE", 1, kBase | kTa, 0x05, 0x00, 5, 5, -1},
};
// clang-format on

class DmaCompletion : public DmaController, public ::testing::WithParamInterface<CompletionCase> {};

TEST_P(DmaCompletion, AFinishedChannelSetsTeAndRequestsItsInterruptIfEnabled) {
    const CompletionCase &c = GetParam();
    sh2::BusWriteByte(*core, kIpraHigh, c.ipra);
    sh2::BusWriteByte(*core, kIpraHigh + 1, c.ipraLow);
    sh2::BusWriteByte(*core, kVcrdma0Low, 0xC8);  // the whole byte is the vector
    sh2::BusWriteByte(*core, kVcrdma1Low, 0xC9);
    Store(kDmaor, 1);
    SetChannel(c.channel, 0x3000, 0x4000, c.tcr);
    Store(Chcr(c.channel), c.chcr);
    const bool refused = (c.chcr & kTa) != 0;
    const uint32_t moved = refused ? 0 : 4 * c.tcr;
    EXPECT_EQ(machine.accesses.size(), moved / 2) << "a read and a write per unit";
    EXPECT_EQ(Reg(Sar(c.channel)), 0x3000 + moved);
    EXPECT_EQ(Reg(Dar(c.channel)), 0x4000 + moved);
    EXPECT_EQ(Reg(Tcr(c.channel)), 0u);
    EXPECT_EQ(Reg(Chcr(c.channel)), c.chcr | kTe);
    ASSERT_EQ(machine.boxes.size(), refused ? 1u : 0u);
    if (refused) {
        EXPECT_EQ(machine.boxes[0].caption, "Warning");
        EXPECT_EQ(machine.boxes[0].text, "Single address mode DMA requested, not supported");
        EXPECT_EQ(machine.boxes[0].flags, 0x40u);
    }
    EXPECT_EQ(core->pendingInterrupts.pendingCount, c.vector >= 0 ? 1u : 0u);
    if (c.vector >= 0) {
        EXPECT_EQ(core->pendingInterrupts.pending[c.level], 1);
        EXPECT_EQ(core->pendingInterrupts.vector[c.level], c.vector);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DmaCompletion, ::testing::ValuesIn(kCompletionCases), CaseName());

}  // namespace
