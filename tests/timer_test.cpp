// The free-running timer: the prescaler and the clock selection by TCR byte
// writes, the overflow and compare windows of one update, CCLRA, the
// interrupt requests, the OCRA/OCRB byte windows and input capture.
#include <gtest/gtest.h>

#include <cstdint>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "test_host.h"

using namespace sh2test;

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

class FreeRunningTimer : public OnChipTest {
protected:
    // The program's view of the timer: everything through the memory layer.
    void SetFrc(uint16_t value) { sh2::BusWriteWord(*core, kFrc, value); }
    uint16_t Frc() { return sh2::BusReadWord(*core, kFrc); }
    uint8_t Ftcsr() { return sh2::BusReadByte(*core, kFtcsr); }
    void SelectClock(uint8_t tcr) { sh2::BusWriteByte(*core, kTcr, tcr); }

    // Writes OCRA and then OCRB through the byte windows, with TOCR bit 4
    // choosing each in turn, and puts TOCR back.
    void SetCompares(uint16_t a, uint16_t b) {
        const uint8_t tocr = sh2::BusReadByte(*core, kTocr);
        const uint16_t values[] = {a, b};
        for (int i = 0; i < 2; ++i) {
            sh2::BusWriteByte(*core, kTocr, static_cast<uint8_t>(i == 1 ? (tocr | 0x10) : (tocr & ~0x10)));
            sh2::BusWriteByte(*core, kOcrHigh, static_cast<uint8_t>(values[i] >> 8));
            sh2::BusWriteByte(*core, kOcrLow, static_cast<uint8_t>(values[i]));
        }
        sh2::BusWriteByte(*core, kTocr, tocr);
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

    // Expects `vector` alone queued at `level`; a negative vector: nothing queued.
    void ExpectRequest(int level, int vector) {
        const sh2::PendingInterruptTable &pending = core->pendingInterrupts;
        EXPECT_EQ(pending.pendingCount, vector < 0 ? 0u : 1u);
        if (vector >= 0) {
            EXPECT_EQ(pending.pending[level], 1);
            EXPECT_EQ(pending.vector[level], vector);
        }
    }
};

// ---------------------------------------------------------------------------
// Prescaler and clock selection

TEST_F(FreeRunningTimer, OnlyTcrByteWritesSelectTheRate) {
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
        {"long write covering TCR", [](sh2::SH2Core &c) { sh2::BusWriteLong(c, kOcrHigh, 0x000100E0); }, 7},
        {"byte CKS 0", [](sh2::SH2Core &c) { sh2::BusWriteByte(c, kTcr, 0x00); }, 3},
        {"word write of TCR = 2", [](sh2::SH2Core &c) { sh2::BusWriteWord(c, kTcr, 0x0200); }, 3},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.write(*core);
        // Whatever the slicing, FRC counts the total cycles at the rate in
        // force: the cycles a slice leaves over carry to the next. The total,
        // 1152, leaves nothing over at any rate. A slice without counts tests
        // no compare value, although FRC sits on both.
        SetFrc(0x1000);
        SetCompares(0x1000, 0x1000);
        sh2::BusWriteByte(*core, kFtcsr, 0);
        uint32_t total = 0;
        for (const int32_t cycles : {100, 27, 1, 0, 7, 1017}) {
            sh2::UpdateFreeRunningTimer(*core, cycles);
            total += static_cast<uint32_t>(cycles);
            EXPECT_EQ(Frc(), 0x1000 + (total >> step.shift)) << "after " << total << " cycles";
            EXPECT_EQ(Ftcsr(), (total >> step.shift) == 0 ? 0 : kOcfa | kOcfb) << "after " << total << " cycles";
        }
    }
}

TEST_F(FreeRunningTimer, ASwitchedClockCountsTheKeptCyclesAtTheNewRate) {
    SelectClock(2);
    SetFrc(0);
    sh2::UpdateFreeRunningTimer(*core, 100);  // / 128: no count, 100 cycles kept
    SelectClock(0);
    sh2::UpdateFreeRunningTimer(*core, 0);  // / 8: 12 counts out of them
    EXPECT_EQ(Frc(), 12);
}

// ---------------------------------------------------------------------------
// Overflow, the compare windows, CCLRA and the interrupt requests

struct UpdateCase {
    const char *name;
    uint8_t ftcsr;  // FTCSR before: CCLRA or nothing
    uint16_t frc;
    uint32_t counts;  // counts of the update (8 cycles each)
    uint16_t ocra, ocrb;
    uint8_t tier, level;
    uint16_t frcAfter;
    uint8_t ftcsrAfter;
    int vector;  // queued at the level, or -1 for nothing queued
};

