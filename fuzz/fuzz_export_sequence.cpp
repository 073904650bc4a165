// Fuzz target: the fourteen exports called in any order, including before
// InitSH2Plugin, after DeInitPlugin, with a null record, with records that
// lack callbacks or blocks, and InitSH2Plugin repeated without DeInitPlugin.
//
// Input: a sequence of operations, one byte each (the low 4 bits choose the
// export) followed by its operands (big-endian):
//    0 InitSH2Plugin, complete record (u8: bit 0 drops ShowMessage)
//    1 InitSH2Plugin(null)
//    2 InitSH2Plugin, record with holes (u16: bits 0..8 drop the six memory
//      callbacks and three blocks in record order, bit 9 drops ShowMessage)
//    3 DeInitPlugin          4 DisplayPluginInfo      5 SetupPlugin
//    6 SH2RunCycles (u8 read as signed, times 8)
//    7, 8 a reset (u8: bit 0 set ResetSlaveSH2, clear ResetMasterSH2)
//    9 SlaveSH2On
//   10 SlaveSH2Off          11 MasterSH2InterruptRequest (u32 vector, u32 level)
//   12 SlaveSH2InterruptRequest (u32, u32)            13 MasterSH2InputCaptureSignal
//   14 SlaveSH2InputCaptureSignal                     15 MasterSH2SetPC (u32)
//
// The machine runs a small fixed program: a loop that counts in R0 and stores
// it on the stack, every interrupt vector pointing at RTE, NOP everywhere
// else. Checked against a model of the library's state: each export's result,
// the message lines it sends (count and colour), the About box, host calls
// only from InitSH2Plugin, the resets and SH2RunCycles of an initialised
// library (two reads per reset), slice lengths, and no use of the record after
// InitSH2Plugin returns (it is freed at once).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_host.h"
#include "sh2_plugin.h"

