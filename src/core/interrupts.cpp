// Interrupt requests, their acceptance at the end of a slice and the
// requested vector-11 exception; the frame goes straight to the host.
#include "core/interrupts.h"

namespace sh2 {
namespace {

// The exception frame always goes to the host, whatever R15 points at.
void PushExceptionFrame(SH2Core &core) {
    core.R[15] -= 4;
    core.WriteLong(core.R[15], core.SR);
    core.R[15] -= 4;
    core.WriteLong(core.R[15], core.PC);
}

void SetInterruptMask(SH2Core &core, uint32_t level) {
    core.SR = (core.SR & ~kSrInterruptMask) | ((level & 0xF) << 4);
}

}  // namespace

void RequestInterrupt(SH2Core &core, uint8_t vector, uint8_t level) {
    if (level == 0 || level > kMaxInterruptLevel) {
        return;
    }
    PendingInterruptTable &table = core.pendingInterrupts;
    if (table.pending[level] != 0) {
        return;
    }
    table.pending[level] = 1;
    table.vector[level] = vector;
    table.pendingCount += 1;
}

void AcceptInterrupt(SH2Core &core) {
    PendingInterruptTable &table = core.pendingInterrupts;
    uint32_t level = kMaxInterruptLevel;
    while (level > 0 && table.pending[level] == 0) {
        --level;
    }
    if (level == 0) {
        table.pendingCount = 0;
        return;
    }
    const uint32_t mask = (core.SR >> 4) & 0xF;
    if (level <= mask) {
        return;
    }
    PushExceptionFrame(core);
    SetInterruptMask(core, level);
    core.PC = core.ReadLong(core.VBR + 4u * table.vector[level]);
    table.pending[level] = 0;
    table.pendingCount -= 1;
    Interrupting = 1;
}

void EnterRequestedException(SH2Core &core) {
    PushExceptionFrame(core);
    SetInterruptMask(core, 15);
    core.PC = core.ReadLong(core.VBR + 4u * kRequestedExceptionVector);
}

}  // namespace sh2
