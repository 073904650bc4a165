// The memory access layer: which of the three destinations each address and
// direction reaches, byte order, wrap-around at the window ends, side effects
// keyed to exact address and width, and host accesses made once, in order.
#include <gtest/gtest.h>

#include <cstring>

#include "bus/memory.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

namespace {

class MemoryBus : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
    }
    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

enum class Destination { RegisterWindow, Ram, Host, Dropped };

struct RouteCase {
    uint32_t address;
    Destination reads;
    Destination writes;
};

// The ranges and their edges, including addresses that are negative when
// taken as signed numbers (the tests are unsigned).
const RouteCase kRoutes[] = {
    {0x00000000, Destination::Host, Destination::Host},
    {0x06000000, Destination::Host, Destination::Host},
    {0x3FFFFFF0, Destination::Host, Destination::Host},
    {0x40000000, Destination::Host, Destination::Dropped},
    {0x7FFFFFFC, Destination::Host, Destination::Dropped},
    {0x80000000, Destination::Host, Destination::Dropped},
    {0xA0000000, Destination::Host, Destination::Dropped},
    {0xBFFFFFF8, Destination::Host, Destination::Dropped},
    {0xC0000000, Destination::Ram, Destination::Ram},
    {0xC0000FF0, Destination::Ram, Destination::Ram},
    {0xE0001230, Destination::Ram, Destination::Ram},
    {0xFFFFFDF8, Destination::Ram, Destination::Ram},
    {0xFFFFFE00, Destination::RegisterWindow, Destination::RegisterWindow},
    {0xFFFFFE40, Destination::RegisterWindow, Destination::RegisterWindow},
    {0xFFFFFFF8, Destination::RegisterWindow, Destination::RegisterWindow},
};

TEST_F(MemoryBus, EachAddressReadsFromItsDestination) {
    for (const RouteCase &c : kRoutes) {
        SCOPED_TRACE(testing::Message() << std::hex << "address 0x" << c.address);
        // Distinct contents in the three places the read could come from.
        machine.recording = false;
        machine.SetLong(c.address, 0x11223344);
        machine.recording = true;
        const uint32_t ram = c.address & 0xFFF;
        const uint32_t reg = c.address & 0x1FF;
        const uint8_t ramBytes[] = {0x55, 0x66, 0x77, 0x88};
        const uint8_t regBytes[] = {0x99, 0xAA, 0xBB, 0xCC};
        std::memcpy(&core->OnChipRam[ram], ramBytes, 4);
        std::memcpy(&core->OnChipRegisterFile[reg], regBytes, 4);

        machine.accesses.clear();
        const uint8_t byte = sh2::BusReadByte(*core, c.address);
        const uint16_t word = sh2::BusReadWord(*core, c.address);
        const uint32_t longValue = sh2::BusReadLong(*core, c.address);
        switch (c.reads) {
            case Destination::Host:
                EXPECT_EQ(byte, 0x11);
                EXPECT_EQ(word, 0x1122);
                EXPECT_EQ(longValue, 0x11223344u);
                EXPECT_EQ(Describe(machine.accesses),
                          Describe({Read(1, c.address, 0x11), Read(2, c.address, 0x1122),
                                    Read(4, c.address, 0x11223344)}));
                break;
            case Destination::Ram:
                EXPECT_EQ(byte, 0x55);
                EXPECT_EQ(word, 0x5566);
                EXPECT_EQ(longValue, 0x55667788u);
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
                break;
            case Destination::RegisterWindow:
                EXPECT_EQ(byte, 0x99);
                EXPECT_EQ(word, 0x99AA);
                EXPECT_EQ(longValue, 0x99AABBCCu);
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
                break;
            case Destination::Dropped:
                FAIL() << "reads are never dropped";
        }
        std::memset(&core->OnChipRam[ram], 0, 4);
        std::memset(&core->OnChipRegisterFile[reg], 0, 4);
    }
}