constexpr uint8_t kAllTimerEnables = kOvie | kOciae | kOcibe;
const UpdateCase kUpdateCases[] = {
    // A compare window runs from the old count to the new one, both
    // included, without wrap-around.
    {"inside the window", 0, 0x0100, 0x10, 0x0108, 0x010F, 0, 6, 0x0110, kOcfa | kOcfb, -1},
    {"old value matches", 0, 0x0100, 0x10, 0x0100, 0x0100, 0, 6, 0x0110, kOcfa | kOcfb, -1},
    {"new value matches", 0, 0x0100, 0x10, 0x0110, 0x0110, 0, 6, 0x0110, kOcfa | kOcfb, -1},
    {"below and above the window", 0, 0x0100, 0x10, 0x00FF, 0x0111, 0, 6, 0x0110, 0, -1},
    {"up to 0xFFFF is no overflow", 0, 0xFFF0, 0x0F, 0xFFFF, 0x1234, 0, 6, 0xFFFF, kOcfa, -1},
    {"wrap to 0", 0, 0xFFFF, 1, 0x0000, 0xFFFF, 0, 6, 0x0000, kOvf, -1},
    {"values passed while wrapping", 0, 0xFFF0, 0x20, 0xFFF8, 0x0008, 0, 6, 0x0010, kOvf, -1},
    {"wrap to the old value", 0, 0x0040, 0x10000, 0x0040, 0x0041, 0, 6, 0x0040, kOvf | kOcfa, -1},
    {"wraps twice, one flag", 0, 0x0000, 0x2FFFF, 0xFFFF, 0x0000, 0, 6, 0xFFFF, kOvf | kOcfa | kOcfb, -1},
    // CCLRA: compare A clears the counter; B is tested against the window
    // before the clear.
    {"clear, A and B inside", kCclra, 0x0100, 0x10, 0x0108, 0x010C, 0, 6, 0, kCclra | kOcfa | kOcfb, -1},
    {"clear, A outside", kCclra, 0x0100, 0x10, 0x0200, 0x0108, 0, 6, 0x0110, kCclra | kOcfb, -1},
    {"clear, A passed while wrapping", kCclra, 0xFFF0, 0x20, 0x0004, 0x1000, 0, 6, 0x0010, kCclra | kOvf, -1},
    {"clear, A with an overflow", kCclra, 0x0040, 0x10000, 0x0040, 0x1000, 0, 6, 0, kCclra | kOvf | kOcfa, -1},
    // Each event has its own enable and vector; the level is IPRB's low
    // nibble.
    {"overflow", 0, 0xFFF0, 0x20, 0x8000, 0x8000, kOvie, 6, 0x0010, kOvf, 0x41},
    {"compare A", 0, 0x0100, 0x10, 0x0108, 0x8000, kOciae, 6, 0x0110, kOcfa, 0x42},
    {"compare B at level 15", 0, 0x0100, 0x10, 0x8000, 0x0108, kOcibe, 15, 0x0110, kOcfb, 0x42},
    {"each event, own enable only", 0, 0x0100, 0x10, 0x0108, 0x0108, kOvie, 6, 0x0110, kOcfa | kOcfb, -1},
    {"compare A enabled, B happened", 0, 0x0100, 0x10, 0x8000, 0x0108, kOciae, 6, 0x0110, kOcfb, -1},
    {"overflow not enabled", 0, 0xFFF0, 0x20, 0x8000, 0x8000, kOciae | kOcibe | kIcie, 6, 0x0010, kOvf, -1},
    // One level for all three: the first request in the order overflow,
    // compare A, compare B is the one queued.
    {"overflow before compare A", 0, 0x0100, 0x10000, 0x0100, 0x0100, kAllTimerEnables, 9, 0x0100, kOvf | kOcfa | kOcfb,
     0x41},
    {"overflow before compare B", 0, 0x8000, 0x10100, 0x0000, 0x8080, kOvie | kOcibe, 9, 0x8100, kOvf | kOcfb, 0x41},
    {"compare A before B", 0, 0x0100, 0x10, 0x0101, 0x0102, kOciae | kOcibe, 9, 0x0110, kOcfa | kOcfb, 0x42},
};

class TimerUpdate : public FreeRunningTimer, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(TimerUpdate, OverflowCompareMatchesAndRequestsOfOneUpdate) {
    const UpdateCase &c = GetParam();
    SetUpInterrupts(c.tier, c.level);
    sh2::BusWriteByte(*core, kFtcsr, c.ftcsr);
    SetFrc(c.frc);
    SetCompares(c.ocra, c.ocrb);
    sh2::UpdateFreeRunningTimer(*core, static_cast<int32_t>(c.counts * 8));
    EXPECT_EQ(Frc(), c.frcAfter);
    EXPECT_EQ(Ftcsr(), c.ftcsrAfter);
    ExpectRequest(c.level, c.vector);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerUpdate, ::testing::ValuesIn(kUpdateCases), CaseName());

