// Conditional branches, delayed branches and RTS. Targets are fixed before a
// delay slot runs; PR is written before it too.
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS
namespace {

template <uint16_t Op>
uint32_t ConditionalTarget(const SH2Core &core) {
    return core.PC + 4 + BranchOffset8<Op>;
}

}  // namespace

SH2_HANDLER(BranchIfTrue, {
    const bool taken = GetT(core) != 0;
    core.PC = taken ? ConditionalTarget<Op>(core) : core.PC + 2;
    core.sliceCycles += taken ? kCycles : kNotTakenCycles;
})
SH2_HANDLER(BranchIfFalse, {
    const bool taken = GetT(core) == 0;
    core.PC = taken ? ConditionalTarget<Op>(core) : core.PC + 2;
    core.sliceCycles += taken ? kCycles : kNotTakenCycles;
})
// A walk of 2^27 not-taken BT/S in a row, with no cycle spent in between,
// has passed every fetch position (bits 28..31 of PC play no part in the
// fetch) and would repeat itself for ever, the slice never reaching its
// budget. At that point the rest of the budget passes as idle time and the
// slice ends as usual. A BT/S run as a delay slot does not count: its branch
// has spent cycles.
namespace {

constexpr uint32_t kEndlessFreeRun = uint32_t{1} << 27;

void CountFreeInstruction(SH2Core &core) {
    if (core.inDelaySlot) {
        return;
    }
    if (core.freeRunCycles != core.sliceCycles) {  // something costly ran since
        core.freeRunLength = 0;
        core.freeRunCycles = core.sliceCycles;
    }
    if (++core.freeRunLength == kEndlessFreeRun) {
        core.freeRunLength = 0;
        core.sliceCycles = core.sliceTarget;
    }
}

}  // namespace

// A not-taken BT/S costs nothing, a not-taken BF/S 1 cycle.
SH2_HANDLER(BranchIfTrueDelayed, {
    if (GetT(core) != 0) {
        DelayedBranch(core, ConditionalTarget<Op>(core), kCycles);
    } else {
        static_assert(kNotTakenCycles == 0, "the endless-run guard counts free instructions");
        CountFreeInstruction(core);
        core.PC += 2;
    }
})
SH2_HANDLER(BranchIfFalseDelayed, {
    if (GetT(core) == 0) {
        DelayedBranch(core, ConditionalTarget<Op>(core), kCycles);
    } else {
        Advance(core, kNotTakenCycles);
    }
})

SH2_HANDLER(Branch, { DelayedBranch(core, core.PC + 4 + BranchOffset12<Op>, kCycles); })
SH2_HANDLER(BranchSubroutine, {
    core.PR = core.PC + 4;
    DelayedBranch(core, core.PC + 4 + BranchOffset12<Op>, kCycles);
})
SH2_HANDLER(BranchFar, { DelayedBranch(core, core.PC + 4 + core.R[N<Op>], kCycles); })
SH2_HANDLER(BranchSubroutineFar, {
    const uint32_t target = core.PC + 4 + core.R[N<Op>];
    core.PR = core.PC + 4;
    DelayedBranch(core, target, kCycles);
})
SH2_HANDLER(Jump, { DelayedBranch(core, core.R[N<Op>], kCycles); })
SH2_HANDLER(JumpSubroutine, {
    const uint32_t target = core.R[N<Op>];
    core.PR = core.PC + 4;
    DelayedBranch(core, target, kCycles);
})
// RTS drops the top two bits of the return address.
SH2_HANDLER(ReturnFromSubroutine, { DelayedBranch(core, core.PR & 0x3FFFFFFFu, kCycles); })

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(Branch)

}  // namespace sh2::isa
