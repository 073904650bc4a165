// The DMA controller: side effects of the long writes to its control
// registers.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// Long writes to CHCR0 or CHCR1 and to DMAOR, after the value is stored.
void DmaWriteChannelControl(SH2Core &core, int channel, uint32_t value);
void DmaWriteOperation(SH2Core &core, uint32_t value);

}  // namespace sh2
