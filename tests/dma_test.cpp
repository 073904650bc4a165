// The DMA controller: when a long write of CHCR0, CHCR1 or DMAOR runs a
// channel, the unit sizes and address steps of a transfer, the host accesses
// it makes (read then write, unit by unit), the final SAR, DAR, TCR and TE,
// the completion interrupt, and the refusal of single address mode.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bus/memory.h"
#include "core/interrupts.h"
#include "core/platform.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

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
constexpr uint32_t Dm(uint32_t step) { return step << 14; }
constexpr uint32_t Sm(uint32_t step) { return step << 12; }
constexpr uint32_t Ts(uint32_t size) { return size << 10; }
constexpr uint32_t kFixed = 0, kIncrement = 1, kDecrement = 2, kReservedStep = 3;
constexpr uint32_t kByteUnits = 0, kWordUnits = 1, kLongUnits = 2, kSixteenByteUnits = 3;

constexpr uint32_t Sar(int channel) { return 0xFFFFFF80 + 0x10 * static_cast<uint32_t>(channel); }
constexpr uint32_t Dar(int channel) { return Sar(channel) + 4; }
constexpr uint32_t Tcr(int channel) { return Sar(channel) + 8; }
constexpr uint32_t Chcr(int channel) { return Sar(channel) + 12; }

const char kSingleAddressText[] = "Single address mode DMA requested, not supported";

class DmaController : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }

    void Fresh() {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
    }

    void Store(uint32_t address, uint32_t value) { sh2::BusWriteLong(*core, address, value); }
    uint32_t Reg(uint32_t address) { return sh2::BusReadLong(*core, address); }

    void SetChannel(int channel, uint32_t sar, uint32_t dar, uint32_t tcr) {
        Store(Sar(channel), sar);
        Store(Dar(channel), dar);
        Store(Tcr(channel), tcr);
    }

    // Distinct bytes over [address, address + length) of host memory.
    void Fill(uint32_t address, uint32_t length) {
        for (uint32_t i = 0; i < length; ++i) {
            machine.SetByte(address + i, static_cast<uint8_t>(0x5B + 7 * i + (i >> 8)));
        }
    }

    // The accesses a transfer makes, taken from the host memory as it stands
    // (source and destination must not overlap).
    std::vector<HostAccess> Expected(uint32_t sar, uint32_t dar, uint32_t count, uint32_t ts, uint32_t sm,
                                     uint32_t dm) const {
        const uint32_t size = UnitSize(ts);
        std::vector<HostAccess> list;
        uint32_t src = sar, dst = dar;
        for (uint32_t unit = 0; unit < count; ++unit) {
            if (size == 16) {
                for (uint32_t k = 0; k < 16; k += 4) {
                    list.push_back(spinetest::Read(4, src + k, machine.Long(src + k)));
                    list.push_back(spinetest::Write(4, dst + k, machine.Long(src + k)));
                }
            } else {
                const uint32_t value =
                    size == 1 ? machine.Byte(src) : size == 2 ? machine.Word(src) : machine.Long(src);
                const auto width = static_cast<uint8_t>(size);
                list.push_back(spinetest::Read(width, src, value));
                list.push_back(spinetest::Write(width, dst, value));
            }
            src += size * Step(sm);
            dst += size * Step(dm);
        }
        return list;
    }

    static uint32_t UnitSize(uint32_t ts) { return ts == 0 ? 1 : ts == 1 ? 2 : ts == 2 ? 4 : 16; }
    // Increment, decrement, or no movement for fixed and the reserved value.
    static uint32_t Step(uint32_t field) { return field == 1 ? 1u : field == 2 ? static_cast<uint32_t>(-1) : 0u; }

    const sh2::PendingInterruptTable &Pending() const { return core->pendingInterrupts; }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// ---------------------------------------------------------------------------
// Unit sizes and address steps

