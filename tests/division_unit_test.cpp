// The division unit: 32-by-32 division on long writes to DVDNT, 64-by-32
// division on long writes to DVDNTL, the copies of dividend, quotient and
// remainder, division by zero and DVCR, the quotients that do not fit, and
// agreement with reference arithmetic over many operand pairs.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "bus/memory.h"
#include "isa/run_loop.h"
#include "spine_test_util.h"

using namespace sh2test;
using namespace spinetest;

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
    return out << std::hex << "DVSR " << r.dvsr << " DVDNT " << r.dvdnt << " DVCR " << r.dvcr << " DVDNTH "
               << r.dvdnth << " DVDNTL " << r.dvdntl << " DVDNTUH " << r.dvdntuh << " DVDNTUL " << r.dvdntul;
}

// Values the registers hold before a division, so that every register the
// division does not write shows up.
constexpr uint32_t kStaleDvcr = 0x5A5A0000;
constexpr uint32_t kStaleUpper = 0xDEAD0018;
constexpr uint32_t kStaleUpperLow = 0xDEAD001C;

class DivisionUnit : public ::testing::Test {
protected:
    void SetUp() override {
        machine.Reset();
        MakeCore(core);
        machine.accesses.clear();
    }

    Registers Read() {
        return {sh2::BusReadLong(*core, kDvsr),   sh2::BusReadLong(*core, kDvdnt),
                sh2::BusReadLong(*core, kDvcr),   sh2::BusReadLong(*core, kDvdnth),
                sh2::BusReadLong(*core, kDvdntl), sh2::BusReadLong(*core, kDvdntuh),
                sh2::BusReadLong(*core, kDvdntul)};
    }

    // Fills every register with a stale value, then sets the divisor.
    void Prepare(uint32_t divisor) {
        sh2::BusWriteLong(*core, kDvcr, kStaleDvcr);
        sh2::BusWriteLong(*core, kDvdntuh, kStaleUpper);
        sh2::BusWriteLong(*core, kDvdntul, kStaleUpperLow);
        sh2::BusWriteLong(*core, kDvsr, divisor);
    }

    void Divide32(uint32_t divisor, uint32_t dividend) {
        Prepare(divisor);
        sh2::BusWriteLong(*core, kDvdnt, dividend);
    }

    void Divide64(uint32_t divisor, uint64_t dividend) {
        Prepare(divisor);
        sh2::BusWriteLong(*core, kDvdnt, 0x0BAD0004);  // a stale DVDNT (divides)
        sh2::BusWriteLong(*core, kDvcr, kStaleDvcr);
        sh2::BusWriteLong(*core, kDvdntuh, kStaleUpper);
        sh2::BusWriteLong(*core, kDvdntul, kStaleUpperLow);
        sh2::BusWriteLong(*core, kDvdnth, static_cast<uint32_t>(dividend >> 32));
        sh2::BusWriteLong(*core, kDvdntl, static_cast<uint32_t>(dividend));
    }

    TestMachine &machine = TestMachine::Get();
    CoreHandle core;
};

// The expected registers after a successful division: quotient in DVDNT,
// DVDNTL and DVDNTUL, remainder in DVDNTH and DVDNTUH, DVCR untouched.
Registers Success(uint32_t divisor, uint32_t quotient, uint32_t remainder) {
    return {divisor, quotient, kStaleDvcr, remainder, quotient, remainder, quotient};
}

// Reference arithmetic: truncating quotient and a remainder with the
// dividend's sign, in 64 bits, keeping the low 32 bits of each. Dividing by
// -1 is negation, done unsigned so that -2^63 / -1 (2^63) wraps instead of
// trapping.
struct Reference {
    uint32_t quotient, remainder;
};
Reference ReferenceDivide(int64_t dividend, int32_t divisor) {
    if (divisor == -1) {
        return {static_cast<uint32_t>(0 - static_cast<uint64_t>(dividend)), 0};
    }
    const int64_t q = dividend / divisor;
    const int64_t r = dividend % divisor;
    return {static_cast<uint32_t>(static_cast<uint64_t>(q)), static_cast<uint32_t>(static_cast<uint64_t>(r))};
}

// ---------------------------------------------------------------------------
// 32 by 32

struct Case32 {
    int32_t dividend, divisor;
    uint32_t quotient, remainder;
};

TEST_F(DivisionUnit, LongWriteToDvdntDividesAndCopiesTheResults) {
    const Case32 cases[] = {
        {7, -2, 0xFFFFFFFD, 1},
        {-7, 2, 0xFFFFFFFD, 0xFFFFFFFF},
        {-7, -2, 3, 0xFFFFFFFF},
        {7, 2, 3, 1},
        {6, 3, 2, 0},
        {0, 5, 0, 0},
        {1, 7, 0, 1},
        {-1, 7, 0, 0xFFFFFFFF},
        {INT32_MAX, 1, 0x7FFFFFFF, 0},
        {INT32_MAX, -1, 0x80000001, 0},
        {INT32_MIN, 1, 0x80000000, 0},
        {INT32_MIN, 2, 0xC0000000, 0},
        {INT32_MIN, 3, 0xD5555556, 0xFFFFFFFE},
        {INT32_MIN, INT32_MIN, 1, 0},
        {INT32_MAX, INT32_MIN, 0, 0x7FFFFFFF},
        // The quotient 2^31 does not fit: its low 32 bits, remainder 0.
        {INT32_MIN, -1, 0x80000000, 0},
    };
    for (const Case32 &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dividend << " / " << c.divisor);
        const auto divisor = static_cast<uint32_t>(c.divisor);
        Divide32(divisor, static_cast<uint32_t>(c.dividend));
        EXPECT_EQ(Read(), Success(divisor, c.quotient, c.remainder));
    }
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

