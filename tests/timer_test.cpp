// The free-running timer: the prescaler, FRC in the register image, the
// overflow and compare windows of one update, CCLRA, the OCRA/OCRB byte
// windows, the clock selection by TCR byte writes, the interrupt requests and
// input capture, and a timer interrupt taken at the end of its own slice.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "core/interrupts.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

namespace {

constexpr uint32_t kTier = 0xFFFFFE10;
constexpr uint32_t kFtcsr = 0xFFFFFE11;
constexpr uint32_t kFrc = 0xFFFFFE12;
constexpr uint32_t kOcrHigh = 0xFFFFFE14;
constexpr uint32_t kOcrLow = 0xFFFFFE15;
constexpr uint32_t kTcr = 0xFFFFFE16;
constexpr uint32_t kTocr = 0xFFFFFE17;
constexpr uint32_t kIcr = 0xFFFFFE18;
constexpr uint32_t kIprb = 0xFFFFFE60;
constexpr uint32_t kVcrcHigh = 0xFFFFFE66;
constexpr uint32_t kVcrcLow = 0xFFFFFE67;
constexpr uint32_t kVcrdHigh = 0xFFFFFE68;

// TIER bits.
constexpr uint8_t kIcie = 0x80;
constexpr uint8_t kOciae = 0x08;
constexpr uint8_t kOcibe = 0x04;
constexpr uint8_t kOvie = 0x02;
// FTCSR bits.
constexpr uint8_t kIcf = 0x80;
constexpr uint8_t kOcfa = 0x08;
constexpr uint8_t kOcfb = 0x04;
constexpr uint8_t kOvf = 0x02;
constexpr uint8_t kCclra = 0x01;

class FreeRunningTimer : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }

    void Fresh() {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
    }

    // The program's view of the timer: everything through the memory layer.
    void SetFrc(uint16_t value) { sh2::BusWriteWord(*core, kFrc, value); }
    uint16_t Frc() { return sh2::BusReadWord(*core, kFrc); }
    uint8_t Ftcsr() { return sh2::BusReadByte(*core, kFtcsr); }
    void SelectClock(uint8_t tcr) { sh2::BusWriteByte(*core, kTcr, tcr); }

    // Writes OCRA (which = 'A') or OCRB through the byte windows, leaving
    // TOCR as it was.
    void SetCompare(char which, uint16_t value) {
        const uint8_t tocr = sh2::BusReadByte(*core, kTocr);
        sh2::BusWriteByte(*core, kTocr, which == 'B' ? (tocr | 0x10) : (tocr & ~0x10));
        sh2::BusWriteByte(*core, kOcrHigh, static_cast<uint8_t>(value >> 8));
        sh2::BusWriteByte(*core, kOcrLow, static_cast<uint8_t>(value));
        sh2::BusWriteByte(*core, kTocr, tocr);
    }
    uint16_t Compare(char which) {
        const uint8_t tocr = sh2::BusReadByte(*core, kTocr);
        sh2::BusWriteByte(*core, kTocr, which == 'B' ? (tocr | 0x10) : (tocr & ~0x10));
        const uint16_t value =
            static_cast<uint16_t>((sh2::BusReadByte(*core, kOcrHigh) << 8) | sh2::BusReadByte(*core, kOcrLow));
        sh2::BusWriteByte(*core, kTocr, tocr);
        return value;
    }

    // Vectors with bit 7 set, so that the AND with 0x7F shows; IPRB's high
    // nibble is set too, so that only its low nibble may count.
    void SetUpInterrupts(uint8_t tier, uint8_t level) {
        sh2::BusWriteByte(*core, kTier, tier);
        sh2::BusWriteByte(*core, kIprb, static_cast<uint8_t>(0xA0 | level));
        sh2::BusWriteByte(*core, kVcrcHigh, 0xC3);  // input capture: 0x43
        sh2::BusWriteByte(*core, kVcrcLow, 0xC2);   // output compare: 0x42
        sh2::BusWriteByte(*core, kVcrdHigh, 0xC1);  // overflow: 0x41
    }

    const sh2::PendingInterruptTable &Pending() const { return core->pendingInterrupts; }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// ---------------------------------------------------------------------------