TEST_F(DmaController, EveryUnitSizeAndStepCombination) {
    for (uint32_t dm = 0; dm < 4; ++dm) {
        for (uint32_t sm = 0; sm < 4; ++sm) {
            for (uint32_t ts = 0; ts < 4; ++ts) {
                SCOPED_TRACE(testing::Message() << "DM " << dm << " SM " << sm << " TS " << ts);
                Fresh();
                const uint32_t sar = 0x06000200, dar = 0x06100200, count = 3;
                Fill(0x06000100, 0x200);
                Store(kDmaor, 1);
                SetChannel(0, sar, dar, count);
                const std::vector<HostAccess> expected = Expected(sar, dar, count, ts, sm, dm);
                const uint32_t chcr = Dm(dm) | Sm(sm) | Ts(ts) | kDe;
                Store(Chcr(0), chcr);
                EXPECT_EQ(Describe(machine.accesses), Describe(expected));
                const uint32_t size = UnitSize(ts);
                EXPECT_EQ(Reg(Sar(0)), sar + count * size * Step(sm));
                EXPECT_EQ(Reg(Dar(0)), dar + count * size * Step(dm));
                EXPECT_EQ(Reg(Tcr(0)), 0u);
                EXPECT_EQ(Reg(Chcr(0)), chcr | kTe);
            }
        }
    }
}

TEST_F(DmaController, LongUnitsFromAnIncrementingSourceToAFixedDestination) {
    Fill(0x06000000, 0x10);
    Store(kDmaor, 1);
    SetChannel(0, 0x06000000, 0x06010000, 4);
    Store(Chcr(0), Dm(kFixed) | Sm(kIncrement) | Ts(kLongUnits) | kDe);
    const uint32_t v[] = {machine.Long(0x06000000), machine.Long(0x06000004), machine.Long(0x06000008),
                          machine.Long(0x0600000C)};
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0x06000000, v[0]), Write(4, 0x06010000, v[0]),
                                              Read(4, 0x06000004, v[1]), Write(4, 0x06010000, v[1]),
                                              Read(4, 0x06000008, v[2]), Write(4, 0x06010000, v[2]),
                                              Read(4, 0x0600000C, v[3]), Write(4, 0x06010000, v[3]),
                                          }));
    EXPECT_EQ(Reg(Sar(0)), 0x06000010u);
    EXPECT_EQ(Reg(Dar(0)), 0x06010000u);
    EXPECT_EQ(Reg(Tcr(0)), 0u);
    EXPECT_EQ(Reg(Chcr(0)) & kTe, kTe);
}

TEST_F(DmaController, SixteenByteUnitsGoUpwardInsideEachUnitWhateverTheStep) {
    Store(kDmaor, 1);
    SetChannel(1, 0x06000100, 0x06020000, 2);
    Store(Chcr(1), Dm(kIncrement) | Sm(kDecrement) | Ts(kSixteenByteUnits) | kDe);
    std::vector<uint32_t> reads, writes;
    for (const HostAccess &a : machine.accesses) {
        EXPECT_EQ(a.width, 4);
        (a.kind == HostAccess::Read ? reads : writes).push_back(a.address);
    }
    EXPECT_EQ(reads, (std::vector<uint32_t>{0x06000100, 0x06000104, 0x06000108, 0x0600010C, 0x060000F0, 0x060000F4,
                                            0x060000F8, 0x060000FC}));
    EXPECT_EQ(writes, (std::vector<uint32_t>{0x06020000, 0x06020004, 0x06020008, 0x0602000C, 0x06020010, 0x06020014,
                                             0x06020018, 0x0602001C}));
    EXPECT_EQ(Reg(Sar(1)), 0x060000E0u);
    EXPECT_EQ(Reg(Dar(1)), 0x06020020u);
}

TEST_F(DmaController, TheReservedStepValueKeepsTheAddressFixed) {
    // Both during the transfer and in the final SAR and DAR.
    Fill(0x06000000, 0x10);
    Store(kDmaor, 1);
    SetChannel(0, 0x06000002, 0x06030000, 3);
    Store(Chcr(0), Dm(kReservedStep) | Sm(kReservedStep) | Ts(kWordUnits) | kDe);
    const uint32_t w = machine.Word(0x06000002);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(2, 0x06000002, w), Write(2, 0x06030000, w),
                                              Read(2, 0x06000002, w), Write(2, 0x06030000, w),
                                              Read(2, 0x06000002, w), Write(2, 0x06030000, w),
                                          }));
    EXPECT_EQ(Reg(Sar(0)), 0x06000002u);
    EXPECT_EQ(Reg(Dar(0)), 0x06030000u);

    // A reserved destination step with a moving source.
    machine.accesses.clear();
    SetChannel(0, 0x06000000, 0x06030000, 2);
    Store(Chcr(0), Dm(kReservedStep) | Sm(kIncrement) | Ts(kByteUnits) | kDe);
    const uint32_t b0 = machine.Byte(0x06000000), b1 = machine.Byte(0x06000001);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(1, 0x06000000, b0), Write(1, 0x06030000, b0),
                                                    Read(1, 0x06000001, b1), Write(1, 0x06030000, b1)}));
    EXPECT_EQ(Reg(Sar(0)), 0x06000002u);
    EXPECT_EQ(Reg(Dar(0)), 0x06030000u);
}