TEST_F(MemoryBus, EachAddressWritesToItsDestinationOrNowhere) {
    for (const RouteCase &c : kRoutes) {
        SCOPED_TRACE(testing::Message() << std::hex << "address 0x" << c.address);
        uint8_t ramBefore[sh2::kOnChipRamSize];
        uint8_t regBefore[sh2::kOnChipRegisterFileSize];
        std::memcpy(ramBefore, core->OnChipRam, sizeof ramBefore);
        std::memcpy(regBefore, core->OnChipRegisterFile, sizeof regBefore);
        machine.accesses.clear();

        sh2::BusWriteByte(*core, c.address + 0, 0xA1);
        sh2::BusWriteWord(*core, c.address + 2, 0xB2C3);
        sh2::BusWriteLong(*core, c.address + 4, 0xD4E5F607);

        const uint8_t expected[] = {0xA1, 0x00, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07};
        switch (c.writes) {
            case Destination::Host:
                EXPECT_EQ(Describe(machine.accesses),
                          Describe({Write(1, c.address, 0xA1), Write(2, c.address + 2, 0xB2C3),
                                    Write(4, c.address + 4, 0xD4E5F607)}));
                EXPECT_EQ(0, std::memcmp(ramBefore, core->OnChipRam, sizeof ramBefore));
                EXPECT_EQ(0, std::memcmp(regBefore, core->OnChipRegisterFile, sizeof regBefore));
                break;
            case Destination::Dropped:
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
                EXPECT_EQ(0, std::memcmp(ramBefore, core->OnChipRam, sizeof ramBefore));
                EXPECT_EQ(0, std::memcmp(regBefore, core->OnChipRegisterFile, sizeof regBefore));
                break;
            case Destination::Ram: {
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
                const uint32_t o = c.address & 0xFFF;
                for (uint32_t i = 0; i < 8; ++i) {
                    if (i == 1) continue;  // not written
                    EXPECT_EQ(core->OnChipRam[o + i], expected[i]) << "byte " << i;
                }
                EXPECT_EQ(0, std::memcmp(regBefore, core->OnChipRegisterFile, sizeof regBefore));
                std::memset(&core->OnChipRam[o], 0, 8);
                break;
            }
            case Destination::RegisterWindow: {
                EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
                const uint32_t o = c.address & 0x1FF;
                for (uint32_t i = 0; i < 8; ++i) {
                    if (i == 1) continue;
                    EXPECT_EQ(core->OnChipRegisterFile[o + i], expected[i]) << "byte " << i;
                }
                EXPECT_EQ(0, std::memcmp(ramBefore, core->OnChipRam, sizeof ramBefore));
                std::memcpy(core->OnChipRegisterFile, regBefore, sizeof regBefore);
                break;
            }
        }
    }
}

TEST_F(MemoryBus, HostWriteLimitIsExact) {
    sh2::BusWriteLong(*core, 0x3FFFFFFC, 0xCAFEF00D);
    sh2::BusWriteByte(*core, 0x3FFFFFFF, 0x5A);
    sh2::BusWriteLong(*core, 0x40000000, 0xDEADBEEF);
    sh2::BusWriteByte(*core, 0x40000000, 0x77);
    sh2::BusWriteWord(*core, 0xBFFFFFFE, 0x1234);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Write(4, 0x3FFFFFFC, 0xCAFEF00D), Write(1, 0x3FFFFFFF, 0x5A)}));
    // A byte read of the same dropped address still reaches the host.
    machine.accesses.clear();
    (void)sh2::BusReadByte(*core, 0x40000000);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(1, 0x40000000, 0)}));
}

TEST_F(MemoryBus, AccessStartingJustBelowRamGoesWhollyToHost) {
    // The first byte chooses the destination: 0xBFFFFFFE is host memory even
    // though the access runs into 0xC0000000.
    machine.recording = false;
    machine.SetWord(0xBFFFFFFE, 0x4142);
    machine.SetWord(0xC0000000, 0x4344);
    machine.recording = true;
    core->OnChipRam[0] = 0xEE;
    core->OnChipRam[1] = 0xFF;
    EXPECT_EQ(sh2::BusReadWord(*core, 0xBFFFFFFE), 0x4142);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xBFFFFFFE), 0x41424344u);
    sh2::BusWriteWord(*core, 0xBFFFFFFE, 0x1111);  // dropped
    sh2::BusWriteLong(*core, 0xBFFFFFFE, 0x22222222);
    EXPECT_EQ(Describe(machine.accesses),
              Describe({Read(2, 0xBFFFFFFE, 0x4142), Read(4, 0xBFFFFFFE, 0x41424344)}));
    EXPECT_EQ(core->OnChipRam[0], 0xEE);
    EXPECT_EQ(core->OnChipRam[1], 0xFF);
}

