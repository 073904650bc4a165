// The division unit: 32-by-32 division on long writes to DVDNT, 64-by-32
// division on long writes to DVDNTL, the copies of dividend, quotient and
// remainder, division by zero and DVCR, the quotients that do not fit, and
// the writes that only store.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bus/memory.h"
#include "test_host.h"

using namespace sh2test;

namespace {

constexpr uint32_t kDvsr = 0xFFFFFF00;
constexpr uint32_t kDvdnt = 0xFFFFFF04;
constexpr uint32_t kDvcr = 0xFFFFFF08;
constexpr uint32_t kVcrdiv = 0xFFFFFF0C;
constexpr uint32_t kDvdnth = 0xFFFFFF10;
constexpr uint32_t kDvdntl = 0xFFFFFF14;
constexpr uint32_t kDvdntuh = 0xFFFFFF18;
constexpr uint32_t kDvdntul = 0xFFFFFF1C;

// The seven registers of the unit, as the program reads them.
struct Registers {
    uint32_t dvsr, dvdnt, dvcr, dvdnth, dvdntl, dvdntuh, dvdntul;
    bool operator==(const Registers &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Registers &r) {
    return out << std::hex << "DVSR " << r.dvsr << " DVDNT " << r.dvdnt << " DVCR " << r.dvcr << " DVDNTH " << r.dvdnth
               << " DVDNTL " << r.dvdntl << " DVDNTUH " << r.dvdntuh << " DVDNTUL " << r.dvdntul;
}

// Values the registers hold before a division, so that every register the
// division does not write shows up. The stale DVCR has OVF set: a successful
// division never clears it, and the other bits are the program's own.
constexpr uint32_t kStaleDvcr = 0x5A5A0001;
constexpr uint32_t kStaleUpper = 0xDEAD0018;
constexpr uint32_t kStaleUpperLow = 0xDEAD001C;

class DivisionUnit : public OnChipTest {
protected:
    Registers Read() {
        return {sh2::BusReadLong(*core, kDvsr),   sh2::BusReadLong(*core, kDvdnt),  sh2::BusReadLong(*core, kDvcr),
                sh2::BusReadLong(*core, kDvdnth), sh2::BusReadLong(*core, kDvdntl), sh2::BusReadLong(*core, kDvdntuh),
                sh2::BusReadLong(*core, kDvdntul)};
    }

