// The division unit: a long write to DVDNT or DVDNTL performs the whole
// signed division at once, leaving quotient, remainder and the overflow flag
// in the register image.
#include "bus/division_unit.h"
#include "bus/memory.h"
#include "bus/onchip_registers.h"

namespace sh2 {
namespace {

constexpr uint32_t kDivisionOverflow = 0x00000001;  // DVCR.OVF

// The division is done in 64 bits, so that the one quotient that does not fit
// in 64-bit signed arithmetic (-2^63 / -1) is the only special case: its low
// 32 bits are 0 and the remainder is 0.
void Divide(SH2Core &core, int64_t dividend, int64_t divisor) {
    int64_t quotient;
    int64_t remainder;
    if (dividend == INT64_MIN && divisor == -1) {
        quotient = 0;
        remainder = 0;
    } else {
        quotient = dividend / divisor;
        remainder = dividend % divisor;
    }
    const auto quotientLow = static_cast<uint32_t>(static_cast<uint64_t>(quotient));
    const auto remainderLow = static_cast<uint32_t>(static_cast<uint64_t>(remainder));
    SetImageLong(core, reg::DVDNTH, remainderLow);
    SetImageLong(core, reg::DVDNTUH, remainderLow);
    SetImageLong(core, reg::DVDNTL, quotientLow);
    SetImageLong(core, reg::DVDNTUL, quotientLow);
}

int64_t Divisor(const SH2Core &core) {
    return static_cast<int32_t>(ImageLong(core, reg::DVSR));
}

// 32-by-32 signed division of DVDNT by DVSR.
void Divide32(SH2Core &core) {
    const int64_t divisor = Divisor(core);
    if (divisor == 0) {
        SetImageLong(core, reg::DVCR, kDivisionOverflow);
    } else {
        Divide(core, static_cast<int32_t>(ImageLong(core, reg::DVDNT)), divisor);
    }
    SetImageLong(core, reg::DVDNT, ImageLong(core, reg::DVDNTL));
}

// 64-by-32 signed division of DVDNTH:DVDNTL by DVSR.
void Divide64(SH2Core &core) {
    const int64_t divisor = Divisor(core);
    if (divisor == 0) {
        SetImageLong(core, reg::DVCR, kDivisionOverflow);
    } else {
        const uint64_t dividend =
            (static_cast<uint64_t>(ImageLong(core, reg::DVDNTH)) << 32) | ImageLong(core, reg::DVDNTL);
        Divide(core, static_cast<int64_t>(dividend), divisor);
    }
    SetImageLong(core, reg::DVDNT, ImageLong(core, reg::DVDNTL));
}

}  // namespace

void DivisionUnitWriteDividend32(SH2Core &core, uint32_t value) {
    SetImageLong(core, reg::DVDNTL, value);
    SetImageLong(core, reg::DVDNTUL, value);
    SetImageLong(core, reg::DVDNTH, (value & 0x80000000u) != 0 ? 0xFFFFFFFFu : 0u);
    Divide32(core);
}

void DivisionUnitWriteDividend64(SH2Core &core, uint32_t value) {
    SetImageLong(core, reg::DVDNTUL, value);
    Divide64(core);
}

}  // namespace sh2