TEST_F(MemoryBus, WindowsStoreBigEndian) {
    struct Case {
        uint32_t address;
        uint8_t *storage;
        uint32_t offset;
    };
    const Case cases[] = {
        {0xC0000010, core->OnChipRam, 0x010},
        {0xFFFFFE40, core->OnChipRegisterFile, 0x040},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "address 0x" << c.address);
        sh2::BusWriteLong(*core, c.address, 0x11223344);
        EXPECT_EQ(c.storage[c.offset + 0], 0x11);
        EXPECT_EQ(c.storage[c.offset + 1], 0x22);
        EXPECT_EQ(c.storage[c.offset + 2], 0x33);
        EXPECT_EQ(c.storage[c.offset + 3], 0x44);
        EXPECT_EQ(sh2::BusReadByte(*core, c.address + 1), 0x22);
        EXPECT_EQ(sh2::BusReadWord(*core, c.address + 2), 0x3344);
        sh2::BusWriteWord(*core, c.address + 4, 0xABCD);
        EXPECT_EQ(c.storage[c.offset + 4], 0xAB);
        EXPECT_EQ(c.storage[c.offset + 5], 0xCD);
        EXPECT_EQ(sh2::BusReadLong(*core, c.address + 2), 0x3344ABCDu);
    }
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(MemoryBus, RamWindowAliasesOneFourKilobyteStore) {
    sh2::BusWriteByte(*core, 0xC0000123, 0x5C);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xD0000123), 0x5C);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFF123), 0x5C);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xC0001123), 0x5C);
    EXPECT_EQ(core->OnChipRam[0x123], 0x5C);
    // The last RAM address, and the first register address right above it.
    sh2::BusWriteByte(*core, 0xFFFFFDFF, 0x6D);
    EXPECT_EQ(core->OnChipRam[0xDFF], 0x6D);
    sh2::BusWriteByte(*core, 0xFFFFFE00, 0x7E);
    EXPECT_EQ(core->OnChipRegisterFile[0x000], 0x7E);
    EXPECT_EQ(core->OnChipRam[0xE00], 0x00);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(MemoryBus, UnalignedAccessesAreNeitherAlignedNorMasked) {
    for (uint32_t i = 0; i < 8; ++i) core->OnChipRam[i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xC0000001), 0xA1A2);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xC0000003), 0xA3A4A5A6u);
    sh2::BusWriteLong(*core, 0xC0000001, 0x01020304);
    EXPECT_EQ(core->OnChipRam[0], 0xA0);
    EXPECT_EQ(core->OnChipRam[1], 0x01);
    EXPECT_EQ(core->OnChipRam[4], 0x04);
    EXPECT_EQ(core->OnChipRam[5], 0xA5);
    // The host sees the unaligned address as formed.
    machine.accesses.clear();
    sh2::BusWriteWord(*core, 0x00001001, 0xBEEF);
    sh2::BusWriteLong(*core, 0x00002003, 0x0BADF00D);
    (void)sh2::BusReadLong(*core, 0x00002003);
    EXPECT_EQ(Describe(machine.accesses), Describe({Write(2, 0x00001001, 0xBEEF), Write(4, 0x00002003, 0x0BADF00D),
                                                    Read(4, 0x00002003, 0x0BADF00D)}));
}

TEST_F(MemoryBus, AccessesPastAWindowEndWrapInsideIt) {
    struct Case {
        const char *name;
        uint32_t address;
        uint8_t *storage;
        uint32_t size;
    };
    const Case cases[] = {
        {"RAM", 0xC0000FFD, core->OnChipRam, sh2::kOnChipRamSize},
        {"register window", 0xFFFFFFFD, core->OnChipRegisterFile, sh2::kOnChipRegisterFileSize},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t last = c.size - 1;
        const uint32_t start = c.address & last;  // size - 3
        // Reads: the bytes after the last element come from element 0 on.
        c.storage[start] = 0x11;
        c.storage[start + 1] = 0x22;
        c.storage[last] = 0x33;
        c.storage[0] = 0x44;
        c.storage[1] = 0x55;
        EXPECT_EQ(sh2::BusReadWord(*core, c.address + 2), 0x3344);
        EXPECT_EQ(sh2::BusReadLong(*core, c.address), 0x11223344u);
        EXPECT_EQ(sh2::BusReadLong(*core, c.address + 1), 0x22334455u);
        // Writes wrap the same way.
        sh2::BusWriteLong(*core, c.address + 1, 0xA1B2C3D4);
        EXPECT_EQ(c.storage[start + 1], 0xA1);
        EXPECT_EQ(c.storage[last], 0xB2);
        EXPECT_EQ(c.storage[0], 0xC3);
        EXPECT_EQ(c.storage[1], 0xD4);
        sh2::BusWriteWord(*core, c.address + 2, 0xE5F6);
        EXPECT_EQ(c.storage[last], 0xE5);
        EXPECT_EQ(c.storage[0], 0xF6);
        EXPECT_EQ(sh2::BusReadLong(*core, c.address + 1), 0xA1E5F6D4u);
        std::memset(c.storage, 0, 2);
        std::memset(c.storage + start, 0, 3);
    }
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(MemoryBus, RamAccessRunningIntoTheRegisterWindowStaysInRam) {
    // The first byte chooses the window: a long at 0xFFFFFDFE is RAM elements
    // 0xDFE..0xE01, not two bytes of RAM and two of the register image.
    core->OnChipRam[0xDFE] = 0x01;
    core->OnChipRam[0xDFF] = 0x02;
    core->OnChipRam[0xE00] = 0x03;
    core->OnChipRam[0xE01] = 0x04;
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFDFE), 0x01020304u);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFDFF), 0x0203);
    const uint8_t imageBefore[2] = {core->OnChipRegisterFile[0], core->OnChipRegisterFile[1]};
    sh2::BusWriteLong(*core, 0xFFFFFDFE, 0xA0B0C0D0);
    EXPECT_EQ(core->OnChipRam[0xE00], 0xC0);
    EXPECT_EQ(core->OnChipRam[0xE01], 0xD0);
    EXPECT_EQ(core->OnChipRegisterFile[0], imageBefore[0]);
    EXPECT_EQ(core->OnChipRegisterFile[1], imageBefore[1]);
}