// Prescaler

// Each byte window replaces its own half of the compare register only.
TEST_F(FreeRunningTimer, CompareByteWritesKeepTheOtherHalf) {
    sh2::BusWriteByte(*core, kOcrLow, 0xFF);
    sh2::BusWriteByte(*core, kOcrHigh, 0x12);
    EXPECT_EQ(core->OCRA, 0x12FFu);
    sh2::BusWriteByte(*core, kOcrLow, 0x34);
    EXPECT_EQ(core->OCRA, 0x1234u);
}

TEST_F(FreeRunningTimer, WorkedExampleCarriesTheRemainderToTheNextSlice) {
    // CPU clock / 8 from creation: 100 cycles make 12 counts and leave 4; the
    // next 100 give 104, 13 counts and nothing left.
    SetFrc(0);
    sh2::UpdateFreeRunningTimer(*core, 100);
    EXPECT_EQ(Frc(), 12);
    EXPECT_EQ(core->timerPrescalerRemainder, 4);
    sh2::UpdateFreeRunningTimer(*core, 100);
    EXPECT_EQ(Frc(), 25);
    EXPECT_EQ(core->timerPrescalerRemainder, 0);
}

struct PrescalerCase {
    uint8_t tcr;     // byte written to TCR
    uint32_t shift;  // the selection it gives
    uint32_t mask;
    std::vector<int32_t> slices;
};

TEST_F(FreeRunningTimer, CountsAreTheSlicesTotalAtTheSelectedRate) {
    // Whatever the slicing, FRC ends at the total cycles divided by the rate,
    // and the remainder holds the cycles not yet counted.
    const PrescalerCase cases[] = {
        {0x00, 3, 7, {100, 100}},
        {0x00, 3, 7, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {0x00, 3, 7, {7, 0, 9, 15, 8, 3}},
        {0x01, 5, 31, {100, 100, 31, 1}},
        {0x01, 5, 31, {33, 0, 30, 64}},
        {0x02, 7, 127, {100, 27, 1, 300}},
        {0x02, 7, 127, {127, 1, 1000, 5}},
        {0xFC, 3, 7, {50, 60}},   // only CKS, the low two bits, counts
        {0xFD, 5, 31, {50, 60}},
        {0x7E, 7, 127, {50, 600}},
    };
    for (const PrescalerCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "TCR 0x" << std::hex << int{c.tcr});
        Fresh();
        SelectClock(c.tcr);
        EXPECT_EQ(core->timerPrescalerShift, c.shift);
        EXPECT_EQ(core->timerPrescalerMask, c.mask);
        SetFrc(0x1000);
        uint32_t total = 0;
        for (int32_t cycles : c.slices) {
            sh2::UpdateFreeRunningTimer(*core, cycles);
            total += static_cast<uint32_t>(cycles);
            EXPECT_EQ(Frc(), 0x1000 + (total >> c.shift)) << "after " << total << " cycles";
            EXPECT_EQ(core->timerPrescalerRemainder, total & c.mask) << "after " << total << " cycles";
        }
    }
}

TEST_F(FreeRunningTimer, ASliceWithoutCountsKeepsItsCyclesAndTestsNothing) {
    // At / 128, 100 cycles make no count: the remainder becomes 100 and FRC,
    // sitting on OCRA and OCRB, matches neither.
    SelectClock(2);
    SetFrc(0x0200);
    SetCompare('A', 0x0200);
    SetCompare('B', 0x0200);
    sh2::UpdateFreeRunningTimer(*core, 100);
    EXPECT_EQ(Frc(), 0x0200);
    EXPECT_EQ(core->timerPrescalerRemainder, 100);
    EXPECT_EQ(Ftcsr(), 0);
    // A zero-cycle slice changes nothing either.
    sh2::UpdateFreeRunningTimer(*core, 0);
    EXPECT_EQ(core->timerPrescalerRemainder, 100);
    EXPECT_EQ(Ftcsr(), 0);
}

