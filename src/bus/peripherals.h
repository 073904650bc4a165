// The division unit, the DMA controller and the watchdog: side effects of
// writes to their on-chip registers.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// 32-by-32 signed division of DVDNT by DVSR.
void Divide32(SH2Core &core);
// 64-by-32 signed division of DVDNTH:DVDNTL by DVSR.
void Divide64(SH2Core &core);
// The long write to DVDNT: copies the dividend, sign-extends it into DVDNTH
// and divides.
void DivisionUnitWriteDividend32(SH2Core &core, uint32_t value);
// The long write to DVDNTL: copies the dividend to DVDNTUL and divides.
void DivisionUnitWriteDividend64(SH2Core &core, uint32_t value);

// Performs channel 0's or 1's whole transfer through the host callbacks.
void RunDmaChannel(SH2Core &core, int channel);
// Long writes to CHCR0, CHCR1 and DMAOR, after the value is stored.
void DmaWriteChannelControl(SH2Core &core, int channel, uint32_t value);
void DmaWriteOperation(SH2Core &core, uint32_t value);

// Word writes at 0xFFFFFE80..0xFFFFFE82, after the word is stored.
void WatchdogWriteWord(SH2Core &core, uint32_t address, uint16_t value);
// Byte reads of 0xFFFFFE80, 0xFFFFFE81 and 0xFFFFFE83.
uint8_t WatchdogReadByte(const SH2Core &core, uint32_t address);

}  // namespace sh2
