// NOP, T and MAC clearing, SLEEP, loads and stores of the control and system
// registers, TRAPA and RTE.
#include "core/interrupts.h"
#include "isa/handler_common.h"

namespace sh2::isa {
namespace {

using I = Instruction;

SH2_HANDLER(Nop) { Advance(core, 1); }
SH2_HANDLER(ClearT) {
    SetT(core, false);
    Advance(core, 1);
}
SH2_HANDLER(SetTBit) {
    SetT(core, true);
    Advance(core, 1);
}
SH2_HANDLER(ClearMac) {
    core.MACH = 0;
    core.MACL = 0;
    Advance(core, 1);
}
// SLEEP does not advance PC: it runs again until the slice ends, and the
// requested exception then returns to it.
SH2_HANDLER(Sleep) {
    SetExceptionRequest(core);
    core.sliceCycles += 3;
}

// Register selectors for the control (SR, GBR, VBR) and system (MACH, MACL,
// PR) register loads and stores.
struct SrRegister {
    static uint32_t Get(const SH2Core &core) { return core.SR; }
    static void Set(SH2Core &core, uint32_t value) { core.SR = value & kSrWritableBits; }
};
struct GbrRegister {
    static uint32_t Get(const SH2Core &core) { return core.GBR; }
    static void Set(SH2Core &core, uint32_t value) { core.GBR = value; }
};
struct VbrRegister {
    static uint32_t Get(const SH2Core &core) { return core.VBR; }
    static void Set(SH2Core &core, uint32_t value) { core.VBR = value; }
};
struct MachRegister {
    static uint32_t Get(const SH2Core &core) { return core.MACH; }
    static void Set(SH2Core &core, uint32_t value) { core.MACH = value; }
};
struct MaclRegister {
    static uint32_t Get(const SH2Core &core) { return core.MACL; }
    static void Set(SH2Core &core, uint32_t value) { core.MACL = value; }
};
struct PrRegister {
    static uint32_t Get(const SH2Core &core) { return core.PR; }
    static void Set(SH2Core &core, uint32_t value) { core.PR = value; }
};

// LDC/LDS Rm,reg: 1 cycle.
template <class Register>
struct LoadFromRegister {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            Register::Set(core, core.R[N<Op>]);
            Advance(core, 1);
        }
    };
};
// LDC.L/LDS.L @Rm+,reg: the register gets the long at Rm, then Rm += 4.
template <class Register, int32_t Cycles>
struct LoadPostIncrement {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            const uint32_t address = core.R[N<Op>];
            Register::Set(core, BusReadLong(core, address));
            core.R[N<Op>] = address + 4;
            Advance(core, Cycles);
        }
    };
};
// STC/STS reg,Rn: 1 cycle.
template <class Register>
struct StoreToRegister {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            core.R[N<Op>] = Register::Get(core);
            Advance(core, 1);
        }
    };
};
// STC.L/STS.L reg,@-Rn: Rn is decremented first, then the long is written.
template <class Register, int32_t Cycles>
struct StorePreDecrement {
    template <uint16_t Op>
    struct Handler {
        static void Run(SH2Core &core) {
            core.R[N<Op>] -= 4;
            BusWriteLong(core, core.R[N<Op>], Register::Get(core));
            Advance(core, Cycles);
        }
    };
};

constexpr int32_t kControlLoadCycles = 3;
constexpr int32_t kSystemLoadCycles = 1;
constexpr int32_t kControlStoreCycles = 2;
constexpr int32_t kSystemStoreCycles = 1;

// TRAPA pushes SR and the address after it through the memory access layer
// and continues at the vector's contents; SR's mask is not raised.
SH2_HANDLER(Trap) {
    core.R[15] -= 4;
    BusWriteLong(core, core.R[15], core.SR);
    core.R[15] -= 4;
    BusWriteLong(core, core.R[15], core.PC + 2);
    core.PC = BusReadLong(core, core.VBR + Imm8Unsigned<Op> * 4);
    core.sliceCycles += 8;
}

