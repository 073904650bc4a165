// The watchdog's register interface: the 0x5A and 0xA5 write codes of word
// writes at 0xFFFFFE80/81, the RSTCSR write address that only stores, the
// three byte read-back copies, and the exception request that a control
// write with TME makes or withdraws, also against SLEEP's request.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bus/memory.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

namespace {

constexpr uint32_t kWtcsr = 0xFFFFFE80;
constexpr uint32_t kWtcnt = 0xFFFFFE81;
constexpr uint32_t kRstcsrWrite = 0xFFFFFE82;
constexpr uint32_t kRstcsr = 0xFFFFFE83;

// Copies before the writes, distinct from every value written below.
constexpr uint8_t kControlBefore = 0x11;
constexpr uint8_t kCounterBefore = 0x22;
constexpr uint8_t kResetBefore = 0x33;

class Watchdog : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }

    void Fresh() {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
        core->watchdogControlCopy = kControlBefore;
        core->watchdogCounterCopy = kCounterBefore;
        core->resetControlCopy = kResetBefore;
    }

    void ExpectCopies(uint8_t control, uint8_t counter) {
        EXPECT_EQ(sh2::BusReadByte(*core, kWtcsr), control);
        EXPECT_EQ(sh2::BusReadByte(*core, kWtcnt), counter);
        EXPECT_EQ(sh2::BusReadByte(*core, kRstcsr), kResetBefore) << "nothing writes the reset control copy";
        // 0xFFFFFE82 has no copy: its byte read is the image byte.
        EXPECT_EQ(sh2::BusReadByte(*core, kRstcsrWrite), core->OnChipRegisterFile[0x82]);
    }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

struct WordWriteCase {
    const char *name;
    uint32_t address;
    uint16_t value;
    uint8_t requestBefore;
    uint8_t control, counter;  // the copies afterwards
    uint8_t request;           // exceptionRequest afterwards
};

TEST_F(Watchdog, WordWritesActByTheirCode) {
    const WordWriteCase cases[] = {
        {"counter code at WTCSR", kWtcsr, 0x5A42, 0, kControlBefore, 0x42, 0},
        {"counter code keeps a request", kWtcsr, 0x5A42, 1, kControlBefore, 0x42, 1},
        {"counter code at WTCNT", kWtcnt, 0x5A42, 0, kControlBefore, 0x42, 0},
        {"counter code, data 0xA5", kWtcsr, 0x5AA5, 0, kControlBefore, 0xA5, 0},
        {"control code with TME", kWtcsr, 0xA520, 0, 0x20, 0x00, 1},
        {"control code with TME at WTCNT", kWtcnt, 0xA520, 0, 0x20, 0x00, 1},
        {"control code, every bit", kWtcsr, 0xA5FF, 0, 0xFF, 0x00, 1},
        {"control code, TME alone kept", kWtcsr, 0xA520, 1, 0x20, 0x00, 1},
        {"control code without TME withdraws", kWtcsr, 0xA5DF, 1, 0xDF, 0x00, 0},
        {"control code, data 0x5A", kWtcnt, 0xA55A, 1, 0x5A, 0x00, 0},
        {"control code, zero", kWtcnt, 0xA500, 0, 0x00, 0x00, 0},
        {"another code only stores", kWtcsr, 0x1234, 1, kControlBefore, kCounterBefore, 1},
        {"code 0x5B only stores", kWtcsr, 0x5B42, 0, kControlBefore, kCounterBefore, 0},
        {"code 0xA4 only stores", kWtcsr, 0xA420, 0, kControlBefore, kCounterBefore, 0},
        {"code 0x00 only stores", kWtcnt, 0x0020, 1, kControlBefore, kCounterBefore, 1},
        {"RSTCSR write address, control code", kRstcsrWrite, 0xA520, 0, kControlBefore, kCounterBefore, 0},
        {"RSTCSR write address, counter code", kRstcsrWrite, 0x5A42, 0, kControlBefore, kCounterBefore, 0},
        {"RSTCSR write address keeps a request", kRstcsrWrite, 0xA500, 1, kControlBefore, kCounterBefore, 1},
        {"0xFFFFFE83 is plain storage", kRstcsr, 0xA520, 0, kControlBefore, kCounterBefore, 0},
        {"0xFFFFFE7F is plain storage", 0xFFFFFE7F, 0xA520, 0, kControlBefore, kCounterBefore, 0},
    };
    for (const WordWriteCase &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        core->exceptionRequest = c.requestBefore;
        sh2::BusWriteWord(*core, c.address, c.value);
        EXPECT_EQ(core->exceptionRequest, c.request);
        ExpectCopies(c.control, c.counter);
        // The image always gets the word; word reads return it.
        EXPECT_EQ(core->OnChipRegisterFile[c.address & 0x1FF], c.value >> 8);
        EXPECT_EQ(core->OnChipRegisterFile[(c.address + 1) & 0x1FF], c.value & 0xFF);
        EXPECT_EQ(sh2::BusReadWord(*core, c.address), c.value);
        EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    }
}

