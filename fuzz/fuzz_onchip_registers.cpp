// Fuzz target: random sequences of accesses of every width at every address of
// the on-chip register window 0xFFFFFE00..0xFFFFFFFF (timer, division unit,
// DMA controller, watchdog), made through the memory access layer on a core of
// its own, mixed with timer updates, input captures, end-of-slice servicing,
// resets, interrupt requests and the odd access elsewhere in the address
// space.
//
// Input: a sequence of operations, each an op byte followed by its operands
// (big-endian):
//   op & 7 = 0..5  read byte/word/long, write byte/word/long:
//                  u16 address selector, then the value for a write. The
//                  address is 0xFFFFFE00 + (selector AND 0x1FF); a selector of
//                  0xFE00 or above takes a whole u32 address instead.
//   op & 7 = 6     u8 service: timer update (u32 cycles), input capture,
//                  slice end with no instructions, reset, interrupt request
//                  (u8 vector, u8 level, levels above 15 included)
//   op & 7 = 7     u8 register index, u32 value: a long write to one of the
//                  division and DMA registers
//
// The fuzzer keeps DMA transfers short by clearing the upper bits of the
// 24-bit count in every byte it writes to TCR0 or TCR1 (counts stay below
// 0x1000 units; the ignored top byte is left as it comes). Checked: accesses
// inside either window never reach the host, except a long write to CHCR0,
// CHCR1 or DMAOR that starts a transfer, which makes exactly two host calls per
// unit (eight for 16-byte units) and leaves TCR 0 and TE set; single address
// mode shows one "Warning" box and transfers nothing; host accesses elsewhere
// happen exactly once and writes of 0x40000000..0xBFFFFFFF are dropped; the
// pending interrupt table stays consistent.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "bus/free_running_timer.h"
#include "bus/memory.h"
#include "bus/onchip_registers.h"
#include "core/interrupts.h"
#include "core/sh2_core.h"
#include "fuzz_host.h"
#include "isa/run_loop.h"