TEST_F(DivisionUnit, Divide32ByZeroSetsOvfAndKeepsTheDividend) {
    struct ZeroCase {
        uint32_t dividend, signExtension;
    };
    const ZeroCase cases[] = {{5, 0}, {0, 0}, {0x7FFFFFFF, 0}, {0x80000000, 0xFFFFFFFF}, {0xFFFFFFFB, 0xFFFFFFFF}};
    for (const ZeroCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "dividend 0x" << c.dividend);
        Divide32(0, c.dividend);
        // DVCR is written whole; DVDNTUH keeps its old value.
        EXPECT_EQ(Read(), (Registers{0, c.dividend, 0x00000001, c.signExtension, c.dividend, kStaleUpper,
                                     c.dividend}));
    }
}

// ---------------------------------------------------------------------------
// 64 by 32

struct Case64 {
    uint64_t dividend;
    int32_t divisor;
    uint32_t quotient, remainder;
};

TEST_F(DivisionUnit, LongWriteToDvdntlDividesTheSixtyFourBitDividend) {
    const Case64 cases[] = {
        {0x0000000100000000, 2, 0x80000000, 0},  // 2^32 / 2
        {0x0000000100000000, 1, 0, 0},           // quotient 2^32: low bits 0, no OVF
        {0x0000000100000000, -1, 0, 0},
        {0x0000000000000007, -2, 0xFFFFFFFD, 1},
        {0xFFFFFFFFFFFFFFF9, 2, 0xFFFFFFFD, 0xFFFFFFFF},  // -7 / 2
        {0xFFFFFFFFFFFFFFF9, -2, 3, 0xFFFFFFFF},
        {0x0000000012345678, 0x1000, 0x00012345, 0x678},
        {0x123456789ABCDEF0, 0x10000, 0x56789ABC, 0xDEF0},
        {0x00000003FFFFFFFF, 4, 0xFFFFFFFF, 3},
        {0x7FFFFFFFFFFFFFFF, INT32_MAX, 0x00000002, 0x00000001},
        {0x8000000000000000, 1, 0, 0},
        {0x8000000000000000, INT32_MIN, 0, 0},  // 2^32 exactly
        // -2^63 / -1: the quotient 2^63 does not fit in 64 bits either.
        {0x8000000000000000, -1, 0, 0},
        {0x8000000000000001, -1, 0xFFFFFFFF, 0},
        {0x0000000080000000, -1, 0x80000000, 0},
    };
    for (const Case64 &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "0x" << c.dividend << " / " << std::dec << c.divisor);
        const auto divisor = static_cast<uint32_t>(c.divisor);
        Divide64(divisor, c.dividend);
        EXPECT_EQ(Read(), Success(divisor, c.quotient, c.remainder));
    }
}

TEST_F(DivisionUnit, Divide64ByZeroSetsOvfAndKeepsBothHalves) {
    Divide64(0, 0xFEDCBA9876543210);
    EXPECT_EQ(Read(), (Registers{0, 0x76543210, 0x00000001, 0xFEDCBA98, 0x76543210, kStaleUpper, 0x76543210}));
}

TEST_F(DivisionUnit, SuccessNeverClearsOvf) {
    Divide32(0, 9);
    ASSERT_EQ(sh2::BusReadLong(*core, kDvcr), 1u);
    sh2::BusWriteLong(*core, kDvsr, 4);
    sh2::BusWriteLong(*core, kDvdnt, 9);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvcr), 1u);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvdnt), 2u);
    sh2::BusWriteLong(*core, kDvdnth, 0);
    sh2::BusWriteLong(*core, kDvdntl, 13);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvcr), 1u);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvdntl), 3u);
    // Only the program clears it; other DVCR bits are its own too.
    sh2::BusWriteLong(*core, kDvcr, 0x00000002);
    sh2::BusWriteLong(*core, kDvdnt, 9);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvcr), 2u);
}