    // Fills every register with a stale value, then sets the divisor.
    void Prepare(uint32_t divisor) {
        sh2::BusWriteLong(*core, kDvcr, kStaleDvcr);
        sh2::BusWriteLong(*core, kDvdntuh, kStaleUpper);
        sh2::BusWriteLong(*core, kDvdntul, kStaleUpperLow);
        sh2::BusWriteLong(*core, kDvsr, divisor);
    }
};

struct DivisionCase {
    bool wide;          // 64 by 32 (DVDNTH:DVDNTL) rather than 32 by 32 (DVDNT, the low half here)
    uint64_t dividend;  // as the register bits
    int32_t divisor;
    uint32_t low;   // the quotient, or the dividend's low half after a division by zero
    uint32_t high;  // the remainder, or the dividend's high half (32 by 32: its sign) after a division by zero
};

std::ostream &operator<<(std::ostream &out, const DivisionCase &c) {
    return out << std::hex << "0x" << c.dividend << (c.wide ? " (64-bit)" : "") << " / " << std::dec << c.divisor;
}

const DivisionCase kDivisions[] = {
    {false, 0x00000007, -2, 0xFFFFFFFD, 1},          // 7 / -2
    {false, 0xFFFFFFF9, 2, 0xFFFFFFFD, 0xFFFFFFFF},  // -7 / 2
    {false, 0xFFFFFFF9, -2, 3, 0xFFFFFFFF},          // -7 / -2
    {false, 0x7FFFFFFF, -1, 0x80000001, 0},
    {false, 0x80000000, 3, 0xD5555556, 0xFFFFFFFE},
    {false, 0x7FFFFFFF, INT32_MIN, 0, 0x7FFFFFFF},
    {false, 0x80000000, -1, 0x80000000, 0},  // the quotient 2^31 does not fit: its low 32 bits
    {false, 0x00000005, 0, 0x00000005, 0},
    {false, 0x80000000, 0, 0x80000000, 0xFFFFFFFF},
    {true, 0x0000000100000000, 1, 0, 0},  // quotient 2^32: low bits 0, no OVF
    {true, 0xFFFFFFFFFFFFFFF9, -2, 3, 0xFFFFFFFF},
    {true, 0x123456789ABCDEF0, 0x10000, 0x56789ABC, 0xDEF0},
    {true, 0x7FFFFFFFFFFFFFFF, INT32_MAX, 2, 1},
    {true, 0x8000000000000000, -1, 0, 0},  // the quotient 2^63 does not fit in 64 bits either
    {true, 0x8000000000000001, -1, 0xFFFFFFFF, 0},
    {true, 0xFEDCBA9876543210, 0, 0x76543210, 0xFEDCBA98},
};

class Division : public DivisionUnit, public ::testing::WithParamInterface<DivisionCase> {};

TEST_P(Division, LongWritesOfTheDividendsDivide) {
    const DivisionCase &c = GetParam();
    const auto divisor = static_cast<uint32_t>(c.divisor);
    Prepare(divisor);
    if (c.wide) {
        sh2::BusWriteLong(*core, kDvdnt, 0x0BAD0004);  // a stale DVDNT (divides)
        Prepare(divisor);
        sh2::BusWriteLong(*core, kDvdnth, static_cast<uint32_t>(c.dividend >> 32));
        sh2::BusWriteLong(*core, kDvdntl, static_cast<uint32_t>(c.dividend));
    } else {
        sh2::BusWriteLong(*core, kDvdnt, static_cast<uint32_t>(c.dividend));
    }
    if (divisor == 0) {
        // OVF, with DVCR written whole; the dividend stays and DVDNTUH keeps its old value.
        EXPECT_EQ(Read(), (Registers{0, c.low, 0x00000001, c.high, c.low, kStaleUpper, c.low}));
    } else {
        // The quotient in DVDNT, DVDNTL and DVDNTUL, the remainder in DVDNTH
        // and DVDNTUH, DVCR untouched.
        EXPECT_EQ(Read(), (Registers{divisor, c.low, kStaleDvcr, c.high, c.low, c.high, c.low}));
    }
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

INSTANTIATE_TEST_SUITE_P(Table, Division, ::testing::ValuesIn(kDivisions),
                         [](const ::testing::TestParamInfo<DivisionCase> &test) {
                             return std::to_string(test.index) + (test.param.wide ? "_64_bit" : "_32_bit");
                         });

// Long writes to the other registers of the unit and above it, a long write
// two bytes into DVDNT, and word and byte writes of the dividends: the
// written bytes read back and nothing else changes.
struct StoreCase {
    int width;
    uint32_t address;
};
std::ostream &operator<<(std::ostream &out, const StoreCase &c) {
    return out << "width " << c.width << std::hex << " at 0x" << c.address;
}
const StoreCase kStores[] = {
    {4, kDvsr},      {4, kDvcr},      {4, kVcrdiv}, {4, kDvdnth},     {4, kDvdntuh},   {4, kDvdntul},
    {4, 0xFFFFFF3C}, {4, kDvdnt + 2}, {2, kDvdnt},  {2, kDvdntl + 2}, {1, kDvdnt + 3}, {1, kDvdntl + 3},
};

class Store : public DivisionUnit, public ::testing::WithParamInterface<StoreCase> {
protected:
    std::vector<uint8_t> Bytes() {
        std::vector<uint8_t> all;
        for (uint32_t address = kDvsr; address < 0xFFFFFF40; ++address) all.push_back(sh2::BusReadByte(*core, address));
        return all;
    }
};

TEST_P(Store, OtherWritesOnlyStore) {
    const StoreCase &c = GetParam();
    sh2::BusWriteLong(*core, kDvsr, 3);
    sh2::BusWriteLong(*core, kDvdnt, 10);  // 3 r 1
    std::vector<uint8_t> expected = Bytes();
    const uint8_t value[] = {0x81, 0x82, 0x83, 0x84};
    for (int i = 0; i < c.width; ++i) expected[c.address - kDvsr + static_cast<uint32_t>(i)] = value[i];
    if (c.width == 4) {
        sh2::BusWriteLong(*core, c.address, 0x81828384);
    } else if (c.width == 2) {
        sh2::BusWriteWord(*core, c.address, 0x8182);
    } else {
        sh2::BusWriteByte(*core, c.address, 0x81);
    }
    EXPECT_EQ(Bytes(), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Store, ::testing::ValuesIn(kStores),
                         [](const ::testing::TestParamInfo<StoreCase> &test) {
                             char name[32];
                             std::snprintf(name, sizeof name, "width%d_at_%08X", test.param.width,
                                           static_cast<unsigned>(test.param.address));
                             return std::string(name);
                         });

}  // namespace