// ---------------------------------------------------------------------------
// Side effects are keyed to the exact address and width.

TEST_F(MemoryBus, CompareByteWindowsActOnlyForByteAccesses) {
    // OCRA and OCRB live outside the image; a fresh core holds 0xFFFF in both
    // while the image bytes are 0.
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE14), 0xFF);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE15), 0xFF);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFE14), 0x0000);

    // Word and long writes covering the windows are plain storage.
    sh2::BusWriteWord(*core, 0xFFFFFE14, 0x1234);
    sh2::BusWriteLong(*core, 0xFFFFFE12, 0x00005678);  // covers FRC and 0xFFFFFE14/15
    EXPECT_EQ(core->OCRA, 0xFFFF);
    EXPECT_EQ(core->OCRB, 0xFFFF);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFE14), 0x5678);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE14), 0xFF);

    // Byte writes store the image byte and set the selected compare value.
    sh2::BusWriteByte(*core, 0xFFFFFE14, 0x12);
    sh2::BusWriteByte(*core, 0xFFFFFE15, 0x34);
    EXPECT_EQ(core->OCRA, 0x1234);
    EXPECT_EQ(core->OCRB, 0xFFFF);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFE14), 0x1234);

    // TOCR bit 4 selects OCRB for the byte windows.
    sh2::BusWriteByte(*core, 0xFFFFFE17, 0xF0);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE14), 0xFF);
    sh2::BusWriteByte(*core, 0xFFFFFE15, 0x9A);
    EXPECT_EQ(core->OCRB, 0xFF9A);
    EXPECT_EQ(core->OCRA, 0x1234);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE15), 0x9A);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFE14), 0x129A);
}

TEST_F(MemoryBus, TimerClockSelectFollowsOnlyByteWritesOfTcr) {
    sh2::BusWriteWord(*core, 0xFFFFFE16, 0x0200);  // TCR = 2 in the image
    sh2::BusWriteLong(*core, 0xFFFFFE14, 0x00000100);
    EXPECT_EQ(core->timerPrescalerShift, 3u);
    sh2::BusWriteByte(*core, 0xFFFFFE16, 0x01);
    EXPECT_EQ(core->timerPrescalerShift, 5u);
    EXPECT_EQ(core->timerPrescalerMask, 31u);
}

TEST_F(MemoryBus, WatchdogWordWritesAndByteReadBacks) {
    // The image gets the word; byte reads return the copies.
    sh2::BusWriteWord(*core, 0xFFFFFE80, 0xA578);
    EXPECT_EQ(core->OnChipRegisterFile[0x80], 0xA5);
    EXPECT_EQ(core->OnChipRegisterFile[0x81], 0x78);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFE80), 0xA578);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE80), 0x78);  // control copy
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x00);  // counter copy cleared
    EXPECT_EQ(core->exceptionRequest, 1);                  // TME (bit 5) set

    // Byte and long writes to the same registers only store.
    sh2::BusWriteByte(*core, 0xFFFFFE80, 0x5A);
    sh2::BusWriteLong(*core, 0xFFFFFE80, 0xA5005A11);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE80), 0x78);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x00);
    EXPECT_EQ(core->exceptionRequest, 1);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFE80), 0xA5005A11u);

    // A word write at 0xFFFFFE81 acts like one at 0xFFFFFE80; 0xFFFFFE82 only
    // stores; 0xFFFFFE83 reads the reset control copy.
    sh2::BusWriteWord(*core, 0xFFFFFE81, 0x5A42);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE81), 0x42);
    sh2::BusWriteWord(*core, 0xFFFFFE82, 0xA500);
    EXPECT_EQ(core->exceptionRequest, 1);
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE82), 0xA5);  // plain image byte
    EXPECT_EQ(sh2::BusReadByte(*core, 0xFFFFFE83), 0x1F);
}

