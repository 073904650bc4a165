// Every export called from inside every kind of host callback: from the six
// memory callbacks of a slice, from the vector reads of the initialisation
// and of both resets, and from the message callback of the initialisation,
// SetupPlugin and DeInitPlugin. A nested SH2RunCycles runs nothing and
// leaves the outer slice its whole budget, a nested InitSH2Plugin is refused
// and a nested DeInitPlugin happens as the outermost export returns; nothing
// touches a freed core (the sanitizer build runs the same table). A host
// that leaves a callback by longjmp abandons the export under way.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>

#include "plugin_host.h"

using namespace sh2test;

namespace {

enum class Outer {
    RunByteRead,
    RunWordRead,
    RunLongRead,
    RunByteWrite,
    RunWordWrite,
    RunLongWrite,
    InitVectorRead,
    InitMessage,
    ResetMasterVectorRead,
    ResetSlaveVectorRead,
    SetupMessage,
    DeInitMessage,
};

struct OuterCase {
    Outer outer;
    const char *name;
    bool message;           // the trigger is the message callback
    HostAccess::Kind kind;  // else the first access of this kind,
    uint8_t width;          // width
    uint32_t address;       // and address
};

void PrintTo(const OuterCase &outer, std::ostream *out) {
    *out << outer.name;
}

constexpr uint32_t kTrigger = 0x00100000;  // the slice's accesses go here
constexpr int32_t kBudget = 200;

constexpr OuterCase kOuters[] = {
    {Outer::RunByteRead, "RunCyclesReadByte", false, HostAccess::Read, 1, kTrigger},
    {Outer::RunWordRead, "RunCyclesReadWord", false, HostAccess::Read, 2, kTrigger},
    {Outer::RunLongRead, "RunCyclesReadLong", false, HostAccess::Read, 4, kTrigger},
    {Outer::RunByteWrite, "RunCyclesWriteByte", false, HostAccess::Write, 1, kTrigger},
    {Outer::RunWordWrite, "RunCyclesWriteWord", false, HostAccess::Write, 2, kTrigger},
    {Outer::RunLongWrite, "RunCyclesWriteLong", false, HostAccess::Write, 4, kTrigger},
    {Outer::InitVectorRead, "InitReadLong", false, HostAccess::Read, 4, 0},
    {Outer::InitMessage, "InitShowMessage", true, HostAccess::Read, 0, 0},
    {Outer::ResetMasterVectorRead, "ResetMasterReadLong", false, HostAccess::Read, 4, 8},
    {Outer::ResetSlaveVectorRead, "ResetSlaveReadLong", false, HostAccess::Read, 4, 8},
    {Outer::SetupMessage, "SetupShowMessage", true, HostAccess::Read, 0, 0},
    {Outer::DeInitMessage, "DeInitShowMessage", true, HostAccess::Read, 0, 0},
};

enum class Nested {
    Init,
    DeInit,
    DisplayInfo,
    Setup,
    RunCycles,
    ResetMaster,
    ResetSlave,
    SlaveOn,
    SlaveOff,
    MasterInterrupt,
    SlaveInterrupt,
    MasterCapture,
    SlaveCapture,
    SetPc,
};

constexpr const char *kNestedNames[] = {
    "InitSH2Plugin",
    "DeInitPlugin",
    "DisplayPluginInfo",
    "SetupPlugin",
    "SH2RunCycles",
    "ResetMasterSH2",
    "ResetSlaveSH2",
    "SlaveSH2On",
    "SlaveSH2Off",
    "MasterSH2InterruptRequest",
    "SlaveSH2InterruptRequest",
    "MasterSH2InputCaptureSignal",
    "SlaveSH2InputCaptureSignal",
    "MasterSH2SetPC",
};

// What the armed callback does, and what the nested call returned.
struct Trigger {
    const OuterCase *outer = nullptr;
    Nested nested = Nested::Init;
    SH2HostInterface host{};
    bool armed = false;
    bool fired = false;
    bool coresDuringOuter = false;  // the master still existed right after the nested call
    int32_t result = -1;
};
Trigger trigger;

void CallNested() {
    trigger.armed = false;
    trigger.fired = true;
    switch (trigger.nested) {
        case Nested::Init: trigger.result = InitSH2Plugin(&trigger.host); break;
        case Nested::DeInit: DeInitPlugin(); break;
        case Nested::DisplayInfo: DisplayPluginInfo(); break;
        case Nested::Setup: SetupPlugin(); break;
        case Nested::RunCycles: trigger.result = SH2RunCycles(1000); break;
        case Nested::ResetMaster: ResetMasterSH2(); break;
        case Nested::ResetSlave: ResetSlaveSH2(); break;
        case Nested::SlaveOn: SlaveSH2On(); break;
        case Nested::SlaveOff: SlaveSH2Off(); break;
        case Nested::MasterInterrupt: MasterSH2InterruptRequest(0x40, 5); break;
        case Nested::SlaveInterrupt: SlaveSH2InterruptRequest(0x40, 5); break;
        case Nested::MasterCapture: MasterSH2InputCaptureSignal(); break;
        case Nested::SlaveCapture: SlaveSH2InputCaptureSignal(); break;
        case Nested::SetPc: MasterSH2SetPC(kPowerOnPc); break;
    }
    trigger.coresDuringOuter = sh2debug::Exists(Processor::Master);
}

void OnAccess(const HostAccess &access) {
    const OuterCase &outer = *trigger.outer;
    if (trigger.armed && !outer.message && access.kind == outer.kind && access.width == outer.width &&
        access.address == outer.address) {
        CallNested();
    }
}

void OnMessage(const char *text, uint32_t colour) {
    TestMachine::Get().messages.push_back({text, colour});
    if (trigger.armed && trigger.outer->message) CallNested();
}

int Count(const std::vector<HostMessageLine> &messages, const std::string &text) {
    int count = 0;
    for (const HostMessageLine &line : messages) count += line.text == text ? 1 : 0;
    return count;
}

class ExportFromCallback : public PluginEntryPoints,
                           public ::testing::WithParamInterface<std::tuple<OuterCase, Nested>> {
protected:
    void SetUp() override {
        PluginEntryPoints::SetUp();
        trigger = Trigger{};
        trigger.outer = &std::get<0>(GetParam());
        trigger.nested = std::get<1>(GetParam());
        sh2host::hooks.onAccess = OnAccess;
        sh2host::hooks.message = OnMessage;
        host = machine.Interface();
        trigger.host = host;
        // Master and slave: each access of the slice, to kTrigger, forever.
        const std::vector<uint16_t> loop = {
            0xD104,  // mov.l @(4*4+pc),r1: kTrigger
            0x6010,  // mov.b @r1,r0
            0x6011,  // mov.w @r1,r0
            0x6012,  // mov.l @r1,r0
            0x2100,  // mov.b r0,@r1
            0x2101,  // mov.w r0,@r1
            0x2102,  // mov.l r0,@r1
            0xAFF7,  // bra to the first mov.l
            0x0009,  // nop
        };
        machine.SetWords(kPowerOnPc, loop);
        machine.SetLong(kPowerOnPc + 20, kTrigger);
        machine.SetWords(kResetPc, loop);
        machine.SetLong(kResetPc + 20, kTrigger);
    }
};

TEST_P(ExportFromCallback, WorksOrIsRefusedOrDeferredAndTouchesNoFreedCore) {
    const Outer outer = trigger.outer->outer;
    const Nested nested = trigger.nested;
    const bool outerInit = outer == Outer::InitVectorRead || outer == Outer::InitMessage;
    if (!outerInit) {
        Init();
        ResetSlaveSH2();
        SlaveSH2On();
    }
    trigger.armed = true;
    int32_t outerResult = -1;
    switch (outer) {
        case Outer::InitVectorRead:
        case Outer::InitMessage: outerResult = InitSH2Plugin(&host); break;
        case Outer::ResetMasterVectorRead: ResetMasterSH2(); break;
        case Outer::ResetSlaveVectorRead: ResetSlaveSH2(); break;
        case Outer::SetupMessage: SetupPlugin(); break;
        case Outer::DeInitMessage: DeInitPlugin(); break;
        default: outerResult = SH2RunCycles(kBudget); break;
    }
    ASSERT_TRUE(trigger.fired) << "the callback was never called";

    const bool deinit = nested == Nested::DeInit || outer == Outer::DeInitMessage;
    if (nested == Nested::DeInit && outer != Outer::DeInitMessage && !outerInit) {
        EXPECT_TRUE(trigger.coresDuringOuter) << "DeInitPlugin freed the cores while the outer export ran";
    }
    EXPECT_EQ(sh2debug::Exists(Processor::Master), !deinit);
    EXPECT_EQ(Count(machine.messages, kDeinitLine), deinit ? 1 : 0) << Lines(machine.messages);
    EXPECT_EQ(Count(machine.messages, kOkLine), outerInit ? 1 : 0) << Lines(machine.messages);
    if (nested == Nested::Init || nested == Nested::RunCycles) {
        EXPECT_EQ(trigger.result, 0) << "a nested " << kNestedNames[static_cast<int>(nested)] << " ran";
    }
    if (outerInit) {
        EXPECT_EQ(outerResult, 1);
    } else if (outer != Outer::ResetMasterVectorRead && outer != Outer::ResetSlaveVectorRead &&
               outer != Outer::SetupMessage && outer != Outer::DeInitMessage) {
        EXPECT_GE(outerResult, kBudget) << "the outer slice lost part of its budget";
        EXPECT_LE(outerResult, kBudget + 4);
    }

    // The library serves the host as before.
    trigger.armed = false;
    DeInitPlugin();
    ASSERT_EQ(InitSH2Plugin(&host), 1);
    EXPECT_GE(SH2RunCycles(10), 10);
}

std::string CaseLabel(const ::testing::TestParamInfo<std::tuple<OuterCase, Nested>> &info) {
    return std::string(std::get<0>(info.param).name) + "_" + kNestedNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    EveryExportFromEveryCallback, ExportFromCallback,
    ::testing::Combine(::testing::ValuesIn(kOuters),
                       ::testing::Values(Nested::Init, Nested::DeInit, Nested::DisplayInfo, Nested::Setup,
                                         Nested::RunCycles, Nested::ResetMaster, Nested::ResetSlave, Nested::SlaveOn,
                                         Nested::SlaveOff, Nested::MasterInterrupt, Nested::SlaveInterrupt,
                                         Nested::MasterCapture, Nested::SlaveCapture, Nested::SetPc)),
    CaseLabel);

// A host that leaves a callback by longjmp, as sh2run's exit port does,
// abandons the slice under way, here from a delay slot: the next calls from
// outside run slices (whose branches run their slots) and shut the library
// down as usual.
std::jmp_buf leaveSlice;
int storesAfterLeaving = 0;
void LeaveOnTrigger(const HostAccess &access) {
    if (access.kind != HostAccess::Write || access.address != kTrigger) return;
    if (!trigger.armed) {
        ++storesAfterLeaving;
        return;
    }
    trigger.armed = false;
    std::longjmp(leaveSlice, 1);
}

bool RunUntilLeft(int32_t budget, int32_t &cycles) {
    if (setjmp(leaveSlice) != 0) return false;
    cycles = SH2RunCycles(budget);
    return true;
}

TEST_F(PluginEntryPoints, AHostThatLeavesACallbackByLongjmpAbandonsTheSlice) {
    trigger = Trigger{};
    sh2host::hooks.onAccess = LeaveOnTrigger;
    host = machine.Interface();
    // mov.l @(8,pc),r1 ; bra to itself with mov.l r0,@r1 in the slot, forever
    machine.SetWords(kPowerOnPc, {0xD102, 0xAFFD, 0x2102, 0x0009});
    machine.SetLong(kPowerOnPc + 12, kTrigger);
    Init();
    trigger.armed = true;
    storesAfterLeaving = 0;
    int32_t cycles = -1;
    EXPECT_FALSE(RunUntilLeft(kBudget, cycles)) << "the callback did not leave the slice";
    const int32_t next = SH2RunCycles(kBudget);
    EXPECT_GE(next, kBudget) << "the slice after the abandoned one ran nothing";
    EXPECT_LE(next, kBudget + 2);
    EXPECT_GE(storesAfterLeaving, kBudget / 8) << "the branches after the abandoned slot skip their slots";
    DeInitPlugin();
    EXPECT_FALSE(sh2debug::Exists(Processor::Master));
    EXPECT_EQ(Count(machine.messages, kDeinitLine), 1) << Lines(machine.messages);
}

}  // namespace