TEST_F(FreeRunningTimer, ASwitchedClockConvertsTheRemainderAtTheNewRate) {
    SelectClock(2);
    SetFrc(0);
    sh2::UpdateFreeRunningTimer(*core, 100);  // / 128: no count, 100 kept
    ASSERT_EQ(core->timerPrescalerRemainder, 100);
    SelectClock(0);
    sh2::UpdateFreeRunningTimer(*core, 0);  // / 8: 12 counts out of nothing
    EXPECT_EQ(Frc(), 12);
    EXPECT_EQ(core->timerPrescalerRemainder, 4);
}

TEST_F(FreeRunningTimer, OnlyTcrByteWritesSelectTheClock) {
    struct Step {
        const char *what;
        void (*write)(sh2::SH2Core &);
        uint32_t shift;  // the selection afterwards
    };
    const Step steps[] = {
        {"byte CKS 1", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x01); }, 5},
        {"byte CKS 3 keeps / 32", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x03); }, 5},
        {"byte CKS 2", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x82); }, 7},
        {"byte CKS 3 keeps / 128", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0xFF); }, 7},
        {"word write of TCR and TOCR", [](sh2::SH2Core &c) { sh2::BusWriteWord(c, kTcr, 0x00E0); }, 7},
        {"word write at 0xFFFFFE15", [](sh2::SH2Core &c) { sh2::BusWriteWord(c, kOcrLow, 0x0001); }, 7},
        {"long write covering TCR", [](sh2::SH2Core &c) { sh2::BusWriteLong(c, kOcrHigh, 0x000100E0); }, 7},
        {"long write of TCR..ICR", [](sh2::SH2Core &c) { sh2::BusWriteLong(c, kTcr, 0x01E00000); }, 7},
        {"byte CKS 0", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x00); }, 3},
        {"byte CKS 3 keeps / 8", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x03); }, 3},
        {"word write of TCR = 2", [](sh2::SH2Core &c) { sh2::BusWriteWord(c, kTcr, 0x0200); }, 3},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.write(*core);
        EXPECT_EQ(core->timerPrescalerShift, step.shift);
        EXPECT_EQ(core->timerPrescalerMask, (1u << step.shift) - 1);
        // The rate in force, as counts: 1024 cycles from a clean remainder.
        core->timerPrescalerRemainder = 0;
        SetFrc(0);
        sh2::UpdateFreeRunningTimer(*core, 1024);
        EXPECT_EQ(Frc(), 1024u >> step.shift);
    }
}

// ---------------------------------------------------------------------------
// FRC lives in the image

TEST_F(FreeRunningTimer, FrcIsTheImageWordAndWritesContinueFromTheNewValue) {
    SetFrc(0x1234);
    sh2::UpdateFreeRunningTimer(*core, 80);  // 10 counts
    EXPECT_EQ(core->OnChipRegisterFile[0x12], 0x12);
    EXPECT_EQ(core->OnChipRegisterFile[0x13], 0x3E);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE12), 0x12);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE13), 0x3E);
    // TIER, FTCSR, FRCH and FRCL as one long.
    EXPECT_EQ(sh2::BusReadLong(*core, kTier), 0x0100123Eu);
    // A byte write of FRCL alone: the next update counts on from it.
    sh2::BusWriteByte(*core, 0xFFFFFE13, 0xF0);
    sh2::UpdateFreeRunningTimer(*core, 16);
    EXPECT_EQ(Frc(), 0x12F2);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

// ---------------------------------------------------------------------------
// Overflow and the compare windows

struct WindowCase {
    const char *name;
    uint16_t frc;
    uint32_t counts;  // counts of the update (8 cycles each)
    uint16_t ocra, ocrb;
    uint16_t frcAfter;
    uint8_t flags;  // OVF, OCFA, OCFB expected in FTCSR
};