TEST_F(DmaController, OnlyTheLow24BitsOfTcrCount) {
    struct CountCase {
        uint32_t tcr, units;
    };
    const CountCase cases[] = {{0x01000003, 3}, {0x00000000, 0}, {0xFF000000, 0}, {0x80000001, 1}, {0x00000005, 5}};
    for (const CountCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "TCR 0x" << c.tcr);
        Fresh();
        Fill(0x06000000, 0x20);
        Store(kDmaor, 1);
        SetChannel(0, 0x06000000, 0x06040000, c.tcr);
        const auto expected = Expected(0x06000000, 0x06040000, c.units, kWordUnits, kIncrement, kIncrement);
        Store(Chcr(0), Dm(kIncrement) | Sm(kIncrement) | Ts(kWordUnits) | kDe);
        EXPECT_EQ(Describe(machine.accesses), Describe(expected));
        // Nothing transferred: SAR and DAR unchanged, yet a normal finish.
        EXPECT_EQ(Reg(Sar(0)), 0x06000000u + 2 * c.units);
        EXPECT_EQ(Reg(Dar(0)), 0x06040000u + 2 * c.units);
        EXPECT_EQ(Reg(Tcr(0)), 0u);
        EXPECT_EQ(Reg(Chcr(0)) & kTe, kTe);
    }
}

TEST_F(DmaController, AddressesReachTheHostUnchanged) {
    // A source in the on-chip RAM window, a destination the memory layer
    // would drop, then a source in the register window and a destination on
    // an on-chip register: all go to the host callbacks as they are.
    machine.SetLong(0xC0000000, 0xCAFEF00D);  // the host's memory at that address
    core->OnChipRam[0] = 0x11;
    Store(kDmaor, 1);
    SetChannel(0, 0xC0000000, 0x60000000, 1);
    Store(Chcr(0), Ts(kLongUnits) | kDe);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Read(4, 0xC0000000, 0xCAFEF00D), Write(4, 0x60000000, 0xCAFEF00D)}));

    machine.accesses.clear();
    machine.SetByte(0xFFFFFE10, 0x77);
    sh2::BusWriteByte(*core, 0xFFFFFE60, 0x03);
    SetChannel(1, 0xFFFFFE10, 0xFFFFFE60, 1);
    Store(Chcr(1), Ts(kByteUnits) | kDe);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(1, 0xFFFFFE10, 0x77), Write(1, 0xFFFFFE60, 0x77)}));
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE60), 0x03) << "the register image is not written";
}

TEST_F(DmaController, AddressArithmeticWraps) {
    Store(kDmaor, 1);
    SetChannel(0, 0xFFFFFFFC, 0x00000004, 2);
    Store(Chcr(0), Dm(kDecrement) | Sm(kIncrement) | Ts(kLongUnits) | kDe);
    std::vector<uint32_t> addresses;
    for (const HostAccess &a : machine.accesses) addresses.push_back(a.address);
    EXPECT_EQ(addresses, (std::vector<uint32_t>{0xFFFFFFFC, 0x00000004, 0x00000000, 0x00000000}));
    EXPECT_EQ(Reg(Sar(0)), 0x00000004u);
    EXPECT_EQ(Reg(Dar(0)), 0xFFFFFFFCu);
}

// ---------------------------------------------------------------------------
// What starts a channel

struct StartStep {
    uint32_t address;
    uint32_t value;
    int width = 4;
};

struct StartCase {
    const char *name;
    std::vector<StartStep> steps;
    std::string runs;  // channels that transferred, in order
};