TEST_F(DivisionUnit, OtherWritesOnlyStore) {
    // Long writes to the operand and result registers themselves, to VCRDIV
    // and to the addresses above the unit start nothing.
    const uint32_t addresses[] = {kDvsr, kDvcr, kVcrdiv, kDvdnth, kDvdntuh, kDvdntul, 0xFFFFFF20, 0xFFFFFF24,
                                  0xFFFFFF34, 0xFFFFFF3C};
    sh2::BusWriteLong(*core, kDvsr, 3);
    sh2::BusWriteLong(*core, kDvdnt, 10);  // 3 r 1
    const Registers before = Read();
    for (uint32_t address : addresses) {
        SCOPED_TRACE(testing::Message() << std::hex << "0x" << address);
        const uint32_t old = sh2::BusReadLong(*core, address);
        sh2::BusWriteLong(*core, address, 0x11223344);
        EXPECT_EQ(sh2::BusReadLong(*core, address), 0x11223344u);
        Registers expected = before;
        switch (address) {
            case kDvsr: expected.dvsr = 0x11223344; break;
            case kDvcr: expected.dvcr = 0x11223344; break;
            case kDvdnth: expected.dvdnth = 0x11223344; break;
            case kDvdntuh: expected.dvdntuh = 0x11223344; break;
            case kDvdntul: expected.dvdntul = 0x11223344; break;
            default: break;
        }
        EXPECT_EQ(Read(), expected);
        sh2::BusWriteLong(*core, address, old);
    }
    // Byte writes of the dividends' low bytes store only.
    sh2::BusWriteByte(*core, kDvdnt + 3, 0x40);
    sh2::BusWriteByte(*core, kDvdntl + 3, 0x40);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvdnt), 0x00000040u);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvdntl), 0x00000040u);
    EXPECT_EQ(sh2::BusReadLong(*core, kDvdnth), 1u);
}

// ---------------------------------------------------------------------------
// Against reference arithmetic

// Operands of every magnitude: a random 64-bit pattern cut down to a random
// number of significant bits, so that small quotients, large ones and
// quotients that do not fit all occur.
uint64_t RandomOperand(std::mt19937_64 &random) {
    const uint64_t bits = random();
    const unsigned keep = static_cast<unsigned>(random() % 65);
    const uint64_t cut = keep == 64 ? bits : bits & ((uint64_t{1} << keep) - 1);
    // Sign-extend from the kept width half of the time.
    if (keep != 0 && keep != 64 && (random() & 1) != 0 && ((cut >> (keep - 1)) & 1) != 0) {
        return cut | ~((uint64_t{1} << keep) - 1);
    }
    return cut;
}

TEST_F(DivisionUnit, Divide32MatchesReferenceArithmetic) {
    std::mt19937_64 random(0x5348325F44495655ull);
    for (int i = 0; i < 20000; ++i) {
        const auto dividend = static_cast<int32_t>(static_cast<uint32_t>(RandomOperand(random)));
        const auto divisor = static_cast<int32_t>(static_cast<uint32_t>(RandomOperand(random)));
        Divide32(static_cast<uint32_t>(divisor), static_cast<uint32_t>(dividend));
        const auto n = static_cast<uint32_t>(dividend);
        if (divisor == 0) {
            const uint32_t sign = dividend < 0 ? 0xFFFFFFFF : 0;
            ASSERT_EQ(Read(), (Registers{0, n, 1, sign, n, kStaleUpper, n})) << dividend << " / 0";
            continue;
        }
        const Reference want = ReferenceDivide(dividend, divisor);
        ASSERT_EQ(Read(), Success(static_cast<uint32_t>(divisor), want.quotient, want.remainder))
            << dividend << " / " << divisor;
    }
}

TEST_F(DivisionUnit, Divide64MatchesReferenceArithmetic) {
    std::mt19937_64 random(0x4449565536344249ull);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t dividend = RandomOperand(random);
        const auto divisor = static_cast<int32_t>(static_cast<uint32_t>(RandomOperand(random)));
        Divide64(static_cast<uint32_t>(divisor), dividend);
        const auto high = static_cast<uint32_t>(dividend >> 32);
        const auto low = static_cast<uint32_t>(dividend);
        if (divisor == 0) {
            ASSERT_EQ(Read(), (Registers{0, low, 1, high, low, kStaleUpper, low})) << std::hex << dividend << " / 0";
            continue;
        }
        const Reference want = ReferenceDivide(static_cast<int64_t>(dividend), divisor);
        ASSERT_EQ(Read(), Success(static_cast<uint32_t>(divisor), want.quotient, want.remainder))
            << std::hex << "0x" << dividend << " / " << std::dec << divisor;
    }
}

// ---------------------------------------------------------------------------
// From a program

TEST_F(DivisionUnit, TheNextInstructionReadsTheResults) {
    // mov.l r3,@(4,r1) (DVDNT) ; mov.l @(0x14,r1),r4 (DVDNTL) ;
    // mov.l @(0x10,r1),r5 (DVDNTH) ; nop
    machine.recording = false;
    machine.SetWords(0x1000, {0x1131, 0x5415, 0x5514, 0x0009});
    machine.recording = true;
    core->R[1] = 0xFFFFFF00;
    core->R[3] = static_cast<uint32_t>(-100);
    sh2::BusWriteLong(*core, kDvsr, 7);
    EXPECT_EQ(sh2::RunCycles(*core, 3), 3);
    EXPECT_EQ(core->R[4], static_cast<uint32_t>(-14));
    EXPECT_EQ(core->R[5], static_cast<uint32_t>(-2));
    EXPECT_EQ(core->PC, 0x1006u);
    EXPECT_TRUE(machine.accesses.empty()) << Describe(machine.accesses);
}

}  // namespace
