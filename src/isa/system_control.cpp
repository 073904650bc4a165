// NOP, T and MAC clearing, SLEEP, loads and stores of the control and system
// registers, TRAPA and RTE.
#include "core/interrupts.h"
#include "isa/handler_common.h"

namespace sh2::isa {
SH2_BEGIN_HANDLERS

SH2_HANDLER(Nop, {})
SH2_HANDLER(ClearT, { SetT(core, false); })
SH2_HANDLER(SetTBit, { SetT(core, true); })
SH2_HANDLER(ClearMac, {
    core.MACH = 0;
    core.MACL = 0;
})
// SLEEP does not advance PC: it runs again until the slice ends, and the
// requested exception then returns to it.
SH2_HANDLER(Sleep, {
    SetExceptionRequest(core);
    core.sliceCycles += kCycles;
})

// LDC/STC name SR, GBR or VBR, and LDS/STS name MACH, MACL or PR, in bits
// 5..4 of the opcode. Only SR keeps fewer bits than it is given.
template <uint16_t Op>
inline constexpr unsigned kRegisterSelector = (Op >> 4) & 3;

template <uint16_t Op, bool Control>
uint32_t &SelectedRegister(SH2Core &core) {
    constexpr unsigned select = kRegisterSelector<Op>;
    if constexpr (Control) {
        return select == 0 ? core.SR : select == 1 ? core.GBR : core.VBR;
    } else {
        return select == 0 ? core.MACH : select == 1 ? core.MACL : core.PR;
    }
}

template <uint16_t Op, bool Control>
void LoadSelected(SH2Core &core, uint32_t value) {
    if constexpr (Control && kRegisterSelector<Op> == 0) {
        value &= kSrWritableBits;
    }
    SelectedRegister<Op, Control>(core) = value;
}

// LDC/LDS Rm,reg.
template <uint16_t Op, bool Control>
void LoadFromRegister(SH2Core &core) {
    LoadSelected<Op, Control>(core, core.R[N<Op>]);
}
// LDC.L/LDS.L @Rm+,reg: the register gets the long at Rm, then Rm += 4.
template <uint16_t Op, bool Control>
void LoadPostIncrement(SH2Core &core) {
    const uint32_t address = core.R[N<Op>];
    LoadSelected<Op, Control>(core, BusReadLong(core, address));
    core.R[N<Op>] = address + 4;
}
// STC.L/STS.L reg,@-Rn: Rn is decremented first, then the long is written.
template <uint16_t Op, bool Control>
void StorePreDecrement(SH2Core &core) {
    core.R[N<Op>] -= 4;
    BusWriteLong(core, core.R[N<Op>], SelectedRegister<Op, Control>(core));
}

SH2_HANDLER(LoadControl, { LoadFromRegister<Op, true>(core); })
SH2_HANDLER(LoadSystem, { LoadFromRegister<Op, false>(core); })
SH2_HANDLER(LoadControlPostIncrement, { LoadPostIncrement<Op, true>(core); })
SH2_HANDLER(LoadSystemPostIncrement, { LoadPostIncrement<Op, false>(core); })
SH2_HANDLER(StoreControl, { core.R[N<Op>] = SelectedRegister<Op, true>(core); })
SH2_HANDLER(StoreSystem, { core.R[N<Op>] = SelectedRegister<Op, false>(core); })
SH2_HANDLER(StoreControlPreDecrement, { StorePreDecrement<Op, true>(core); })
SH2_HANDLER(StoreSystemPreDecrement, { StorePreDecrement<Op, false>(core); })

// TRAPA pushes SR and the address after it through the memory access layer
// and continues at the vector's contents; SR's mask is not raised.
SH2_HANDLER(Trap, {
    core.R[15] -= 4;
    BusWriteLong(core, core.R[15], core.SR);
    core.R[15] -= 4;
    BusWriteLong(core, core.R[15], core.PC + 2);
    core.PC = BusReadLong(core, core.VBR + Imm8Unsigned<Op> * 4);
    core.sliceCycles += kCycles;
})

// RTE pops PC then SR, runs its delay slot under the restored SR and clears
// the library-wide Interrupting flag after the slot.
SH2_HANDLER(ReturnFromException, {
    const uint32_t slotAddress = core.PC + 2;
    const uint32_t returnAddress = BusReadLong(core, core.R[15]);
    core.R[15] += 4;
    core.SR = BusReadLong(core, core.R[15]) & kSrWritableBits;
    core.R[15] += 4;
    core.sliceCycles += kCycles;
    if (core.inDelaySlot) {
        LeaveDelaySlotAt(core, returnAddress);  // no nested slot: an immediate return
    } else {
        core.PC = returnAddress;
        ExecuteDelaySlot(core, slotAddress);
    }
    Interrupting = 0;
})

SH2_END_HANDLERS

SH2_DEFINE_GROUP_HANDLERS(SystemControl)

}  // namespace sh2::isa