TEST_F(FreeRunningTimer, OverflowAndCompareWindowsOfOneUpdate) {
    const WindowCase cases[] = {
        {"inside the window", 0x0100, 0x10, 0x0108, 0x010F, 0x0110, kOcfa | kOcfb},
        {"old value matches", 0x0100, 0x10, 0x0100, 0x0100, 0x0110, kOcfa | kOcfb},
        {"new value matches", 0x0100, 0x10, 0x0110, 0x0110, 0x0110, kOcfa | kOcfb},
        {"below and above the window", 0x0100, 0x10, 0x00FF, 0x0111, 0x0110, 0},
        {"only A inside", 0x0100, 0x10, 0x0105, 0x0200, 0x0110, kOcfa},
        {"only B inside", 0x0100, 0x10, 0x0000, 0x010A, 0x0110, kOcfb},
        {"up to 0xFFFF is no overflow", 0xFFF0, 0x0F, 0xFFFF, 0x1234, 0xFFFF, kOcfa},
        {"wrap to 0", 0xFFFF, 1, 0x0000, 0xFFFF, 0x0000, kOvf},
        {"values passed while wrapping", 0xFFF0, 0x20, 0xFFF8, 0x0008, 0x0010, kOvf},
        {"wrap to the old value", 0x0040, 0x10000, 0x0040, 0x0041, 0x0040, kOvf | kOcfa},
        {"wrap far past the old value", 0x8000, 0x10100, 0x8080, 0x7FFF, 0x8100, kOvf | kOcfa},
        {"wraps twice, one flag", 0x0000, 0x2FFFF, 0xFFFF, 0x0000, 0xFFFF, kOvf | kOcfa | kOcfb},
    };
    for (const WindowCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        SetFrc(c.frc);
        SetCompare('A', c.ocra);
        SetCompare('B', c.ocrb);
        sh2::UpdateFreeRunningTimer(*core, static_cast<int32_t>(c.counts * 8));
        EXPECT_EQ(Frc(), c.frcAfter);
        EXPECT_EQ(Ftcsr(), c.flags);
        // None of the interrupts is enabled (TIER holds its reset value).
        EXPECT_EQ(Pending().pendingCount, 0u);
    }
}

TEST_F(FreeRunningTimer, ACounterStoppedOnTheCompareValueMatchesItAgain) {
    SetFrc(0x0100);
    SetCompare('A', 0x0108);
    sh2::UpdateFreeRunningTimer(*core, 64);  // to 0x0108: a match
    ASSERT_EQ(Frc(), 0x0108);
    ASSERT_EQ(Ftcsr(), kOcfa);
    sh2::BusWriteByte(*core, kFtcsr, 0);  // the program clears the flag
    sh2::UpdateFreeRunningTimer(*core, 7);  // no count: no test
    EXPECT_EQ(Ftcsr(), 0);
    sh2::UpdateFreeRunningTimer(*core, 1);  // one count from 0x0108
    EXPECT_EQ(Frc(), 0x0109);
    EXPECT_EQ(Ftcsr(), kOcfa);
    sh2::BusWriteByte(*core, kFtcsr, 0);
    sh2::UpdateFreeRunningTimer(*core, 8);  // 0x0109 to 0x010A: past it
    EXPECT_EQ(Ftcsr(), 0);
}

TEST_F(FreeRunningTimer, FlagsAreSetOnTopOfWhatTheProgramStored) {
    // The program's own FTCSR bits stay; writing 0 clears a flag and writing
    // 1 sets one, with no timer event.
    sh2::BusWriteByte(*core, kFtcsr, kIcf);
    SetFrc(0xFFFE);
    SetCompare('A', 0x1000);
    SetCompare('B', 0x1000);
    sh2::UpdateFreeRunningTimer(*core, 24);  // 3 counts: overflow
    EXPECT_EQ(Ftcsr(), kIcf | kOvf);
    sh2::BusWriteByte(*core, kFtcsr, kOcfb);
    EXPECT_EQ(Ftcsr(), kOcfb);
    EXPECT_EQ(Pending().pendingCount, 0u);
}

