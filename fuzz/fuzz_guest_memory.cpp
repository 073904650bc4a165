// Fuzz target: the input becomes the emulated machine's memory, then both
// processors run a bounded number of slices through the exported functions,
// with interrupt requests, input-capture signals, resets, the slave switched on
// and off and MasterSH2SetPC between slices.
//
// Input layout (all numbers big-endian):
//   u16 fill      emulated halfword repeated through all three blocks
//   u8  slices    1 + (value % 16) slices at most
//   u8  flags     bit 0: slave on from the start
//   u16 length    image length (at most 0x4000)
//   image         emulated bytes placed at offset 0 and at the end of every
//                 block; the first 16 bytes are the power-on and reset vectors
//   then per slice:
//   u8  actions   bit 0: master interrupt request (u16 vector, u16 level)
//                 bit 1: slave interrupt request (u16 vector, u16 level)
//                 bit 2: master input capture    bit 3: slave input capture
//                 bit 4: reset master            bit 5: reset slave
//                 bit 6: toggle the slave        bit 7: MasterSH2SetPC (u32)
//   u16 cycles    slice length: (value % 1088) - 64, so also 0 and negative
//
// Checked: no access outside the blocks (AddressSanitizer, and the blocks are
// read-only while the library runs), host callbacks only inside InitSH2Plugin,
// the resets and SH2RunCycles, every slice of N > 0 cycles executes at least N
// and less than N + kLongestStep cycles (master and slave), a slice of N <= 0
// executes none, a switched-off slave does not move, and every box and message
// is one the library may show.
#include <cstddef>
#include <cstdint>

#include "fuzz_host.h"
#include "plugin/plugin_state.h"
#include "sh2_plugin.h"

namespace {

using sh2fuzz::Check;
using sh2fuzz::FuzzHost;
using sh2fuzz::HostCallWindow;
using sh2fuzz::InputReader;
using sh2fuzz::kLongestStep;

constexpr uint64_t kHostCallBudget = uint64_t{1} << 22;
constexpr size_t kMaxImage = 0x4000;

// A not-taken BT/S (0x8Dxx with T clear) costs no cycles; memory filled with
// it makes each slice walk 2^27 instructions before the library ends it. That
// case has its own test; here such a fill becomes a BT (0x89xx) to keep the
// fuzzer fast.
uint16_t UsableFill(uint16_t fill) {
    return (fill >> 8) == 0x8D ? static_cast<uint16_t>(fill ^ 0x0400) : fill;
}

void LoadMemory(FuzzHost &host, InputReader &in, uint16_t fill) {
    host.Unprotect();
    host.Fill(UsableFill(fill));
    const size_t wanted = in.U16() % (kMaxImage + 1);
    size_t length = 0;
    const uint8_t *image = in.Bytes(wanted, length);
    for (int b = 0; b < 3; ++b) {
        host.Place(b, 0, image, length);
        const uint32_t tail = (sh2fuzz::kBlockSizes[b] - static_cast<uint32_t>(length)) & ~3u;
        host.Place(b, tail, image, length);
    }
    host.Protect();
}

void CheckSlice(int32_t target, int32_t executed, const char *what) {
    if (target <= 0) {
        Check(executed == 0, what);
    } else {
        Check(executed >= target && executed - target < kLongestStep, what);
    }
}

struct SlaveSnapshot {
    uint32_t PC, SR, R15;
    int32_t sliceCycles;
    uint32_t pendingCount;
    bool operator==(const SlaveSnapshot &) const = default;
};

SlaveSnapshot SnapshotSlave() {
    const sh2::SH2Core &s = *sh2::SlaveCore;
    return {s.PC, s.SR, s.R[15], s.sliceCycles, s.pendingInterrupts.pendingCount};
}

void RunSlices(InputReader &in, unsigned slices) {
    for (unsigned slice = 0; slice < slices && !in.Empty(); ++slice) {
        const uint8_t actions = in.U8();
        const int32_t target = static_cast<int32_t>(in.U16() % 1088) - 64;
        if (actions & 0x01) {
            const uint16_t vector = in.U16();
            MasterSH2InterruptRequest(vector, in.U16());
        }
        if (actions & 0x02) {
            const uint16_t vector = in.U16();
            SlaveSH2InterruptRequest(vector, in.U16());
        }
        if (actions & 0x04) MasterSH2InputCaptureSignal();
        if (actions & 0x08) SlaveSH2InputCaptureSignal();
        if (actions & 0x10) {
            HostCallWindow window;
            ResetMasterSH2();
        }
        if (actions & 0x20) {
            HostCallWindow window;
            ResetSlaveSH2();
        }
        if (actions & 0x40) {
            if (sh2::SlaveEnabled != 0) {
                SlaveSH2Off();
            } else {
                SlaveSH2On();
            }
        }
        if (actions & 0x80) MasterSH2SetPC(in.U32());

        const bool slaveOn = sh2::SlaveEnabled != 0;
        const SlaveSnapshot before = SnapshotSlave();
        int32_t executed;
        {
            HostCallWindow window;
            executed = SH2RunCycles(target);
        }
        CheckSlice(target, executed, "master slice length");
        if (slaveOn) {
            CheckSlice(target, sh2::SlaveCore->sliceCycles, "slave slice length");
        } else {
            Check(SnapshotSlave() == before, "a switched-off slave changed");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzHost &host = FuzzHost::Get();
    host.BeginInput(kHostCallBudget);
    InputReader in(data, size);
    const uint16_t fill = in.U16();
    const unsigned slices = 1u + in.U8() % 16u;
    const uint8_t flags = in.U8();
    LoadMemory(host, in, fill);

    const SH2HostInterface record = host.Interface();
    try {
        {
            HostCallWindow window;
            Check(InitSH2Plugin(&record) == 1, "InitSH2Plugin failed");
        }
        Check(host.counters.messages == 1, "InitSH2Plugin sends one line");
        if (flags & 1) {
            SlaveSH2On();
        }
        RunSlices(in, slices);
    } catch (const sh2fuzz::HostBudgetExceeded &) {
        // A long DMA transfer: legal, just too slow to finish here.
    }
    DeInitPlugin();
    return 0;
}