TEST_F(Watchdog, ByteAndLongWritesOnlyStore) {
    struct StoreCase {
        int width;
        uint32_t address;
        uint32_t value;
    };
    const StoreCase cases[] = {
        {1, kWtcsr, 0x20},       {1, kWtcsr, 0xA5},       {1, kWtcnt, 0x5A},       {1, kWtcnt, 0x20},
        {1, kRstcsrWrite, 0xA5}, {1, kRstcsr, 0x20},      {4, kWtcsr, 0xA5200000}, {4, kWtcsr, 0x5A42A520},
        {4, 0xFFFFFE7E, 0x0000A520}, {4, 0xFFFFFE7F, 0x00A52000},
    };
    for (const uint8_t requestBefore : {0, 1}) {
        for (const StoreCase &c : cases) {
            SCOPED_TRACE(testing::Message() << "width " << c.width << std::hex << " at 0x" << c.address << " value 0x"
                                            << c.value << " request " << int{requestBefore});
            Fresh();
            core->exceptionRequest = requestBefore;
            if (c.width == 1) {
                sh2::BusWriteByte(*core, c.address, static_cast<uint8_t>(c.value));
                EXPECT_EQ(core->OnChipRegisterFile[c.address & 0x1FF], c.value);
            } else {
                sh2::BusWriteLong(*core, c.address, c.value);
                EXPECT_EQ(sh2::BusReadLong(*core, c.address), c.value);
            }
            EXPECT_EQ(core->exceptionRequest, requestBefore);
            ExpectCopies(kControlBefore, kCounterBefore);
        }
    }
}

TEST_F(Watchdog, ByteReadsReturnTheCopiesAndWiderReadsTheImage) {
    sh2::BusWriteWord(*core, kWtcsr, 0xA578);  // control copy 0x78, counter 0
    sh2::BusWriteWord(*core, kWtcnt, 0x5A9C);  // counter copy 0x9C; image 0x80..0x82 = A5 5A 9C
    sh2::BusWriteByte(*core, kRstcsr, 0x4D);
    ExpectCopies(0x78, 0x9C);
    EXPECT_EQ(sh2::BusReadWord(*core, kWtcsr), 0xA55A);
    EXPECT_EQ(sh2::BusReadWord(*core, kRstcsrWrite), 0x9C4D);
    EXPECT_EQ(sh2::BusReadLong(*core, kWtcsr), 0xA55A9C4Du);
    EXPECT_EQ(sh2::BusReadByte(*core, kRstcsrWrite), 0x9C);
    EXPECT_EQ(core->exceptionRequest, 1);
}

// ---------------------------------------------------------------------------
// Through the run loop

class WatchdogProgram : public Watchdog {
protected:
    void SetUp() override {
        Watchdog::SetUp();
        machine.SetLong(0x400 + 44, 0x3000);  // vector 11
        core->VBR = 0x400;
        core->SR = 0;
        core->R[2] = kWtcsr;
    }