TEST_F(FreeRunningTimer, CompareAClearsTheCounterWhenCclraIsSet) {
    struct ClearCase {
        const char *name;
        uint16_t frc, ocra, ocrb;
        uint32_t counts;
        uint16_t frcAfter;
        uint8_t flags;
    };
    const ClearCase cases[] = {
        // B is tested against the window before the clear.
        {"A and B inside", 0x0100, 0x0108, 0x010C, 0x10, 0x0000, kOcfa | kOcfb},
        {"B below A inside", 0x0100, 0x010C, 0x0104, 0x10, 0x0000, kOcfa | kOcfb},
        {"A on the new value", 0x0100, 0x0110, 0x0000, 0x10, 0x0000, kOcfa},
        {"A outside", 0x0100, 0x0200, 0x0108, 0x10, 0x0110, kOcfb},
        {"A passed while wrapping", 0xFFF0, 0x0004, 0x1000, 0x20, 0x0010, kOvf},
        {"A with an overflow", 0x0040, 0x0040, 0x1000, 0x10000, 0x0000, kOvf | kOcfa},
    };
    for (const ClearCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        sh2::BusWriteByte(*core, kFtcsr, kCclra);
        SetFrc(c.frc);
        SetCompare('A', c.ocra);
        SetCompare('B', c.ocrb);
        sh2::UpdateFreeRunningTimer(*core, static_cast<int32_t>(c.counts * 8));
        EXPECT_EQ(Frc(), c.frcAfter);
        EXPECT_EQ(Ftcsr(), kCclra | c.flags);
    }
}

// ---------------------------------------------------------------------------
// OCRA and OCRB behind the byte windows

TEST_F(FreeRunningTimer, TocrBit4ChoosesTheRegisterBehindTheByteWindows) {
    core->OCRA = 0x1111;
    core->OCRB = 0x2222;
    struct Step {
        uint8_t tocr;
        uint32_t address;
        uint8_t value;
        uint16_t ocra, ocrb;  // afterwards
    };
    const Step steps[] = {
        {0xE0, kOcrHigh, 0x12, 0x1211, 0x2222},  // reset TOCR: OCRS 0
        {0xE0, kOcrLow, 0x34, 0x1234, 0x2222},
        {0x10, kOcrHigh, 0x56, 0x1234, 0x5622},
        {0x10, kOcrLow, 0x78, 0x1234, 0x5678},
        {0xEF, kOcrLow, 0x9A, 0x129A, 0x5678},  // every TOCR bit but bit 4
        {0xFF, kOcrHigh, 0xBC, 0x129A, 0xBC78},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << std::hex << "TOCR 0x" << int{s.tocr} << " write 0x" << int{s.value}
                                        << " at 0x" << s.address);
        sh2::BusWriteByte(*core, kTocr, s.tocr);
        sh2::BusWriteByte(*core, s.address, s.value);
        EXPECT_EQ(core->OCRA, s.ocra);
        EXPECT_EQ(core->OCRB, s.ocrb);
        // Byte reads return the chosen register, whatever the image holds.
        const uint16_t chosen = (s.tocr & 0x10) != 0 ? s.ocrb : s.ocra;
        EXPECT_EQ(sh2::BusReadByte(*core, kOcrHigh), chosen >> 8);
        EXPECT_EQ(sh2::BusReadByte(*core, kOcrLow), chosen & 0xFF);
    }
    EXPECT_EQ(Compare('A'), 0x129A);
    EXPECT_EQ(Compare('B'), 0xBC78);
    // The image bytes only hold the last bytes written there.
    EXPECT_EQ(sh2::BusReadWord(*core, kOcrHigh), 0xBC9A);
}