// RTE pops PC then SR, runs its delay slot under the restored SR and clears
// the library-wide Interrupting flag after the slot.
SH2_HANDLER(ReturnFromException) {
    const uint32_t slotAddress = core.PC + 2;
    const uint32_t returnAddress = BusReadLong(core, core.R[15]);
    core.R[15] += 4;
    core.SR = BusReadLong(core, core.R[15]) & kSrWritableBits;
    core.R[15] += 4;
    core.sliceCycles += 4;
    if (core.inDelaySlot) {
        core.PC = returnAddress + 2;  // no nested slot: an immediate return
    } else {
        core.PC = returnAddress;
        ExecuteDelaySlot(core, slotAddress);
    }
    Interrupting = 0;
}


constexpr RowHandlers kRows[] = {
    MakeRow<Nop, I::Nop>(),
    MakeRow<ClearMac, I::ClearMac>(),
    MakeRow<ClearT, I::ClearT>(),
    MakeRow<SetTBit, I::SetT>(),
    MakeRow<Sleep, I::Sleep>(),
    MakeRow<LoadFromRegister<SrRegister>::Handler, I::LoadControlSr>(),
    MakeRow<LoadFromRegister<GbrRegister>::Handler, I::LoadControlGbr>(),
    MakeRow<LoadFromRegister<VbrRegister>::Handler, I::LoadControlVbr>(),
    MakeRow<LoadPostIncrement<SrRegister, kControlLoadCycles>::Handler, I::LoadControlSrPostIncrement>(),
    MakeRow<LoadPostIncrement<GbrRegister, kControlLoadCycles>::Handler, I::LoadControlGbrPostIncrement>(),
    MakeRow<LoadPostIncrement<VbrRegister, kControlLoadCycles>::Handler, I::LoadControlVbrPostIncrement>(),
    MakeRow<LoadFromRegister<MachRegister>::Handler, I::LoadSystemMach>(),
    MakeRow<LoadFromRegister<MaclRegister>::Handler, I::LoadSystemMacl>(),
    MakeRow<LoadFromRegister<PrRegister>::Handler, I::LoadSystemPr>(),
    MakeRow<LoadPostIncrement<MachRegister, kSystemLoadCycles>::Handler, I::LoadSystemMachPostIncrement>(),
    MakeRow<LoadPostIncrement<MaclRegister, kSystemLoadCycles>::Handler, I::LoadSystemMaclPostIncrement>(),
    MakeRow<LoadPostIncrement<PrRegister, kSystemLoadCycles>::Handler, I::LoadSystemPrPostIncrement>(),
    MakeRow<StoreToRegister<SrRegister>::Handler, I::StoreControlSr>(),
    MakeRow<StoreToRegister<GbrRegister>::Handler, I::StoreControlGbr>(),
    MakeRow<StoreToRegister<VbrRegister>::Handler, I::StoreControlVbr>(),
    MakeRow<StorePreDecrement<SrRegister, kControlStoreCycles>::Handler, I::StoreControlSrPreDecrement>(),
    MakeRow<StorePreDecrement<GbrRegister, kControlStoreCycles>::Handler, I::StoreControlGbrPreDecrement>(),
    MakeRow<StorePreDecrement<VbrRegister, kControlStoreCycles>::Handler, I::StoreControlVbrPreDecrement>(),
    MakeRow<StoreToRegister<MachRegister>::Handler, I::StoreSystemMach>(),
    MakeRow<StoreToRegister<MaclRegister>::Handler, I::StoreSystemMacl>(),
    MakeRow<StoreToRegister<PrRegister>::Handler, I::StoreSystemPr>(),
    MakeRow<StorePreDecrement<MachRegister, kSystemStoreCycles>::Handler, I::StoreSystemMachPreDecrement>(),
    MakeRow<StorePreDecrement<MaclRegister, kSystemStoreCycles>::Handler, I::StoreSystemMaclPreDecrement>(),
    MakeRow<StorePreDecrement<PrRegister, kSystemStoreCycles>::Handler, I::StoreSystemPrPreDecrement>(),
    MakeRow<Trap, I::Trap>(),
    MakeRow<ReturnFromException, I::ReturnFromException>(),
};

}  // namespace

RowHandlerList SystemControlRows() { return {kRows, std::size(kRows)}; }

}  // namespace sh2::isa
