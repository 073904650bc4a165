// The division unit: side effects of the long writes to its dividend
// registers.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// The long write to DVDNT: copies the dividend, sign-extends it into DVDNTH
// and divides.
void DivisionUnitWriteDividend32(SH2Core &core, uint32_t value);
// The long write to DVDNTL: copies the dividend to DVDNTUL and divides.
void DivisionUnitWriteDividend64(SH2Core &core, uint32_t value);

}  // namespace sh2