TEST_F(FreeRunningTimer, TheUpdateComparesWithTheByteWrittenValues) {
    // OCRA reached through the windows while OCRS was 0, OCRB while it was 1;
    // the image bytes at 0xFFFFFE14/15 (the last ones written) play no part.
    SetCompare('A', 0x0105);
    SetCompare('B', 0x0300);
    sh2::BusWriteWord(*core, kOcrHigh, 0x0108);  // image only
    SetFrc(0x0100);
    sh2::UpdateFreeRunningTimer(*core, 8 * 0x06);  // window 0x0100..0x0106
    EXPECT_EQ(Ftcsr(), kOcfa);
}

// ---------------------------------------------------------------------------
// Interrupt requests

struct RequestCase {
    const char *name;
    uint8_t tier;
    uint8_t level;
    uint16_t frc;
    uint32_t counts;
    uint16_t ocra, ocrb;
    uint8_t flags;
    int vector;  // queued at the level, or -1 for nothing queued
};

TEST_F(FreeRunningTimer, RequestsUseTheTimerLevelAndTheirOwnVectors) {
    const RequestCase cases[] = {
        {"overflow", kOvie, 6, 0xFFF0, 0x20, 0x8000, 0x8000, kOvf, 0x41},
        {"compare A", kOciae, 6, 0x0100, 0x10, 0x0108, 0x8000, kOcfa, 0x42},
        {"compare B", kOcibe, 6, 0x0100, 0x10, 0x8000, 0x0108, kOcfb, 0x42},
        {"each event, own enable only", kOvie, 6, 0x0100, 0x10, 0x0108, 0x0108, kOcfa | kOcfb, -1},
        {"compare A enabled, B happened", kOciae, 6, 0x0100, 0x10, 0x8000, 0x0108, kOcfb, -1},
        {"overflow not enabled", kOciae | kOcibe | kIcie, 6, 0xFFF0, 0x20, 0x8000, 0x8000, kOvf, -1},
        {"level 15", kOvie, 15, 0xFFF0, 0x20, 0x8000, 0x8000, kOvf, 0x41},
        {"level 1", kOcibe, 1, 0x0100, 0x10, 0x8000, 0x0110, kOcfb, 0x42},
        {"level 0 queues nothing", kOvie | kOciae | kOcibe, 0, 0x0100, 0x10000, 0x0100, 0x0100,
         kOvf | kOcfa | kOcfb, -1},
        // All three share the level: the first request in the order overflow,
        // compare A, compare B is the one queued.
        {"overflow before compare A", kOvie | kOciae | kOcibe, 9, 0x0100, 0x10000, 0x0100, 0x0100,
         kOvf | kOcfa | kOcfb, 0x41},
        {"overflow before compare B", kOvie | kOcibe, 9, 0x8000, 0x10100, 0x0000, 0x8080, kOvf | kOcfb, 0x41},
        {"compare A before B", kOciae | kOcibe, 9, 0x0100, 0x10, 0x0101, 0x0102, kOcfa | kOcfb, 0x42},
    };
    for (const RequestCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        SetUpInterrupts(c.tier, c.level);
        SetFrc(c.frc);
        SetCompare('A', c.ocra);
        SetCompare('B', c.ocrb);
        sh2::UpdateFreeRunningTimer(*core, static_cast<int32_t>(c.counts * 8));
        EXPECT_EQ(Ftcsr(), c.flags);
        if (c.vector < 0) {
            EXPECT_EQ(Pending().pendingCount, 0u);
        } else {
            EXPECT_EQ(Pending().pendingCount, 1u);
            EXPECT_EQ(Pending().pending[c.level], 1);
            EXPECT_EQ(Pending().vector[c.level], c.vector);
        }
    }
}

TEST_F(FreeRunningTimer, ARequestForAPendingLevelIsDropped) {
    SetUpInterrupts(kOvie, 6);
    sh2::RequestInterrupt(*core, 0x70, 6);  // from the host, earlier
    sh2::RequestInterrupt(*core, 0x71, 3);
    SetFrc(0xFFFF);
    sh2::UpdateFreeRunningTimer(*core, 8);
    EXPECT_EQ(Ftcsr(), kOvf);
    EXPECT_EQ(Pending().pendingCount, 2u);
    EXPECT_EQ(Pending().vector[6], 0x70);
    EXPECT_EQ(Pending().vector[3], 0x71);
}

