// The watchdog timer: side effects of its word writes and byte reads.
#pragma once

#include <cstdint>

#include "core/sh2_core.h"

namespace sh2 {

// A word write to 0xFFFFFE80 or 0xFFFFFE81, after the word is stored: its
// high byte (0x5A or 0xA5) says which copy the low byte goes to.
void WatchdogWriteWord(SH2Core &core, uint16_t value);
// Byte reads of 0xFFFFFE80, 0xFFFFFE81 and 0xFFFFFE83.
uint8_t WatchdogReadByte(const SH2Core &core, uint32_t address);

}  // namespace sh2
