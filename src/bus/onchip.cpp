// The on-chip register window: plain storage with side effects keyed to the
// exact address and width of the access.
#include "bus/division_unit.h"
#include "bus/dma_controller.h"
#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "bus/onchip_registers.h"
#include "bus/watchdog.h"

namespace sh2 {

uint8_t OnChipReadByte(SH2Core &core, uint32_t address) {
    switch (address) {
        case reg::OCRH:
        case reg::OCRL: return TimerReadCompareByte(core, address);
        case reg::WTCSR:
        case reg::WTCNT:
        case reg::RSTCSR: return WatchdogReadByte(core, address);
        default: return ImageByte(core, address);
    }
}

void OnChipWriteByte(SH2Core &core, uint32_t address, uint8_t value) {
    SetImageByte(core, address, value);
    switch (address) {
        case reg::OCRH:
        case reg::OCRL: TimerWriteCompareByte(core, address, value); break;
        case reg::TCR: TimerWriteControl(core, value); break;
        default: break;
    }
}

void OnChipWriteWord(SH2Core &core, uint32_t address, uint16_t value) {
    SetImageWord(core, address, value);
    if (address == reg::WTCSR || address == reg::WTCNT) {
        WatchdogWriteWord(core, value);
    }
}

void OnChipWriteLong(SH2Core &core, uint32_t address, uint32_t value) {
    SetImageLong(core, address, value);
    switch (address) {
        case reg::DVDNT: DivisionUnitWriteDividend32(core, value); break;
        case reg::DVDNTL: DivisionUnitWriteDividend64(core, value); break;
        case reg::CHCR0: DmaWriteChannelControl(core, 0, value); break;
        case reg::CHCR1: DmaWriteChannelControl(core, 1, value); break;
        case reg::DMAOR: DmaWriteOperation(core, value); break;
        default: break;
    }
}

}  // namespace sh2