TEST_F(DmaController, StartedOnlyByTheEnableRules) {
    const uint32_t run = Ts(kLongUnits) | kDe;  // one long unit, fixed addresses
    const StartCase cases[] = {
        {"CHCR0 with DE while DME is 0 only stores", {{Chcr(0), run}}, ""},
        {"then DMAOR with DME runs channel 0", {{Chcr(0), run}, {kDmaor, 1}}, "0"},
        {"DMAOR's other bits play no part", {{Chcr(0), run}, {kDmaor, 0xFFFFFFFF}}, "0"},
        {"DMAOR without DME runs nothing", {{Chcr(0), run}, {kDmaor, 0xFFFFFFFE}}, ""},
        {"CHCR0 with DE and TE while DME is 1 runs", {{kDmaor, 1}, {Chcr(0), run | kTe}}, "0"},
        {"CHCR0 without DE runs nothing", {{kDmaor, 1}, {Chcr(0), run & ~kDe}}, ""},
        {"DMAOR skips a channel whose TE is set", {{Chcr(0), run | kTe}, {kDmaor, 1}}, ""},
        {"DMAOR does not rerun a finished channel", {{kDmaor, 1}, {Chcr(0), run}, {Tcr(0), 1}, {kDmaor, 1}}, "0"},
        {"CHCR0 with DE reruns it", {{kDmaor, 1}, {Chcr(0), run}, {Tcr(0), 1}, {Chcr(0), run | kTe}}, "00"},
        {"clearing TE lets DMAOR rerun it",
         {{kDmaor, 1}, {Chcr(0), run}, {Tcr(0), 1}, {kDmaor, 0}, {Chcr(0), run}, {kDmaor, 1}},
         "00"},
        {"CHCR1 runs channel 1", {{kDmaor, 1}, {Chcr(1), run}}, "1"},
        {"DMAOR runs channel 0, then channel 1", {{Chcr(1), run}, {Chcr(0), run}, {kDmaor, 1}}, "01"},
        {"DMAOR runs only the ready channel", {{Chcr(0), run | kTe}, {Chcr(1), run}, {kDmaor, 1}}, "1"},
        {"CHCR0 starts only channel 0", {{Chcr(1), run}, {kDmaor + 2, 1, 2}, {Chcr(0), run}}, "0"},
        {"word writes of DMAOR and CHCR0 start nothing",
         {{Chcr(0), run}, {kDmaor + 2, 1, 2}, {Chcr(0) + 2, run, 2}, {Chcr(0), 0, 2}},
         ""},
        {"a byte write of DMAOR starts nothing", {{Chcr(0), run}, {kDmaor + 3, 1, 1}}, ""},
    };
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        machine.SetLong(0x3000, 0x11111111);
        machine.SetLong(0x5000, 0x22222222);
        SetChannel(0, 0x3000, 0x4000, 1);
        SetChannel(1, 0x5000, 0x6000, 1);
        for (const StartStep &s : c.steps) {
            if (s.width == 4) {
                sh2::BusWriteLong(*core, s.address, s.value);
            } else if (s.width == 2) {
                sh2::BusWriteWord(*core, s.address, static_cast<uint16_t>(s.value));
            } else {
                sh2::BusWriteByte(*core, s.address, static_cast<uint8_t>(s.value));
            }
        }
        std::vector<HostAccess> expected;
        for (char channel : c.runs) {
            if (channel == '0') {
                expected.push_back(Read(4, 0x3000, 0x11111111));
                expected.push_back(Write(4, 0x4000, 0x11111111));
            } else {
                expected.push_back(Read(4, 0x5000, 0x22222222));
                expected.push_back(Write(4, 0x6000, 0x22222222));
            }
        }
        EXPECT_EQ(Describe(machine.accesses), Describe(expected));
    }
}

// ---------------------------------------------------------------------------
// Completion interrupt

struct CompletionCase {
    const char *name;
    int channel;
    uint32_t chcr;
    uint8_t ipra;           // the byte at 0xFFFFFEE2
    uint8_t ipraLow;        // the byte at 0xFFFFFEE3 (not the DMA level)
    int hostLevel;          // a level the host already requested (vector 0x70), or 0
    uint32_t tcr;
    int level;              // where a request is expected
    int vector;             // the vector queued at that level, or -1 for none
};