    // The frame of the vector-11 entry with `pc` as the return address.
    static std::vector<HostAccess> ExceptionEntry(uint32_t pc) {
        return {Write(4, 0x7EFFC, 0x00), Write(4, 0x7EFF8, pc), Read(4, 0x400 + 44, 0x3000)};
    }
};

TEST_F(WatchdogProgram, TheLastControlWriteOfTheSliceDecides) {
    struct SliceCase {
        const char *name;
        std::vector<uint16_t> values;  // written to WTCSR in this order
        bool entered;
    };
    const SliceCase cases[] = {
        {"TME set", {0xA520}, true},
        {"TME set, then cleared", {0xA520, 0xA500}, false},
        {"TME cleared, then set", {0xA500, 0xA520}, true},
        {"a counter write does not withdraw", {0xA520, 0x5A10}, true},
        {"another code does not withdraw", {0xA520, 0x1200}, true},
        {"a counter write does not request", {0x5A20}, false},
    };
    for (const SliceCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // mov.w r3,@r2 ; mov.w r4,@r2 ; ... ; nop
        std::vector<uint16_t> program;
        for (size_t i = 0; i < c.values.size(); ++i) {
            core->R[3 + i] = c.values[i];
            program.push_back(static_cast<uint16_t>(0x2201 | ((3 + i) << 4)));
        }
        program.push_back(0x0009);
        machine.SetWords(0x1000, program);
        const auto budget = static_cast<int32_t>(program.size());
        const uint32_t end = 0x1000 + 2 * static_cast<uint32_t>(program.size());
        EXPECT_EQ(sh2::RunCycles(*core, budget), budget);
        EXPECT_EQ(core->exceptionRequest, 0);
        if (c.entered) {
            EXPECT_EQ(Describe(machine.accesses), Describe(ExceptionEntry(end)));
            EXPECT_EQ(core->PC, 0x3000u);
            EXPECT_EQ(core->SR, 0xF0u);
        } else {
            EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
            EXPECT_EQ(core->PC, end);
        }
    }
}

TEST_F(WatchdogProgram, AControlWriteWithdrawsTheRequestOfAnEarlierSleep) {
    // SLEEP as the delay slot of a BRA is the one way on past a SLEEP in the
    // same slice: the slot's SLEEP leaves PC at the target, from which the
    // slot's step is taken off, so execution goes on at 0x1004.
    //   0x1000 bra 0x1006 ; 0x1002 sleep ; 0x1004 nop ; 0x1006 mov.w r3,@r2 ;
    //   0x1008 nop
    struct SleepCase {
        uint16_t value;
        bool entered;
    };
    const SleepCase cases[] = {{0xA500, false}, {0xA5C7, false}, {0xA520, true}, {0x5A00, true}, {0x0000, true}};
    for (const SleepCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "WTCSR word 0x" << c.value);
        SetUp();
        machine.SetWords(0x1000, {0xA001, 0x001B, 0x0009, 0x2231, 0x0009});
        core->R[3] = c.value;
        // 2 + 3 for the branch and its slot, 1 for the nop, 1 for the write.
        EXPECT_EQ(sh2::RunCycles(*core, 7), 7);
        EXPECT_EQ(core->exceptionRequest, 0);
        if (c.entered) {
            EXPECT_EQ(Describe(machine.accesses), Describe(ExceptionEntry(0x1008)));
            EXPECT_EQ(core->PC, 0x3000u);
        } else {
            EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
            EXPECT_EQ(core->PC, 0x1008u);
        }
    }
}

TEST_F(WatchdogProgram, TheRequestIsConsumedByTheSliceEnd) {
    machine.SetWords(0x1000, {0x2231, 0x0009});
    machine.SetWords(0x3000, {0x0009, 0x0009});
    core->R[3] = 0xA520;
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x3000u);
    machine.accesses.clear();
    EXPECT_EQ(sh2::RunCycles(*core, 1), 1);
    EXPECT_EQ(core->PC, 0x3002u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    // The copies stay as the write left them.
    ExpectCopies(0x20, 0x00);
}

}  // namespace
