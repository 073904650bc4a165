// The free-running timer: FRC advanced once per slice through the prescaler,
// the compare, overflow and input-capture events and their interrupts.
#include "bus/free_running_timer.h"

#include "bus/memory.h"
#include "bus/onchip_registers.h"
#include "core/interrupts.h"

namespace sh2 {
namespace {

// TIER bits.
constexpr uint8_t kTierInputCaptureEnable = 0x80;
constexpr uint8_t kTierCompareAEnable = 0x08;
constexpr uint8_t kTierCompareBEnable = 0x04;
constexpr uint8_t kTierOverflowEnable = 0x02;
// FTCSR bits.
constexpr uint8_t kFtcsrInputCaptured = 0x80;
constexpr uint8_t kFtcsrCompareA = 0x08;
constexpr uint8_t kFtcsrCompareB = 0x04;
constexpr uint8_t kFtcsrOverflow = 0x02;
constexpr uint8_t kFtcsrClearOnCompareA = 0x01;
// TOCR bit 4 selects OCRB for the byte windows.
constexpr uint8_t kTocrSelectB = 0x10;

uint8_t TimerLevel(const SH2Core &core) {
    return ImageByte(core, reg::IPRB_HIGH) & 0x0F;
}

void RequestTimerInterrupt(SH2Core &core, uint32_t vectorAddress) {
    RequestInterrupt(core, ImageByte(core, vectorAddress) & 0x7F, TimerLevel(core));
}

void SetStatusFlag(SH2Core &core, uint8_t flag) {
    SetImageByte(core, reg::FTCSR, ImageByte(core, reg::FTCSR) | flag);
}

uint16_t &SelectedCompareRegister(SH2Core &core) {
    return (ImageByte(core, reg::TOCR) & kTocrSelectB) != 0 ? core.timer.OCRB : core.timer.OCRA;
}

}  // namespace

void UpdateFreeRunningTimer(SH2Core &core, int32_t cycles) {
    const uint32_t sum = core.timer.prescalerRemainder + static_cast<uint32_t>(cycles);
    const uint32_t ticks = sum >> core.timer.prescalerShift;
    if (ticks == 0) {
        core.timer.prescalerRemainder = static_cast<uint16_t>(sum & 0xFFFF);
        return;
    }
    core.timer.prescalerRemainder = static_cast<uint16_t>(sum & PrescalerMask(core.timer));

    const uint32_t oldCount = ImageWord(core, reg::FRC);
    const uint32_t total = oldCount + ticks;
    const uint32_t newCount = total & 0xFFFF;
    SetImageWord(core, reg::FRC, static_cast<uint16_t>(newCount));

    const uint8_t enables = ImageByte(core, reg::TIER);
    if (total > 0xFFFF) {
        SetStatusFlag(core, kFtcsrOverflow);
        if ((enables & kTierOverflowEnable) != 0) {
            RequestTimerInterrupt(core, reg::VCRD_HIGH);
        }
    }
    // The compare windows are taken without wrap-around: a value passed while
    // the counter wrapped is not matched in this update.
    if (oldCount <= core.timer.OCRA && core.timer.OCRA <= newCount) {
        SetStatusFlag(core, kFtcsrCompareA);
        if ((enables & kTierCompareAEnable) != 0) {
            RequestTimerInterrupt(core, reg::VCRC_LOW);
        }
        if ((ImageByte(core, reg::FTCSR) & kFtcsrClearOnCompareA) != 0) {
            SetImageWord(core, reg::FRC, 0);
        }
    }
    if (oldCount <= core.timer.OCRB && core.timer.OCRB <= newCount) {
        SetStatusFlag(core, kFtcsrCompareB);
        if ((enables & kTierCompareBEnable) != 0) {
            RequestTimerInterrupt(core, reg::VCRC_LOW);
        }
    }
}

void CaptureInput(SH2Core &core) {
    if ((ImageByte(core, reg::TIER) & kTierInputCaptureEnable) != 0) {
        RequestTimerInterrupt(core, reg::VCRC_HIGH);
    }
    SetImageWord(core, reg::ICR, ImageWord(core, reg::FRC));
    SetStatusFlag(core, kFtcsrInputCaptured);
}

uint8_t TimerReadCompareByte(const SH2Core &core, uint32_t address) {
    const uint16_t value = (ImageByte(core, reg::TOCR) & kTocrSelectB) != 0 ? core.timer.OCRB : core.timer.OCRA;
    return address == reg::OCRH ? static_cast<uint8_t>(value >> 8) : static_cast<uint8_t>(value);
}

void TimerWriteCompareByte(SH2Core &core, uint32_t address, uint8_t value) {
    uint16_t &compare = SelectedCompareRegister(core);
    if (address == reg::OCRH) {
        compare = static_cast<uint16_t>((compare & 0x00FF) | (value << 8));
    } else {
        compare = static_cast<uint16_t>((compare & 0xFF00) | value);
    }
}

void TimerWriteControl(SH2Core &core, uint8_t value) {
    switch (value & 3) {
        case 0: core.timer.prescalerShift = 3; break;
        case 1: core.timer.prescalerShift = 5; break;
        case 2: core.timer.prescalerShift = 7; break;
        default:  // external clock: the previous selection stays in force
            break;
    }
}

}  // namespace sh2