TEST_F(DmaController, CompletionInterruptUsesTheIpraLevelAndTheChannelVector) {
    const uint32_t base = Ts(kLongUnits) | kDe;
    const CompletionCase cases[] = {
        {"channel 0", 0, base | kIe, 0xB7, 0x00, 0, 1, 7, 0xC8},
        {"channel 1", 1, base | kIe, 0xB7, 0x00, 0, 1, 7, 0xC9},
        {"without IE", 0, base, 0xB7, 0x00, 0, 1, 7, -1},
        {"level 15", 1, base | kIe, 0x0F, 0x00, 0, 1, 15, 0xC9},
        {"level 0 queues nothing", 0, base | kIe, 0xF0, 0x0F, 0, 1, 0, -1},
        {"level already pending", 0, base | kIe, 0x03, 0x00, 3, 1, 3, 0x70},
        {"nothing transferred", 1, base | kIe, 0x02, 0x00, 0, 0, 2, 0xC9},
    };
    for (const CompletionCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        sh2::BusWriteByte(*core, kIpraHigh, c.ipra);
        sh2::BusWriteByte(*core, kIpraHigh + 1, c.ipraLow);
        sh2::BusWriteByte(*core, kVcrdma0Low, 0xC8);  // the whole byte is the vector
        sh2::BusWriteByte(*core, kVcrdma1Low, 0xC9);
        if (c.hostLevel != 0) {
            sh2::RequestInterrupt(*core, 0x70, static_cast<uint8_t>(c.hostLevel));
        }
        Store(kDmaor, 1);
        SetChannel(c.channel, 0x3000, 0x4000, c.tcr);
        Store(Chcr(c.channel), c.chcr);
        EXPECT_EQ(Reg(Chcr(c.channel)), c.chcr | kTe);
        const uint32_t queued = (c.vector >= 0 && c.hostLevel == 0) ? 1 : 0;
        EXPECT_EQ(Pending().pendingCount, queued + (c.hostLevel != 0 ? 1 : 0));
        if (c.vector >= 0) {
            EXPECT_EQ(Pending().pending[c.level], 1);
            EXPECT_EQ(Pending().vector[c.level], c.vector);
        }
    }
}

TEST_F(DmaController, OneDmaorWriteRunsBothChannelsAndTheFirstRequestWins) {
    sh2::BusWriteByte(*core, kIpraHigh, 0x04);
    sh2::BusWriteByte(*core, kVcrdma0Low, 0x48);
    sh2::BusWriteByte(*core, kVcrdma1Low, 0x49);
    machine.SetLong(0x3000, 0x11111111);
    machine.SetLong(0x5000, 0x22222222);
    SetChannel(0, 0x3000, 0x4000, 1);
    SetChannel(1, 0x5000, 0x6000, 1);
    Store(Chcr(0), Ts(kLongUnits) | kIe | kDe);
    Store(Chcr(1), Ts(kLongUnits) | kIe | kDe);
    Store(kDmaor, 1);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 0x3000, 0x11111111), Write(4, 0x4000, 0x11111111),
                                                    Read(4, 0x5000, 0x22222222), Write(4, 0x6000, 0x22222222)}));
    EXPECT_EQ(Pending().pendingCount, 1u);
    EXPECT_EQ(Pending().vector[4], 0x48);
    EXPECT_EQ(Reg(Chcr(0)) & kTe, kTe);
    EXPECT_EQ(Reg(Chcr(1)) & kTe, kTe);
}

// ---------------------------------------------------------------------------
// Single address mode

sh2::SH2Core *boxCore = nullptr;
uint32_t pendingWhenBoxShown = 0;
uint32_t tcrWhenBoxShown = 0;

void RecordBox(const char *caption, const char *text, uint32_t flags) {
    TestMachine::Get().boxes.push_back({caption, text, flags});
    if (boxCore == nullptr) {
        return;
    }
    pendingWhenBoxShown = boxCore->pendingInterrupts.pendingCount;
    tcrWhenBoxShown = sh2::BusReadLong(*boxCore, Tcr(0));
}