namespace {

using sh2fuzz::Check;
using sh2fuzz::FuzzHost;
using sh2fuzz::HostCallWindow;
using sh2fuzz::InputReader;
using sh2fuzz::kLongestStep;

constexpr uint32_t kEntry = 0x1000;
constexpr uint32_t kStack = 0x7F000;
constexpr uint32_t kHandler = 0x1100;

void PlaceHalfword(FuzzHost &host, uint32_t address, uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    host.Place(0, address, bytes, 2);
}

void BuildMachine(FuzzHost &host) {
    host.Unprotect();
    host.Fill(0x0009);  // NOP
    for (uint32_t vector = 0; vector < 256; ++vector) {
        host.PlaceLong(0, 4 * vector, kHandler);
    }
    host.PlaceLong(0, 0, kEntry);
    host.PlaceLong(0, 4, kStack);
    host.PlaceLong(0, 8, kEntry);
    host.PlaceLong(0, 12, kStack);
    PlaceHalfword(host, kEntry + 0, 0x7001);    // ADD #1,R0
    PlaceHalfword(host, kEntry + 2, 0x2F02);    // MOV.L R0,@R15
    PlaceHalfword(host, kEntry + 4, 0xAFFC);    // BRA kEntry
    PlaceHalfword(host, kEntry + 6, 0x0009);    // NOP (slot)
    PlaceHalfword(host, kHandler + 0, 0x002B);  // RTE
    PlaceHalfword(host, kHandler + 2, 0x0009);  // NOP (slot)
    host.Protect();
}

// What the library is expected to hold.
struct Model {
    bool initialised = false;  // both cores exist
    bool messages = false;     // a message callback is installed
    bool anything = false;     // InitSH2Plugin ran with a record since the last DeInitPlugin
};

void InitWith(FuzzHost &host, Model &model, uint16_t holes) {
    auto *record = new SH2HostInterface(host.Interface());
    void **fields = reinterpret_cast<void **>(record);
    for (int i = 0; i < 10; ++i) {
        if (holes & (1u << i)) {
            fields[i] = nullptr;
        }
    }
    const bool complete = (holes & 0x1FF) == 0;
    const bool withMessages = (holes & 0x200) == 0;
    const uint64_t messagesBefore = host.counters.messages;
    uint8_t result;
    {
        HostCallWindow window;
        result = InitSH2Plugin(record);
    }
    // The record may be dropped as soon as InitSH2Plugin returns.
    std::memset(record, 0xA5, sizeof *record);
    delete record;
    Check(result == (complete ? 1 : 0), "InitSH2Plugin result");
    Check(host.counters.messages - messagesBefore == (withMessages ? 1u : 0u), "InitSH2Plugin message");
    model.initialised = complete;
    model.messages = withMessages;
    model.anything = true;
}

void Step(FuzzHost &host, Model &model, InputReader &in) {
    const uint64_t callsBefore = host.counters.Calls();
    const uint64_t messagesBefore = host.counters.messages;
    uint64_t expectedMessages = 0;
    uint64_t expectedCalls = 0;
    bool checkCalls = true;
    switch (in.U8() & 15) {
        case 0: InitWith(host, model, (in.U8() & 1) != 0 ? 0x200 : 0); return;
        case 1: {
            uint8_t result;
            {
                HostCallWindow window;
                result = InitSH2Plugin(nullptr);
            }
            Check(result == 0, "InitSH2Plugin(null) result");
            model = Model{};
            break;
        }
        case 2: {
            uint16_t holes = in.U16() & 0x3FF;
            if ((holes & 0x1FF) == 0) {
                holes |= 1;
            }
            InitWith(host, model, holes);
            return;
        }
        case 3:
            DeInitPlugin();
            expectedMessages = model.anything && model.messages ? 1 : 0;
            model = Model{};
            break;
        case 4: {
            const uint64_t boxes = host.counters.aboutBoxes;
            DisplayPluginInfo();
            Check(host.counters.aboutBoxes == boxes + 1, "About box");
            break;
        }
        case 5:
            SetupPlugin();
            expectedMessages = model.messages ? 1 : 0;
            break;
        case 6: {
            const int32_t target = static_cast<int8_t>(in.U8()) * 8;
            int32_t executed;
            {
                HostCallWindow window;
                executed = SH2RunCycles(target);
            }
            if (!model.initialised || target <= 0) {
                Check(executed == 0, "SH2RunCycles result without instructions");
            } else {
                Check(executed >= target && executed - target < kLongestStep, "SH2RunCycles result");
            }
            // An initialised library runs the program, which stores to the host.
            checkCalls = !model.initialised;
            break;
        }
        case 7:
        case 8: {
            {
                HostCallWindow window;
                if (in.U8() & 1) {
                    ResetSlaveSH2();
                } else {
                    ResetMasterSH2();
                }
            }
            expectedCalls = model.initialised ? 2 : 0;  // ReadLong at 8 and 12
            break;
        }
        case 9: SlaveSH2On(); break;
        case 10: SlaveSH2Off(); break;
        case 11: {
            const uint32_t vector = in.U32();
            MasterSH2InterruptRequest(vector, in.U32());
            break;
        }
        case 12: {
            const uint32_t vector = in.U32();
            SlaveSH2InterruptRequest(vector, in.U32());
            break;
        }
        case 13: MasterSH2InputCaptureSignal(); break;
        case 14: SlaveSH2InputCaptureSignal(); break;
        default: MasterSH2SetPC(in.U32()); break;
    }
    Check(host.counters.messages - messagesBefore == expectedMessages, "message lines");
    if (checkCalls) {
        Check(host.counters.Calls() - callsBefore == expectedCalls, "host calls");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzHost &host = FuzzHost::Get();
    host.BeginInput(uint64_t{1} << 22);
    static bool built = false;
    if (!built) {
        BuildMachine(host);
        built = true;
    }
    Model model;
    InputReader in(data, size);
    try {
        while (!in.Empty()) {
            Step(host, model, in);
        }
    } catch (const sh2fuzz::HostBudgetExceeded &) {
    }
    DeInitPlugin();
    return 0;
}