// ---------------------------------------------------------------------------
// OCRA and OCRB behind the byte windows

// Each byte window replaces its own half of the compare register only.
TEST_F(FreeRunningTimer, CompareByteWritesKeepTheOtherHalf) {
    sh2::BusWriteByte(*core, kOcrLow, 0xFF);
    sh2::BusWriteByte(*core, kOcrHigh, 0x12);
    EXPECT_EQ(core->timer.OCRA, 0x12FFu);
    sh2::BusWriteByte(*core, kOcrLow, 0x34);
    EXPECT_EQ(core->timer.OCRA, 0x1234u);
}

TEST_F(FreeRunningTimer, TocrBit4ChoosesTheRegisterBehindTheByteWindows) {
    // A fresh core holds 0xFFFF in both while the image bytes are 0; word and
    // long writes over the windows only store.
    EXPECT_EQ(sh2::BusReadWord(*core, kOcrHigh), 0x0000);
    sh2::BusWriteWord(*core, kOcrHigh, 0x1234);
    sh2::BusWriteLong(*core, kFrc, 0x00005678);
    EXPECT_EQ(sh2::BusReadWord(*core, kOcrHigh), 0x5678);
    EXPECT_EQ(core->timer.OCRA, 0xFFFF);
    EXPECT_EQ(core->timer.OCRB, 0xFFFF);
    SetCompares(0x1111, 0x2222);
    struct Step {
        uint8_t tocr;
        uint32_t address;
        uint8_t value;
        uint16_t ocra, ocrb;  // afterwards
    };
    const Step steps[] = {
        {0xE0, kOcrHigh, 0x12, 0x1211, 0x2222},  // reset TOCR: OCRS 0
        {0x10, kOcrLow, 0x78, 0x1211, 0x2278},
        {0xEF, kOcrLow, 0x9A, 0x129A, 0x2278},  // every TOCR bit but bit 4
        {0xFF, kOcrHigh, 0xBC, 0x129A, 0xBC78},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << std::hex << "TOCR 0x" << int{s.tocr} << " write 0x" << int{s.value}
                                        << " at 0x" << s.address);
        sh2::BusWriteByte(*core, kTocr, s.tocr);
        sh2::BusWriteByte(*core, s.address, s.value);
        // Byte reads return the chosen register, whatever the image holds.
        const uint16_t chosen = (s.tocr & 0x10) != 0 ? s.ocrb : s.ocra;
        EXPECT_EQ(sh2::BusReadByte(*core, kOcrHigh), chosen >> 8);
        EXPECT_EQ(sh2::BusReadByte(*core, kOcrLow), chosen & 0xFF);
        EXPECT_EQ(core->timer.OCRA, s.ocra);
        EXPECT_EQ(core->timer.OCRB, s.ocrb);
    }
    // The image bytes only hold the last bytes written there.
    EXPECT_EQ(sh2::BusReadWord(*core, kOcrHigh), 0xBC9A);
}

// ---------------------------------------------------------------------------
// Input capture

struct CaptureCase {
    const char *name;
    uint8_t tier;
    uint8_t level;
    uint8_t ftcsrBefore;
    int vector;  // queued at the level, or -1 for nothing queued
};

const CaptureCase kCaptureCases[] = {
    {"enabled", kIcie, 5, 0, 0x43},
    {"not enabled", kOvie | kOciae | kOcibe, 5, 0, -1},
    {"other flags stay", kIcie, 12, kOvf | kOcfa | kCclra, 0x43},
};

class TimerCapture : public FreeRunningTimer, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(TimerCapture, CaptureCopiesFrcSetsIcfAndRequestsIfEnabled) {
    const CaptureCase &c = GetParam();
    SetUpInterrupts(c.tier, c.level);
    sh2::BusWriteByte(*core, kFtcsr, c.ftcsrBefore);
    sh2::BusWriteWord(*core, kIcr, 0x5555);
    SetFrc(0xBEEF);
    sh2::CaptureInput(*core);
    EXPECT_EQ(sh2::BusReadWord(*core, kIcr), 0xBEEF);
    EXPECT_EQ(Frc(), 0xBEEF);
    EXPECT_EQ(Ftcsr(), c.ftcsrBefore | kIcf);
    ExpectRequest(c.level, c.vector);
}

INSTANTIATE_TEST_SUITE_P(Table, TimerCapture, ::testing::ValuesIn(kCaptureCases), CaseName());

}  // namespace
