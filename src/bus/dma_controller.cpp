// The DMA controller: a long write to CHCR0, CHCR1 or DMAOR that enables a
// channel performs its whole transfer at once through the host callbacks,
// then marks it ended and requests its interrupt if enabled.
#include "bus/dma_controller.h"
#include "bus/memory.h"
#include "bus/onchip_registers.h"
#include "core/interrupts.h"
#include "core/platform.h"

namespace sh2 {
namespace {

// CHCR bits.
constexpr uint32_t kChcrEnable = 0x00000001;           // DE
constexpr uint32_t kChcrTransferEnd = 0x00000002;      // TE
constexpr uint32_t kChcrInterruptEnable = 0x00000004;  // IE
constexpr uint32_t kChcrSingleAddress = 0x00000008;    // TA
constexpr uint32_t kDmaorMasterEnable = 0x00000001;    // DME

constexpr uint32_t kChannelStride = 0x10;

struct ChannelRegisters {
    uint32_t sar, dar, tcr, chcr, vectorByte;
};

ChannelRegisters RegistersOf(int channel) {
    const uint32_t offset = channel == 0 ? 0 : kChannelStride;
    return {reg::SAR0 + offset, reg::DAR0 + offset, reg::TCR0 + offset, reg::CHCR0 + offset,
            channel == 0 ? reg::VCRDMA0_LOW : reg::VCRDMA1_LOW};
}

// Address step of a DM or SM field: 0 fixed, 1 increment, 2 decrement. The
// reserved value 3 keeps the address fixed, during the transfer and in the
// final SAR/DAR alike.
int32_t StepOf(uint32_t field) {
    switch (field & 3) {
        case 1: return 1;
        case 2: return -1;
        default: return 0;
    }
}

constexpr uint32_t kUnitSizes[4] = {1, 2, 4, 16};

void TransferUnit(SH2Core &core, uint32_t unitSize, uint32_t source, uint32_t destination) {
    switch (unitSize) {
        case 1: core.WriteByte(destination, core.ReadByte(source)); break;
        case 2: core.WriteWord(destination, core.ReadWord(source)); break;
        case 4: core.WriteLong(destination, core.ReadLong(source)); break;
        default:  // 16 bytes: four long accesses upward, whatever the step
            for (uint32_t k = 0; k < 16; k += 4) {
                core.WriteLong(destination + k, core.ReadLong(source + k));
            }
            break;
    }
}

// Performs channel 0's or 1's whole transfer through the host callbacks.
void RunDmaChannel(SH2Core &core, int channel) {
    const ChannelRegisters regs = RegistersOf(channel);
    const uint32_t sar = ImageLong(core, regs.sar);
    const uint32_t dar = ImageLong(core, regs.dar);
    const uint32_t chcr = ImageLong(core, regs.chcr);
    const int32_t destinationStep = StepOf(chcr >> 14);
    const int32_t sourceStep = StepOf(chcr >> 12);
    const uint32_t unitSize = kUnitSizes[(chcr >> 10) & 3];
    uint32_t count = ImageLong(core, regs.tcr) & 0x00FFFFFF;

    if ((chcr & kChcrSingleAddress) != 0) {
        ShowModalBox("Warning", "Single address mode DMA requested, not supported", kBoxInformationIcon);
        count = 0;
    } else {
        const uint32_t sourceAdvance = unitSize * static_cast<uint32_t>(sourceStep);
        const uint32_t destinationAdvance = unitSize * static_cast<uint32_t>(destinationStep);
        uint32_t source = sar;
        uint32_t destination = dar;
        for (uint32_t unit = 0; unit < count; ++unit) {
            TransferUnit(core, unitSize, source, destination);
            source += sourceAdvance;
            destination += destinationAdvance;
        }
    }

    SetImageLong(core, regs.sar, sar + count * unitSize * static_cast<uint32_t>(sourceStep));
    SetImageLong(core, regs.dar, dar + count * unitSize * static_cast<uint32_t>(destinationStep));
    SetImageLong(core, regs.tcr, 0);
    // Re-read CHCR: a host callback cannot change it, but the image is the
    // register's one true home.
    SetImageLong(core, regs.chcr, ImageLong(core, regs.chcr) | kChcrTransferEnd);
    if ((chcr & kChcrInterruptEnable) != 0) {
        RequestInterrupt(core, ImageByte(core, regs.vectorByte), ImageByte(core, reg::IPRA_HIGH) & 0x0F);
    }
}

}  // namespace

void DmaWriteChannelControl(SH2Core &core, int channel, uint32_t value) {
    if ((value & kChcrEnable) != 0 && (ImageLong(core, reg::DMAOR) & kDmaorMasterEnable) != 0) {
        RunDmaChannel(core, channel);
    }
}

void DmaWriteOperation(SH2Core &core, uint32_t value) {
    if ((value & kDmaorMasterEnable) == 0) {
        return;
    }
    for (int channel = 0; channel < 2; ++channel) {
        const uint32_t chcr = ImageLong(core, RegistersOf(channel).chcr);
        if ((chcr & kChcrEnable) != 0 && (chcr & kChcrTransferEnd) == 0) {
            RunDmaChannel(core, channel);
        }
    }
}

}  // namespace sh2