TEST_F(FreeRunningTimer, TheLevelIsReadWhenTheRequestIsMade) {
    SetUpInterrupts(kOvie, 4);
    SetFrc(0xFFFF);
    sh2::UpdateFreeRunningTimer(*core, 8);
    sh2::BusWriteByte(*core, kIprb, 0x07);
    SetFrc(0xFFFF);
    sh2::UpdateFreeRunningTimer(*core, 8);
    EXPECT_EQ(Pending().pendingCount, 2u);
    EXPECT_EQ(Pending().vector[4], 0x41);
    EXPECT_EQ(Pending().vector[7], 0x41);
}

// ---------------------------------------------------------------------------
// Input capture

TEST_F(FreeRunningTimer, CaptureCopiesFrcSetsIcfAndRequestsIfEnabled) {
    struct CaptureCase {
        const char *name;
        uint8_t tier;
        uint8_t level;
        uint8_t ftcsrBefore;
        bool queued;
    };
    const CaptureCase cases[] = {
        {"enabled", kIcie, 5, 0, true},
        {"not enabled", kOvie | kOciae | kOcibe, 5, 0, false},
        {"enabled at level 0", kIcie, 0, 0, false},
        {"other flags stay", kIcie, 12, kOvf | kOcfa | kCclra, true},
        {"ICF already set", kIcie, 2, kIcf, true},
    };
    for (const CaptureCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        SetUpInterrupts(c.tier, c.level);
        sh2::BusWriteByte(*core, kFtcsr, c.ftcsrBefore);
        sh2::BusWriteWord(*core, kIcr, 0x5555);
        SetFrc(0xBEEF);
        sh2::CaptureInput(*core);
        EXPECT_EQ(sh2::BusReadWord(*core, kIcr), 0xBEEF);
        EXPECT_EQ(Frc(), 0xBEEF);
        EXPECT_EQ(Ftcsr(), c.ftcsrBefore | kIcf);
        if (c.queued) {
            EXPECT_EQ(Pending().pendingCount, 1u);
            EXPECT_EQ(Pending().pending[c.level], 1);
            EXPECT_EQ(Pending().vector[c.level], 0x43);
        } else {
            EXPECT_EQ(Pending().pendingCount, 0u);
        }
    }
}

TEST_F(FreeRunningTimer, CaptureTakesFrcAsTheLastUpdateLeftIt) {
    SetUpInterrupts(kIcie, 5);
    SetFrc(0x0100);
    sh2::UpdateFreeRunningTimer(*core, 85);  // 10 counts, 5 cycles left over
    core->sliceCycles = 400;                 // a slice in progress is not counted
    sh2::CaptureInput(*core);
    EXPECT_EQ(sh2::BusReadWord(*core, kIcr), 0x010A);
    EXPECT_EQ(core->timerPrescalerRemainder, 5);
    // A second capture for the pending level queues nothing new.
    sh2::RequestInterrupt(*core, 0x10, 9);
    sh2::CaptureInput(*core);
    EXPECT_EQ(Pending().pendingCount, 2u);
    EXPECT_EQ(Pending().vector[5], 0x43);
}

// ---------------------------------------------------------------------------
// Through the run loop

TEST_F(FreeRunningTimer, AMillionCycleSliceIsOneUpdate) {
    // bf to itself with T clear: 1 cycle a time, so the slice is exactly
    // 1,000,000 cycles, 125,000 counts at / 8.
    machine.SetWords(0x1000, {0x8BFE});
    core->SR = 0xF0;
    SetUpInterrupts(kOvie | kOciae, 6);
    SetFrc(0);
    // Counted in one step, the window is 0 to 125,000 mod 65536 = 0xE848, so
    // a compare value at 0xF000 (passed on the way) is not matched.
    SetCompare('A', 0xF000);
    EXPECT_EQ(sh2::RunCycles(*core, 1000000), 1000000);
    EXPECT_EQ(Frc(), 125000 % 65536);
    EXPECT_EQ(core->timerPrescalerRemainder, 0);
    EXPECT_EQ(Ftcsr(), kOvf);
    EXPECT_EQ(Pending().pendingCount, 1u);
    EXPECT_EQ(Pending().vector[6], 0x41);
}

