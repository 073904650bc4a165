// Addresses of the on-chip registers the library gives a meaning to.
#pragma once

#include <cstdint>

namespace sh2::reg {

// Free-running timer.
inline constexpr uint32_t TIER = 0xFFFFFE10;
inline constexpr uint32_t FTCSR = 0xFFFFFE11;
inline constexpr uint32_t FRC = 0xFFFFFE12;   // FRCH, FRCL
inline constexpr uint32_t OCRH = 0xFFFFFE14;  // OCRAH / OCRBH byte window
inline constexpr uint32_t OCRL = 0xFFFFFE15;  // OCRAL / OCRBL byte window
inline constexpr uint32_t TCR = 0xFFFFFE16;
inline constexpr uint32_t TOCR = 0xFFFFFE17;
inline constexpr uint32_t ICR = 0xFFFFFE18;        // ICRH, ICRL
inline constexpr uint32_t IPRB_HIGH = 0xFFFFFE60;  // low nibble: timer interrupt level
inline constexpr uint32_t VCRC_HIGH = 0xFFFFFE66;  // input-capture vector
inline constexpr uint32_t VCRC_LOW = 0xFFFFFE67;   // output-compare vector
inline constexpr uint32_t VCRD_HIGH = 0xFFFFFE68;  // overflow vector

// Watchdog.
inline constexpr uint32_t WTCSR = 0xFFFFFE80;
inline constexpr uint32_t WTCNT = 0xFFFFFE81;
inline constexpr uint32_t RSTCSR = 0xFFFFFE83;

// Interrupt controller.
inline constexpr uint32_t IPRA_HIGH = 0xFFFFFEE2;  // low nibble: DMA interrupt level

// Division unit.
inline constexpr uint32_t DVSR = 0xFFFFFF00;
inline constexpr uint32_t DVDNT = 0xFFFFFF04;
inline constexpr uint32_t DVCR = 0xFFFFFF08;
inline constexpr uint32_t DVDNTH = 0xFFFFFF10;
inline constexpr uint32_t DVDNTL = 0xFFFFFF14;
inline constexpr uint32_t DVDNTUH = 0xFFFFFF18;
inline constexpr uint32_t DVDNTUL = 0xFFFFFF1C;

// DMA controller: channel 1's registers lie 0x10 above channel 0's.
inline constexpr uint32_t SAR0 = 0xFFFFFF80;
inline constexpr uint32_t DAR0 = 0xFFFFFF84;
inline constexpr uint32_t TCR0 = 0xFFFFFF88;
inline constexpr uint32_t CHCR0 = 0xFFFFFF8C;
inline constexpr uint32_t SAR1 = 0xFFFFFF90;
inline constexpr uint32_t DAR1 = 0xFFFFFF94;
inline constexpr uint32_t TCR1 = 0xFFFFFF98;
inline constexpr uint32_t CHCR1 = 0xFFFFFF9C;
inline constexpr uint32_t VCRDMA0_LOW = 0xFFFFFFA3;
inline constexpr uint32_t VCRDMA1_LOW = 0xFFFFFFAB;
inline constexpr uint32_t DMAOR = 0xFFFFFFB0;

}  // namespace sh2::reg
