// The run loop's slice set-up and end-of-slice servicing, and the handler of
// the opcodes that are no instruction.
#include "isa/run_loop.h"

#include <climits>
#include <cstdio>

#include "bus/free_running_timer.h"
#include "core/interrupts.h"
#include "core/platform.h"

namespace sh2 {

namespace {

// The largest budget a slice runs with: far enough below INT32_MAX that the
// last step of a slice (at most 12 cycles) cannot overflow sliceCycles.
constexpr int32_t kLargestSliceTarget = INT32_MAX - 256;

}  // namespace

bool BeginSlice(SH2Core &core, int32_t target) {
    core.sliceCycles = 0;
    core.sliceTarget = target < kLargestSliceTarget ? target : kLargestSliceTarget;
    core.freeRunLength = 0;
    // A slice begins at an instruction boundary. A host that left a delay
    // slot's instruction by longjmp from a callback left the flag set.
    core.inDelaySlot = false;
    return !core.stoppedOnUndefinedOpcode && target > 0;
}

int32_t FinishSlice(SH2Core &core, int32_t target) {
    if (core.stoppedOnUndefinedOpcode) {
        // A stopped core idles: the rest of the slice passes without
        // instructions, so hosts that wait for the budget to be used up go on.
        if (target > core.sliceCycles) {
            core.sliceCycles = target;
        }
        UpdateFreeRunningTimer(core, core.sliceCycles);
        return core.sliceCycles;
    }
    UpdateFreeRunningTimer(core, core.sliceCycles);
    if (core.exceptionRequest != 0) {
        EnterRequestedException(core);
        core.exceptionRequest = 0;
    }
    if (core.pendingInterrupts.pendingCount != 0) {
        AcceptInterrupt(core);
    }
    return core.sliceCycles;
}

int32_t RunCycles(SH2Core &core, int32_t target) {
    if (BeginSlice(core, target)) {
        Unwatched unwatched;
        RunSliceInstructions(core, unwatched);
    }
    return FinishSlice(core, target);
}

void UndefinedOpcodeHandler(SH2Core &core) {
    char text[96];
    if (!core.isMaster) {
        std::snprintf(text, sizeof text, "Unknown opcode (slave SH2) @0x%08X: 0x%04X", static_cast<unsigned>(core.PC),
                      static_cast<unsigned>(core.currentOpcode));
    } else if (Interrupting != 0) {
        std::snprintf(text, sizeof text, "Unknown opcode while interrupting (master SH2) @0x%08X: 0x%04X",
                      static_cast<unsigned>(core.PC), static_cast<unsigned>(core.currentOpcode));
    } else {
        std::snprintf(text, sizeof text, "Unknown opcode (master SH2) @0x%08X: 0x%04X", static_cast<unsigned>(core.PC),
                      static_cast<unsigned>(core.currentOpcode));
    }
    ShowModalBox("Error", text, kBoxErrorIcon);
    core.stoppedOnUndefinedOpcode = true;
    // A stopped core enters no exception: a SLEEP or watchdog request made
    // before the stop would otherwise be entered once the core restarts,
    // stacking the new PC.
    core.exceptionRequest = 0;
    if (core.inDelaySlot) LeaveDelaySlotAt(core, core.PC);  // PC stays where it was
    core.sliceTarget = INT32_MIN;                           // ends the slice after this instruction
}

}  // namespace sh2