TEST_F(FreeRunningTimer, OverflowInterruptIsAcceptedAtTheEndOfTheSliceThatCausedIt) {
    // The program sets the timer up itself and lets FRC run from 0xFFFF; the
    // slice's 16 cycles are 2 counts, an overflow, whose request is accepted
    // at the end of the same slice.
    machine.recording = false;
    machine.SetWords(0x1000, {
                                 0xD107,  // mov.l @(0x1020),r1: 0xFFFFFE10
                                 0xD208,  // mov.l @(0x1024),r2: 0xFFFFFE60
                                 0xE002,  // mov #2,r0
                                 0x2100,  // mov.b r0,@r1        TIER = OVIE
                                 0xE005,  // mov #5,r0
                                 0x2200,  // mov.b r0,@r2        IPRB: level 5
                                 0xE042,  // mov #0x42,r0
                                 0x8028,  // mov.b r0,@(8,r2)    VCRD = 0x42
                                 0xE0FF,  // mov #-1,r0
                                 0x8111,  // mov.w r0,@(2,r1)    FRC = 0xFFFF
                                 0x0009, 0x0009, 0x0009, 0x0009, 0x0009, 0x0009,
                             });
    machine.SetLong(0x1020, 0xFFFFFE10);
    machine.SetLong(0x1024, 0xFFFFFE60);
    machine.SetLong(0x400 + 4 * 0x42, 0x5000);
    machine.recording = true;
    core->SR = 0x40;  // mask 4
    core->VBR = 0x400;
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 16), 16);
    EXPECT_EQ(Frc(), 0x0001);
    EXPECT_EQ(Ftcsr(), kOvf);
    EXPECT_EQ(core->PC, 0x5000u);
    EXPECT_EQ(core->SR, 0x50u);
    EXPECT_EQ(core->R[15], 0x7F000u - 8);
    EXPECT_EQ(Pending().pendingCount, 0u);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0x1020, 0xFFFFFE10),
                                              Read(4, 0x1024, 0xFFFFFE60),
                                              Write(4, 0x7EFFC, 0x40),
                                              Write(4, 0x7EFF8, 0x1020),
                                              Read(4, 0x400 + 4 * 0x42, 0x5000),
                                          }));
    sh2::Interrupting = 0;
}

TEST_F(FreeRunningTimer, CompareInterruptWaitsWhileTheMaskIsAtItsLevel) {
    // Compare A at level 5 with the mask at 5: the request stays pending
    // until a slice end with a lower mask.
    machine.recording = false;
    machine.SetWords(0x1000, {0x0009, 0x0009, 0x0009, 0x0009, 0x0009, 0x0009, 0x0009, 0x0009, 0x0009});
    machine.SetLong(4 * 0x42, 0x6000);
    machine.recording = true;
    SetUpInterrupts(kOciae, 5);
    SetFrc(0x0010);
    SetCompare('A', 0x0010);
    core->SR = 0x50;
    EXPECT_EQ(sh2::RunCycles(*core, 2), 2);  // no count yet
    EXPECT_EQ(Ftcsr(), 0);
    EXPECT_EQ(sh2::RunCycles(*core, 6), 6);  // the 8th cycle: one count, a match
    EXPECT_EQ(Ftcsr(), kOcfa);
    EXPECT_EQ(core->PC, 0x1010u);
    EXPECT_EQ(Pending().pending[5], 1);
    core->SR = 0x40;
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x6000u);
    EXPECT_EQ(Pending().pendingCount, 0u);
    sh2::Interrupting = 0;
}

}  // namespace