namespace {

using sh2::SH2Core;
using sh2fuzz::Check;
using sh2fuzz::FuzzHost;
using sh2fuzz::HostCallWindow;
using sh2fuzz::InputReader;

constexpr uint32_t kWindow = 0xFFFFFE00u;

constexpr uint32_t kLongRegisters[] = {
    sh2::reg::SAR0,           sh2::reg::DAR0,        sh2::reg::TCR0,    sh2::reg::CHCR0,   sh2::reg::SAR1,
    sh2::reg::DAR1,           sh2::reg::TCR1,        sh2::reg::CHCR1,   sh2::reg::DMAOR,   0xFFFFFFA0 /* VCRDMA0 */,
    0xFFFFFFA8 /* VCRDMA1 */, 0xFFFFFEE0 /* IPRA */, sh2::reg::DVSR,    sh2::reg::DVDNT,   sh2::reg::DVCR,
    sh2::reg::DVDNTH,         sh2::reg::DVDNTL,      sh2::reg::DVDNTUH, sh2::reg::DVDNTUL,
};

// The byte the fuzzer lets reach register image element `element`: the two
// upper bytes of each 24-bit transfer count are kept small.
uint8_t Tame(uint32_t element, uint8_t value) {
    switch (element) {
        case sh2::reg::TCR0 + 1 - kWindow:
        case sh2::reg::TCR1 + 1 - kWindow: return 0;
        case sh2::reg::TCR0 + 2 - kWindow:
        case sh2::reg::TCR1 + 2 - kWindow: return value & 0x0F;
        default: return value;
    }
}

// Applies Tame to each byte of a big-endian write of `width` bytes, with the
// window's wrap-around at its end.
uint32_t TameWrite(uint32_t address, uint32_t value, unsigned width) {
    if (address < kWindow) {
        return value;
    }
    uint32_t result = 0;
    for (unsigned i = 0; i < width; ++i) {
        const unsigned shift = 8 * (width - 1 - i);
        const uint32_t element = ((address & 0x1FF) + i) & 0x1FF;
        result |= uint32_t{Tame(element, static_cast<uint8_t>(value >> shift))} << shift;
    }
    return result;
}

uint32_t ImageLongOf(const uint8_t *image, uint32_t address) {
    const uint32_t o = address & 0x1FF;
    return (uint32_t{image[o]} << 24) | (uint32_t{image[o + 1]} << 16) | (uint32_t{image[o + 2]} << 8) | image[o + 3];
}

struct DmaExpectation {
    bool runs[2] = {false, false};
    uint64_t hostCalls = 0;
    uint64_t warnings = 0;
};

// What a long write of `value` to `address` must start, worked out from the
// register image as it will be once the value is stored.
DmaExpectation ExpectDma(const SH2Core &core, uint32_t address, uint32_t value) {
    DmaExpectation e;
    uint8_t image[sh2::kOnChipRegisterFileSize];
    std::memcpy(image, core.OnChipRegisterFile, sizeof image);
    const uint32_t o = address & 0x1FF;
    for (unsigned i = 0; i < 4; ++i) {
        image[(o + i) & 0x1FF] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
    const bool masterEnable = (ImageLongOf(image, sh2::reg::DMAOR) & 1) != 0;
    if (address == sh2::reg::CHCR0 || address == sh2::reg::CHCR1) {
        e.runs[address == sh2::reg::CHCR1 ? 1 : 0] = (value & 1) != 0 && masterEnable;
    } else if (address == sh2::reg::DMAOR && (value & 1) != 0) {
        for (int ch = 0; ch < 2; ++ch) {
            const uint32_t chcr = ImageLongOf(image, sh2::reg::CHCR0 + 0x10u * static_cast<uint32_t>(ch));
            e.runs[ch] = (chcr & 1) != 0 && (chcr & 2) == 0;
        }
    }
    for (int ch = 0; ch < 2; ++ch) {
        if (!e.runs[ch]) {
            continue;
        }
        const uint32_t chcr = ImageLongOf(image, sh2::reg::CHCR0 + 0x10u * static_cast<uint32_t>(ch));
        const uint32_t count = ImageLongOf(image, sh2::reg::TCR0 + 0x10u * static_cast<uint32_t>(ch)) & 0x00FFFFFF;
        if ((chcr & 8) != 0) {
            ++e.warnings;
        } else {
            e.hostCalls += uint64_t{count} * (((chcr >> 10) & 3) == 3 ? 8 : 2);
        }
    }
    return e;
}

void CheckPendingTable(const SH2Core &core) {
    const sh2::PendingInterruptTable &t = core.pendingInterrupts;
    Check(t.pending[0] == 0, "level 0 pending");
    uint32_t count = 0;
    for (int level = 1; level < 16; ++level) {
        Check(t.pending[level] <= 1, "pending flag not 0 or 1");
        count += t.pending[level];
    }
    Check(count == t.pendingCount, "pendingCount disagrees with the flags");
}

uint32_t SelectAddress(InputReader &in) {
    const uint16_t selector = in.U16();
    return selector >= 0xFE00 ? in.U32() : kWindow + (selector & 0x1FFu);
}

// Host calls a plain access at `address` must make outside the windows.
uint64_t PlainHostCalls(uint32_t address, bool write) {
    if (address >= sh2::kOnChipRamBase) {
        return 0;
    }
    return write && address >= sh2::kHostWriteLimit ? 0 : 1;
}

void Access(SH2Core &core, unsigned kind, InputReader &in) {
    FuzzHost &host = FuzzHost::Get();
    const uint32_t address = SelectAddress(in);
    const bool write = kind >= 3;
    const unsigned width = 1u << (kind % 3);
    uint32_t value = 0;
    if (write) {
        value = width == 1 ? in.U8() : width == 2 ? in.U16() : in.U32();
        value = TameWrite(address, value, width);
    }
    DmaExpectation expected;
    if (kind == 5 && address >= kWindow) {
        expected = ExpectDma(core, address, value);
    } else if (address < kWindow) {
        expected.hostCalls = PlainHostCalls(address, write);
    }
    const uint64_t callsBefore = host.counters.Calls();
    const uint64_t warningsBefore = host.counters.warningBoxes;
    {
        HostCallWindow window;
        switch (kind) {
            case 0: (void)sh2::BusReadByte(core, address); break;
            case 1: (void)sh2::BusReadWord(core, address); break;
            case 2: (void)sh2::BusReadLong(core, address); break;
            case 3: sh2::BusWriteByte(core, address, static_cast<uint8_t>(value)); break;
            case 4: sh2::BusWriteWord(core, address, static_cast<uint16_t>(value)); break;
            default: sh2::BusWriteLong(core, address, value); break;
        }
    }
    Check(host.counters.Calls() - callsBefore == expected.hostCalls, "host calls of an access");
    Check(host.counters.warningBoxes - warningsBefore == expected.warnings, "DMA warning boxes");
    for (int ch = 0; ch < 2; ++ch) {
        if (expected.runs[ch]) {
            Check(sh2::ImageLong(core, sh2::reg::TCR0 + 0x10u * static_cast<uint32_t>(ch)) == 0,
                  "TCR after a transfer");
            Check((sh2::ImageLong(core, sh2::reg::CHCR0 + 0x10u * static_cast<uint32_t>(ch)) & 2) != 0,
                  "TE after a transfer");
        }
    }
}

void LongWriteToRegister(SH2Core &core, InputReader &in) {
    const uint32_t address = kLongRegisters[in.U8() % std::size(kLongRegisters)];
    const uint32_t value = TameWrite(address, in.U32(), 4);
    FuzzHost &host = FuzzHost::Get();
    const DmaExpectation expected = ExpectDma(core, address, value);
    const uint64_t callsBefore = host.counters.Calls();
    {
        HostCallWindow window;
        sh2::BusWriteLong(core, address, value);
    }
    Check(host.counters.Calls() - callsBefore == expected.hostCalls, "host calls of a register write");
}

void Service(SH2Core &core, InputReader &in) {
    FuzzHost &host = FuzzHost::Get();
    const uint64_t callsBefore = host.counters.Calls();
    HostCallWindow window;
    switch (in.U8() % 6) {
        case 0:
            sh2::UpdateFreeRunningTimer(core, static_cast<int32_t>(in.U32() & 0x7FFFFFFF));
            Check(host.counters.Calls() == callsBefore, "the timer called the host");
            break;
        case 1:
            sh2::CaptureInput(core);
            Check(host.counters.Calls() == callsBefore, "input capture called the host");
            break;
        case 2:
            // A slice end with no instructions: the exception entry and one
            // interrupt acceptance, three host calls each at most.
            Check(sh2::RunCycles(core, -static_cast<int32_t>(in.U8())) == 0, "empty slice");
            Check(host.counters.Calls() - callsBefore <= 6, "host calls of a slice end");
            break;
        case 3:
            sh2::ResetCore(core);
            Check(host.counters.Calls() - callsBefore == 2, "host calls of a reset");
            break;
        case 4: {
            const uint8_t vector = in.U8();
            sh2::RequestInterrupt(core, vector, in.U8());
            break;
        }
        default: sh2::SetExceptionRequest(core); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzHost &host = FuzzHost::Get();
    host.BeginInput(UINT64_MAX);
    host.Protect();
    const SH2HostInterface record = host.Interface();
    SH2Core *core;
    {
        HostCallWindow window;
        core = sh2::CreateCore(true, record);
    }
    Check(core != nullptr, "CreateCore failed");

    InputReader in(data, size);
    while (!in.Empty()) {
        const unsigned kind = in.U8() & 7u;
        if (kind <= 5) {
            Access(*core, kind, in);
        } else if (kind == 6) {
            Service(*core, in);
        } else {
            LongWriteToRegister(*core, in);
        }
        CheckPendingTable(*core);
    }
    Check(host.counters.errorBoxes == 0 && host.counters.aboutBoxes == 0, "unexpected box");
    sh2::DestroyCore(core);
    return 0;
}
