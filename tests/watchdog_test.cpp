// The watchdog's register interface: the 0x5A and 0xA5 write codes of word
// writes at 0xFFFFFE80/81, the RSTCSR write address that only stores, the
// three byte read-back copies, and the exception request that a control
// write with TME makes or withdraws (SLEEP's request too).
#include <gtest/gtest.h>

#include <cstdint>

#include "bus/memory.h"
#include "test_host.h"

using namespace sh2test;

namespace {

constexpr uint32_t kWtcsr = 0xFFFFFE80;
constexpr uint32_t kWtcnt = 0xFFFFFE81;
constexpr uint32_t kRstcsrWrite = 0xFFFFFE82;
constexpr uint32_t kRstcsr = 0xFFFFFE83;

// Copies before the writes, distinct from every value written below.
constexpr uint8_t kControlBefore = 0x11;
constexpr uint8_t kCounterBefore = 0x22;
constexpr uint8_t kResetBefore = 0x33;

class Watchdog : public OnChipTest {
protected:
    void SetUp() override {
        OnChipTest::SetUp();
        core->watchdog.control = kControlBefore;
        core->watchdog.counter = kCounterBefore;
        core->watchdog.resetControl = kResetBefore;
    }

    void ExpectCopies(uint8_t control, uint8_t counter) {
        EXPECT_EQ(sh2::BusReadByte(*core, kWtcsr), control);
        EXPECT_EQ(sh2::BusReadByte(*core, kWtcnt), counter);
        EXPECT_EQ(sh2::BusReadByte(*core, kRstcsr), kResetBefore) << "nothing writes the reset control copy";
        // 0xFFFFFE82 has no copy: its byte read is the image byte.
        EXPECT_EQ(sh2::BusReadByte(*core, kRstcsrWrite), core->OnChipRegisterFile[0x82]);
    }
};

struct WriteCase {
    const char *name;
    int width;
    uint32_t address;
    uint32_t value;
    uint8_t requestBefore;
    uint8_t control, counter;  // the copies afterwards
    uint8_t request;           // exceptionRequest afterwards
};

const WriteCase kWriteCases[] = {
    {"counter code at WTCSR", 2, kWtcsr, 0x5A42, 0, kControlBefore, 0x42, 0},
    {"counter code at WTCNT keeps a request", 2, kWtcnt, 0x5A42, 1, kControlBefore, 0x42, 1},
    {"control code with TME clears the counter", 2, kWtcsr, 0xA520, 0, 0x20, 0x00, 1},
    {"control code with TME at WTCNT", 2, kWtcnt, 0xA5FF, 0, 0xFF, 0x00, 1},
    {"control code without TME withdraws", 2, kWtcsr, 0xA5DF, 1, 0xDF, 0x00, 0},
    {"control code, data 0x5A", 2, kWtcnt, 0xA55A, 1, 0x5A, 0x00, 0},
    {"code 0x5B only stores", 2, kWtcsr, 0x5B42, 0, kControlBefore, kCounterBefore, 0},
    {"code 0xA4 only stores", 2, kWtcsr, 0xA420, 0, kControlBefore, kCounterBefore, 0},
    {"RSTCSR write address, control code", 2, kRstcsrWrite, 0xA520, 0, kControlBefore, kCounterBefore, 0},
    {"RSTCSR write address, counter code", 2, kRstcsrWrite, 0x5A42, 1, kControlBefore, kCounterBefore, 1},
    {"0xFFFFFE83 is plain storage", 2, kRstcsr, 0xA520, 0, kControlBefore, kCounterBefore, 0},
    {"0xFFFFFE7F is plain storage", 2, 0xFFFFFE7F, 0xA520, 0, kControlBefore, kCounterBefore, 0},
    {"long write with both codes", 4, kWtcsr, 0x5A42A500, 1, kControlBefore, kCounterBefore, 1},
    {"byte write of WTCSR", 1, kWtcsr, 0x20, 0, kControlBefore, kCounterBefore, 0},
    {"byte write of WTCNT", 1, kWtcnt, 0x5A, 1, kControlBefore, kCounterBefore, 1},
};

class WatchdogWrite : public Watchdog, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WatchdogWrite, OnlyWordWritesActAndByTheirCode) {
    const WriteCase &c = GetParam();
    core->exceptionRequest = c.requestBefore;
    if (c.width == 4) {
        sh2::BusWriteLong(*core, c.address, c.value);
    } else if (c.width == 2) {
        sh2::BusWriteWord(*core, c.address, static_cast<uint16_t>(c.value));
    } else {
        sh2::BusWriteByte(*core, c.address, static_cast<uint8_t>(c.value));
    }
    EXPECT_EQ(core->exceptionRequest, c.request);
    ExpectCopies(c.control, c.counter);
    // The image always gets the bytes, and reads of more than a byte return them.
    const uint32_t image = c.width == 4   ? sh2::BusReadLong(*core, c.address)
                           : c.width == 2 ? sh2::BusReadWord(*core, c.address)
                                          : core->OnChipRegisterFile[c.address & 0x1FF];
    EXPECT_EQ(image, c.value);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

INSTANTIATE_TEST_SUITE_P(Table, WatchdogWrite, ::testing::ValuesIn(kWriteCases), CaseName());

}  // namespace
