// The watchdog timer: word writes with the 0x5A or 0xA5 code set its counter
// or control register copies, and the control write sets or clears the
// exception request. The counter does not count.
#include "bus/watchdog.h"
#include "bus/onchip_registers.h"

namespace sh2 {
namespace {

constexpr uint8_t kCounterWriteCode = 0x5A;
constexpr uint8_t kControlWriteCode = 0xA5;
constexpr uint8_t kTimerEnable = 0x20;  // WTCSR.TME

}  // namespace

void WatchdogWriteWord(SH2Core &core, uint16_t value) {
    const auto code = static_cast<uint8_t>(value >> 8);
    const auto data = static_cast<uint8_t>(value);
    if (code == kCounterWriteCode) {
        core.watchdog.counter = data;
    } else if (code == kControlWriteCode) {
        core.watchdog.control = data;
        core.watchdog.counter = 0;
        // The control write both makes and withdraws the exception request.
        core.exceptionRequest = (data & kTimerEnable) != 0 ? 1 : 0;
    }
}

uint8_t WatchdogReadByte(const SH2Core &core, uint32_t address) {
    switch (address) {
        case reg::WTCSR: return core.watchdog.control;
        case reg::WTCNT: return core.watchdog.counter;
        default: return core.watchdog.resetControl;
    }
}

}  // namespace sh2
