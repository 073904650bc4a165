// The memory access layer: which of the three destinations each address and
// direction reaches, byte order, and wrap-around at the window ends. The side
// effects of the on-chip registers are tested with their peripherals.
#include <gtest/gtest.h>

#include <vector>

#include "bus/memory.h"
#include "test_host.h"

using namespace sh2test;

namespace {

class MemoryBus : public OnChipTest {
protected:
    std::vector<uint8_t> Ram() const { return {core->OnChipRam, core->OnChipRam + sh2::kOnChipRamSize}; }
    std::vector<uint8_t> Image() const {
        return {core->OnChipRegisterFile, core->OnChipRegisterFile + sh2::kOnChipRegisterFileSize};
    }
};

enum class Destination { RegisterWindow, Ram, Host, Dropped };

struct RouteCase {
    uint32_t address;
    Destination reads;
    Destination writes;
};

// The ranges and their edges, including addresses that are negative when
// taken as signed numbers (the tests are unsigned), and odd addresses: no
// access is aligned or masked, and one that runs past the end of a window
// wraps inside it.
const RouteCase kRoutes[] = {
    {0x06000001, Destination::Host, Destination::Host},
    {0x26000000, Destination::Host, Destination::Host},
    {0x3FFFFFF8, Destination::Host, Destination::Host},  // the long at +4 ends on the write limit
    {0x40000000, Destination::Host, Destination::Dropped},
    {0x80000000, Destination::Host, Destination::Dropped},
    {0xBFFFFFF8, Destination::Host, Destination::Dropped},
    {0xC0000000, Destination::Ram, Destination::Ram},
    {0xE0001233, Destination::Ram, Destination::Ram},  // RAM element 0x233: 4 KB aliased throughout
    {0xC0000FFD, Destination::Ram, Destination::Ram},  // the long read and the word write wrap
    {0xC0000FFF, Destination::Ram, Destination::Ram},  // the word and long reads wrap
    {0xFFFFFDF8, Destination::Ram, Destination::Ram},
    {0xFFFFFE00, Destination::RegisterWindow, Destination::RegisterWindow},
    {0xFFFFFE41, Destination::RegisterWindow, Destination::RegisterWindow},
    {0xFFFFFFFA, Destination::RegisterWindow, Destination::RegisterWindow},  // the long write wraps
};

class MemoryRoute : public MemoryBus, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(MemoryRoute, EachAddressReachesItsDestinationOrNowhere) {
    const RouteCase &c = GetParam();
    const uint8_t hostBytes[] = {0x11, 0x22, 0x33, 0x44};
    const uint8_t ramBytes[] = {0x55, 0x66, 0x77, 0x88};
    const uint8_t imageBytes[] = {0x99, 0xAA, 0xBB, 0xCC};
    // A byte at +0, a word at +2 and a long at +4; byte 1 is not written.
    const uint8_t written[] = {0xA1, 0x00, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07};
    const uint32_t ramOffset = c.address & (sh2::kOnChipRamSize - 1);
    const uint32_t imageOffset = c.address & (sh2::kOnChipRegisterFileSize - 1);
    // Distinct contents in the three places a read could come from.
    machine.SetLong(c.address, 0x11223344);
    for (uint32_t i = 0; i < 4; ++i) {
        core->OnChipRam[(ramOffset + i) % sh2::kOnChipRamSize] = ramBytes[i];
        core->OnChipRegisterFile[(imageOffset + i) % sh2::kOnChipRegisterFileSize] = imageBytes[i];
    }
    const uint8_t *source = c.reads == Destination::Host  ? hostBytes
                            : c.reads == Destination::Ram ? ramBytes
                                                          : imageBytes;
    const uint32_t word = uint32_t{source[0]} << 8 | source[1];
    const uint32_t longValue = word << 16 | uint32_t{source[2]} << 8 | source[3];
    EXPECT_EQ(sh2::BusReadByte(*core, c.address), source[0]);
    EXPECT_EQ(sh2::BusReadWord(*core, c.address), word);
    EXPECT_EQ(sh2::BusReadLong(*core, c.address), longValue);
    std::vector<HostAccess> expected;
    if (c.reads == Destination::Host) {
        expected = {Read(1, c.address, source[0]), Read(2, c.address, word), Read(4, c.address, longValue)};
    }
    EXPECT_EQ(Describe(machine.accesses), Describe(expected));

    machine.accesses.clear();
    std::vector<uint8_t> ram = Ram();
    std::vector<uint8_t> image = Image();
    expected.clear();
    for (uint32_t i = 0; i < 8; ++i) {
        if (i == 1) continue;
        if (c.writes == Destination::Ram) ram[(ramOffset + i) % ram.size()] = written[i];
        if (c.writes == Destination::RegisterWindow) image[(imageOffset + i) % image.size()] = written[i];
    }
    if (c.writes == Destination::Host) {
        expected = {Write(1, c.address, 0xA1), Write(2, c.address + 2, 0xB2C3), Write(4, c.address + 4, 0xD4E5F607)};
    }
    sh2::BusWriteByte(*core, c.address, 0xA1);
    sh2::BusWriteWord(*core, c.address + 2, 0xB2C3);
    sh2::BusWriteLong(*core, c.address + 4, 0xD4E5F607);
    EXPECT_EQ(Describe(machine.accesses), Describe(expected));
    EXPECT_TRUE(Ram() == ram) << "on-chip RAM";
    EXPECT_TRUE(Image() == image) << "register image";
}

INSTANTIATE_TEST_SUITE_P(Table, MemoryRoute, ::testing::ValuesIn(kRoutes), AddressName());

TEST_F(MemoryBus, TheFirstByteChoosesTheDestinationOfTheWholeAccess) {
    // 0xBFFFFFFE is host memory, with writes dropped, although the access runs
    // into 0xC0000000; a long at 0xFFFFFDFE is RAM elements 0xDFE..0xE01, not
    // two bytes of RAM and two of the register image.
    machine.SetLong(0xBFFFFFFE, 0x41424344);
    for (uint32_t i = 0; i < 4; ++i) {
        core->OnChipRam[0xDFE + i] = static_cast<uint8_t>(1 + i);
    }
    std::vector<uint8_t> ram = Ram();
    const std::vector<uint8_t> image = Image();
    EXPECT_EQ(sh2::BusReadLong(*core, 0xBFFFFFFE), 0x41424344u);
    EXPECT_EQ(sh2::BusReadLong(*core, 0xFFFFFDFE), 0x01020304u);
    EXPECT_EQ(sh2::BusReadWord(*core, 0xFFFFFDFF), 0x0203);
    sh2::BusWriteLong(*core, 0xBFFFFFFE, 0x22222222);
    sh2::BusWriteLong(*core, 0xFFFFFDFE, 0xA0B0C0D0);
    EXPECT_EQ(Describe(machine.accesses), Describe({Read(4, 0xBFFFFFFE, 0x41424344)}));
    ram[0xDFE] = 0xA0;
    ram[0xDFF] = 0xB0;
    ram[0xE00] = 0xC0;
    ram[0xE01] = 0xD0;
    EXPECT_TRUE(Ram() == ram);
    EXPECT_TRUE(Image() == image);
}

}  // namespace
