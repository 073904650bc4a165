// Interim copy of the watched slice until the library provides
// isa/run_loop.h; to be removed then.
#pragma once

#if __has_include("isa/run_loop.h")
#include "isa/run_loop.h"
#else
#include "bus/free_running_timer.h"
#include "core/interrupts.h"
#include "core/run_loop.h"

namespace sh2 {

template <class BeforeInstruction>
int32_t RunCyclesWatched(SH2Core &core, int32_t target, BeforeInstruction &&beforeInstruction) {
    core.sliceCycles = 0;
    core.sliceTarget = target < INT32_MAX - 256 ? target : INT32_MAX - 256;
    core.freeRunLength = 0;
    if (!core.stoppedOnUndefinedOpcode && target > 0) {
        do {
            if (!beforeInstruction(static_cast<const SH2Core &>(core))) break;
            const uint16_t opcode = FetchOpcode(core, core.PC);
            core.currentOpcode = opcode;
            OpcodeHandlerTable[opcode](core);
        } while (core.sliceCycles < core.sliceTarget);
    }
    if (core.stoppedOnUndefinedOpcode) {
        if (target > core.sliceCycles) core.sliceCycles = target;
        UpdateFreeRunningTimer(core, core.sliceCycles);
        return core.sliceCycles;
    }
    UpdateFreeRunningTimer(core, core.sliceCycles);
    if (core.exceptionRequest != 0) {
        EnterRequestedException(core);
        core.exceptionRequest = 0;
    }
    if (core.pendingInterrupts.pendingCount != 0) AcceptInterrupt(core);
    return core.sliceCycles;
}

}  // namespace sh2
#endif
