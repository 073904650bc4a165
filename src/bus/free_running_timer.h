// The on-chip free-running timer, advanced once per slice.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// Advances FRC by the slice's cycles through the prescaler, then tests
// overflow, compare A and compare B (in that order) and requests their
// interrupts. One shift and one mask whatever the number of cycles.
void UpdateFreeRunningTimer(SH2Core &core, int32_t cycles);

// The input-capture event: requests the capture interrupt if enabled, copies
// FRC into ICR and sets ICF.
void CaptureInput(SH2Core &core);

// Byte-window side effects of OnChipReadByte / OnChipWriteByte.
uint8_t TimerReadCompareByte(const SH2Core &core, uint32_t address);
void TimerWriteCompareByte(SH2Core &core, uint32_t address, uint8_t value);
void TimerWriteControl(SH2Core &core, uint8_t value);

}  // namespace sh2