TEST_F(DmaController, SingleAddressModeIsRefusedWithAWarning) {
    for (const bool ie : {true, false}) {
        SCOPED_TRACE(ie ? "with IE" : "without IE");
        Fresh();
        boxCore = core.core;
        pendingWhenBoxShown = 99;
        sh2::SetModalBoxHandler(RecordBox);
        sh2::BusWriteByte(*core, kIpraHigh, 0x05);
        sh2::BusWriteByte(*core, kVcrdma0Low, 0x4A);
        Store(kDmaor, 1);
        SetChannel(0, 0x06000000, 0x06010000, 5);
        const uint32_t chcr = Dm(kIncrement) | Sm(kIncrement) | Ts(kLongUnits) | kTa | (ie ? kIe : 0) | kDe;
        Store(Chcr(0), chcr);
        ASSERT_EQ(machine.boxes.size(), 1u);
        EXPECT_EQ(machine.boxes[0].caption, "Warning");
        EXPECT_EQ(machine.boxes[0].text, kSingleAddressText);
        EXPECT_EQ(machine.boxes[0].flags, 0x40u);
        EXPECT_EQ(pendingWhenBoxShown, 0u) << "the interrupt is requested after the box is closed";
        EXPECT_EQ(tcrWhenBoxShown, 5u);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
        EXPECT_EQ(Reg(Sar(0)), 0x06000000u);
        EXPECT_EQ(Reg(Dar(0)), 0x06010000u);
        EXPECT_EQ(Reg(Tcr(0)), 0u);
        EXPECT_EQ(Reg(Chcr(0)), chcr | kTe);
        EXPECT_EQ(Pending().pendingCount, ie ? 1u : 0u);
        if (ie) {
            EXPECT_EQ(Pending().vector[5], 0x4A);
        }
    }
    boxCore = nullptr;
}

TEST_F(DmaController, ASingleAddressChannelDoesNotStopTheOther) {
    machine.SetLong(0x5000, 0x22222222);
    SetChannel(0, 0x3000, 0x4000, 1);
    SetChannel(1, 0x5000, 0x6000, 1);
    Store(Chcr(0), Ts(kLongUnits) | kTa | kDe);
    Store(Chcr(1), Ts(kLongUnits) | kDe);
    Store(kDmaor, 1);
    ASSERT_EQ(machine.boxes.size(), 1u);
    EXPECT_EQ(machine.boxes[0].text, kSingleAddressText);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 0x5000, 0x22222222), Write(4, 0x6000, 0x22222222)}));
}

// ---------------------------------------------------------------------------
// From a program

TEST_F(DmaController, TransferCompletesInsideTheWriteAndItsInterruptIsTakenAtTheSliceEnd) {
    // mov.l r2,@(12,r1) (CHCR0) ; mov.l @r3,r4 (the destination) ; nop
    machine.SetWords(0x1000, {0x1123, 0x6432, 0x0009});
    machine.SetLong(0x3000, 0xA1A2A3A4);
    machine.SetLong(0x3004, 0xB1B2B3B4);
    machine.SetLong(0x400 + 4 * 0x48, 0x7000);
    sh2::BusWriteByte(*core, kIpraHigh, 0x06);
    sh2::BusWriteByte(*core, kVcrdma0Low, 0x48);
    Store(kDmaor, 1);
    SetChannel(0, 0x3000, 0x4000, 2);
    core->R[1] = 0xFFFFFF80;
    core->R[2] = Dm(kIncrement) | Sm(kIncrement) | Ts(kLongUnits) | kIe | kDe;
    core->R[3] = 0x4000;
    core->SR = 0x50;  // mask 5
    core->VBR = 0x400;
    machine.accesses.clear();
    // The transfer adds no cycles to the instruction that starts it.
    EXPECT_EQ(sh2::RunCycles(*core, 3), 3);
    EXPECT_EQ(core->R[4], 0xA1A2A3A4u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0x3000, 0xA1A2A3A4),
                                              Write(4, 0x4000, 0xA1A2A3A4),
                                              Read(4, 0x3004, 0xB1B2B3B4),
                                              Write(4, 0x4004, 0xB1B2B3B4),
                                              Read(4, 0x4000, 0xA1A2A3A4),
                                              Write(4, 0x7EFFC, 0x50),
                                              Write(4, 0x7EFF8, 0x1006),
                                              Read(4, 0x400 + 4 * 0x48, 0x7000),
                                          }));
    EXPECT_EQ(core->PC, 0x7000u);
    EXPECT_EQ(core->SR, 0x60u);
    EXPECT_EQ(Pending().pendingCount, 0u);
    EXPECT_EQ(Reg(Sar(0)), 0x3008u);
    EXPECT_EQ(Reg(Dar(0)), 0x4008u);
    EXPECT_EQ(Reg(Tcr(0)), 0u);
    sh2::Interrupting = 0;
}

}  // namespace