TEST_F(MemoryBus, DivisionStartsOnlyOnLongWritesOfTheDividends) {
    sh2::BusWriteLong(*core, 0xFFFFFF00, 0xFFFFFFFE);  // DVSR = -2
    // Word write of DVDNT and a long write one byte off: plain storage.
    sh2::BusWriteWord(*core, 0xFFFFFF04, 0x0007);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF14), 0u);
    sh2::BusWriteLong(*core, 0xFFFFFF06, 0x00000007);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF04), 0x00070000u);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF14), 0u);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF10), 0u);
    // 7 / -2: quotient -3, remainder 1.
    sh2::BusWriteLong(*core, 0xFFFFFF04, 7);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF04), 0xFFFFFFFDu);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF14), 0xFFFFFFFDu);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFF10), 1u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(MemoryBus, DmaStartsOnlyOnLongWritesOfItsControlRegisters) {
    machine.recording = false;
    machine.SetLong(0x00003000, 0xFEEDFACE);
    machine.recording = true;
    sh2::BusWriteLong(*core, 0xFFFFFFB0, 1);           // DMAOR: DME
    sh2::BusWriteLong(*core, 0xFFFFFF80, 0x00003000);  // SAR0
    sh2::BusWriteLong(*core, 0xFFFFFF84, 0x00004000);  // DAR0
    sh2::BusWriteLong(*core, 0xFFFFFF88, 1);           // TCR0: one unit
    // CHCR0 = 0x0801: 4-byte units, DE. Word writes of either half start
    // nothing.
    sh2::BusWriteWord(*core, 0xFFFFFF8E, 0x0801);
    sh2::BusWriteWord(*core, 0xFFFFFF8C, 0x0000);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
    sh2::BusWriteLong(*core, 0xFFFFFF8C, 0x00000801);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 0x3000, 0xFEEDFACE), Write(4, 0x4000, 0xFEEDFACE)}));
}

// ---------------------------------------------------------------------------
// Host accesses are made once each, in program order, by the instructions.

TEST_F(MemoryBus, InstructionAccessesReachTheHostOnceInProgramOrder) {
    // mov.l @r1,r0 ; mov.w r3,@r4 ; mov.b @r5+,r6 ; mov.l r1,@r4 ;
    // mov.l @r2,r1 (r2 in on-chip RAM: no host access) ; nop
    machine.recording = false;
    machine.SetWords(0x1000, {0x6012, 0x2431, 0x6654, 0x2412, 0x6122, 0x0009});
    machine.SetLong(0x00005000, 0x01234567);
    machine.SetByte(0x00005100, 0x89);
    machine.recording = true;
    core->R[1] = 0x00005000;
    core->R[2] = 0xC0000040;
    core->R[3] = 0x0000ABCD;
    core->R[4] = 0x00006000;
    core->R[5] = 0x00005100;
    core->OnChipRam[0x40] = 0x0F;
    core->OnChipRam[0x41] = 0x1E;
    core->OnChipRam[0x42] = 0x2D;
    core->OnChipRam[0x43] = 0x3C;
    const int32_t cycles = sh2::RunCycles(*core, 5);
    EXPECT_EQ(cycles, 5);
    EXPECT_EQ(core->PC, 0x100Au);
    EXPECT_EQ(Describe(machine.accesses), Describe({
                                              Read(4, 0x00005000, 0x01234567),
                                              Write(2, 0x00006000, 0xABCD),
                                              Read(1, 0x00005100, 0x89),
                                              Write(4, 0x00006000, 0x00005000),
                                          }));
    EXPECT_EQ(core->R[0], 0x01234567u);
    EXPECT_EQ(core->R[6], 0xFFFFFF89u);
    EXPECT_EQ(core->R[1], 0x0F1E2D3Cu);
    EXPECT_EQ(machine.Long(0x00006000), 0x00005000u);
}

}  // namespace
