#include "host_memory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

namespace sh2host {

PortState ports;
HostHooks hooks;
WrittenPages writtenPages;
bool quietMessages = false;

namespace {

constexpr size_t kPageSize = 4096;

HostMemory *memory = nullptr;

// The block and the word index an address selects, exactly as the fetch does.
uint32_t &WordAt(uint32_t address) {
    const uint32_t region = address & 0x0FF00000u;
    if (region == 0) return memory->Block(0)[(address & 0x7FFFCu) >> 2];
    if (region == 0x00200000u) return memory->Block(1)[(address & 0xFFFFCu) >> 2];
    return memory->Block(2)[(address & 0x1FFFFCu) >> 2];
}

unsigned ByteShift(uint32_t address) {
    return (3u - (address & 3u)) * 8u;
}

}  // namespace

HostMemory::HostMemory() {
    for (int i = 0; i < 3; ++i) {
#if defined(_WIN32)
        void *block = _aligned_malloc(kBlockSizes[i], kPageSize);
#else
        void *block = std::aligned_alloc(kPageSize, kBlockSizes[i]);
#endif
        if (block == nullptr) throw std::bad_alloc();
        blocks_[i].reset(static_cast<uint32_t *>(block));
    }
    Clear();
}

void HostMemory::Release::operator()(uint32_t *block) const {
#if defined(_WIN32)
    _aligned_free(block);
#else
    std::free(block);
#endif
}

bool HostMemory::SetReadOnly(bool readOnly) {
#if defined(_WIN32)
    (void)readOnly;
    return false;
#else
    for (int i = 0; i < 3; ++i) {
        if (mprotect(Block(i), kBlockSizes[i], readOnly ? PROT_READ : PROT_READ | PROT_WRITE) != 0) return false;
    }
    readOnly_ = readOnly;
    return true;
#endif
}

HostMemory::~HostMemory() {
    if (readOnly_) SetReadOnly(false);  // the allocator may write to freed memory
    if (memory == this) memory = nullptr;
}

void HostMemory::Clear() {
    for (int i = 0; i < 3; ++i) std::memset(blocks_[i].get(), 0, kBlockSizes[i]);
}

void UseMemory(HostMemory *selected) {
    memory = selected;
}

size_t WrittenPages::PageOf(uint32_t address) {
    const uint32_t natural = NaturalAddress(address);
    const int block = BlockHolding(natural);
    size_t first = 0;
    for (int i = 0; i < block; ++i) first += kBlockSizes[i] / kPageSize;
    return first + (natural - kBlockBases[block]) / kPageSize;
}

uint32_t NaturalAddress(uint32_t address) {
    const uint32_t region = address & 0x0FF00000u;
    if (region == 0) return address & 0x7FFFFu;
    if (region == 0x00200000u) return kBlockBases[1] + (address & 0xFFFFFu);
    return kBlockBases[2] + (address & 0x1FFFFFu);
}

int BlockHolding(uint32_t address) {
    for (int i = 0; i < 3; ++i) {
        if (address - kBlockBases[i] < kBlockSizes[i]) return i;
    }
    return -1;
}

uint8_t ReadByteAt(uint32_t address) {
    return static_cast<uint8_t>(WordAt(address) >> ByteShift(address));
}

void WriteByteAt(uint32_t address, uint8_t value) {
    uint32_t &word = WordAt(address);
    const unsigned shift = ByteShift(address);
    word = (word & ~(0xFFu << shift)) | (uint32_t{value} << shift);
}

// Aligned halfwords are read and written whole.
uint16_t ReadWordAt(uint32_t address) {
    if ((address & 1u) == 0) return static_cast<uint16_t>(WordAt(address) >> ((address & 2u) != 0 ? 0 : 16));
    return static_cast<uint16_t>((ReadByteAt(address) << 8) | ReadByteAt(address + 1));
}

void WriteWordAt(uint32_t address, uint16_t value) {
    if ((address & 1u) == 0) {
        uint32_t &word = WordAt(address);
        const unsigned shift = (address & 2u) != 0 ? 0 : 16;
        word = (word & ~(0xFFFFu << shift)) | (uint32_t{value} << shift);
        return;
    }
    WriteByteAt(address, static_cast<uint8_t>(value >> 8));
    WriteByteAt(address + 1, static_cast<uint8_t>(value));
}

uint32_t ReadLongAt(uint32_t address) {
    if ((address & 3u) == 0) return WordAt(address);
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) value = (value << 8) | ReadByteAt(address + i);
    return value;
}

void WriteLongAt(uint32_t address, uint32_t value) {
    if ((address & 3u) == 0) {
        WordAt(address) = value;
        return;
    }
    for (uint32_t i = 0; i < 4; ++i) WriteByteAt(address + i, static_cast<uint8_t>(value >> (24 - 8 * i)));
}

void ZeroBytesAt(uint32_t address, uint64_t size) {
    for (; size > 0 && (address & 3u) != 0; --size) WriteByteAt(address++, 0);
    const uint64_t words = size / 4;
    if (words > 0) std::memset(&WordAt(address), 0, static_cast<size_t>(words * 4));
    address += static_cast<uint32_t>(words * 4);
    for (size -= words * 4; size > 0; --size) WriteByteAt(address++, 0);
}

namespace {

// The six callbacks; the observed set also hands every access to
// hooks.onAccess and drops writes if asked, so the plain set that sh2run and
// the benchmarks get pays nothing for either.
template <bool kObserved>
void Observe(HostAccess::Kind kind, uint8_t width, uint32_t address, uint32_t value) {
    if constexpr (kObserved) {
        if (hooks.onAccess != nullptr) hooks.onAccess({kind, width, address, value});
    }
}

// Whether a write is stored; the observed set marks what it stores.
template <bool kObserved>
bool Stores(uint32_t address, uint32_t width) {
    if constexpr (kObserved) {
        if (hooks.dropWrites) return false;
        writtenPages.Mark(address);
        writtenPages.Mark(address + width - 1);
    }
    return true;
}

void PrintToConsole(int c) {
    errno = 0;
    if (std::fputc(c, ports.console) == EOF || std::ferror(ports.console) != 0 ||
        (c == '\n' && ports.flushAtNewline && std::fflush(ports.console) != 0)) {
        ports.consoleError = errno != 0 ? errno : EIO;
        if (ports.onConsoleError != nullptr) ports.onConsoleError();
    }
}

// One character the program prints. A stretch run again prints only the
// characters past those printed before.
void EmitConsoleByte(char c) {
    if (ports.consoleBytes == ports.consolePrinted) {
        if (ports.console != nullptr && ports.consoleError == 0) PrintToConsole(static_cast<unsigned char>(c));
        ++ports.consolePrinted;
    }
    ++ports.consoleBytes;
}

// The slave's line, whole, after its prefix; the line is then empty.
void PrintSlaveLine() {
    for (const char *p = kSlaveLinePrefix; *p != '\0'; ++p) EmitConsoleByte(*p);
    for (size_t i = 0; i < ports.slaveLineLength; ++i) EmitConsoleByte(ports.slaveLine[i]);
    EmitConsoleByte('\n');
    ports.slaveLineLength = 0;
}

// A request of the signal and switch ports (a long write).
void RequestFromPort(uint32_t address, uint32_t value) {
    if (address == kSlaveCapturePort) {
        ports.slaveCaptureRequested = true;
    } else if (address == kMasterCapturePort) {
        ports.masterCaptureRequested = true;
    } else {
        if ((value & kSlaveControlReset) != 0) ports.slaveResetRequested = true;
        ports.slaveSwitchRequested = true;
        ports.slaveSwitchOn = (value & kSlaveControlOn) != 0;
    }
}

template <bool kObserved>
uint8_t SH2_FASTCALL HostReadByte(uint32_t address) {
    const uint8_t value = ReadByteAt(address);
    Observe<kObserved>(HostAccess::Read, 1, address, value);
    return value;
}

template <bool kObserved>
uint16_t SH2_FASTCALL HostReadWord(uint32_t address) {
    const uint16_t value = ReadWordAt(address);
    Observe<kObserved>(HostAccess::Read, 2, address, value);
    return value;
}

template <bool kObserved>
uint32_t SH2_FASTCALL HostReadLong(uint32_t address) {
    const uint32_t value = ReadLongAt(address);
    Observe<kObserved>(HostAccess::Read, 4, address, value);
    return value;
}

template <bool kObserved>
void SH2_FASTCALL HostWriteByte(uint32_t address, uint32_t value) {
    Observe<kObserved>(HostAccess::Write, 1, address, value & 0xFF);
    if (IsPortWrite(address, 1)) {
        if (ports.exited) return;
        const char c = static_cast<char>(value & 0xFF);
        if (address == kConsolePort) {
            EmitConsoleByte(c);
        } else if (c == '\n') {
            PrintSlaveLine();
        } else {
            if (ports.slaveLineLength == PortState::kSlaveLineMax) PrintSlaveLine();
            ports.slaveLine[ports.slaveLineLength++] = c;
        }
        return;
    }
    if (Stores<kObserved>(address, 1)) WriteByteAt(address, static_cast<uint8_t>(value));
}

template <bool kObserved>
void SH2_FASTCALL HostWriteWord(uint32_t address, uint32_t value) {
    Observe<kObserved>(HostAccess::Write, 2, address, value & 0xFFFF);
    if (Stores<kObserved>(address, 2)) WriteWordAt(address, static_cast<uint16_t>(value));
}

template <bool kObserved>
void SH2_FASTCALL HostWriteLong(uint32_t address, uint32_t value) {
    Observe<kObserved>(HostAccess::Write, 4, address, value);
    if (IsPortWrite(address, 4)) {
        if (ports.exited) return;  // once the program has exited, no port takes anything
        if (address != kExitPort) {
            RequestFromPort(address, value);
            return;
        }
        EndSlaveLine();
        ports.exited = true;
        ports.exitStatus = value;
        if (ports.onExit != nullptr) ports.onExit();
        return;
    }
    if (Stores<kObserved>(address, 4)) WriteLongAt(address, value);
}

template <bool kObserved>
void Fill(SH2HostInterface &host) {
    host.ReadByte = HostReadByte<kObserved>;
    host.ReadWord = HostReadWord<kObserved>;
    host.ReadLong = HostReadLong<kObserved>;
    host.WriteByte = HostWriteByte<kObserved>;
    host.WriteWord = HostWriteWord<kObserved>;
    host.WriteLong = HostWriteLong<kObserved>;
}

void SH2_CDECL HostShowMessage(const char *text, uint32_t colour) {
    if (hooks.message != nullptr) {
        hooks.message(text, colour);
    } else if (!quietMessages) {
        std::fprintf(stderr, "[plugin] %s\n", text);
    }
}

}  // namespace

bool IsPortWrite(uint32_t address, uint32_t width) {
    if (!hooks.portsEnabled) return false;
    switch (address) {
        case kConsolePort:
        case kSlaveConsolePort: return width == 1;
        case kExitPort:
        case kSlaveCapturePort:
        case kMasterCapturePort:
        case kSlaveControlPort: return width == 4;
        default: return false;
    }
}

void EndSlaveLine() {
    if (ports.slaveLineLength != 0) PrintSlaveLine();
}

bool FlushConsole() {
    errno = 0;
    if (ports.console != nullptr && ports.consoleError == 0 &&
        (std::fflush(ports.console) != 0 || std::ferror(ports.console) != 0)) {
        ports.consoleError = errno != 0 ? errno : EIO;
    }
    return ports.consoleError == 0;
}

SH2HostInterface MakeHostInterface(const HostMemory &hostMemory, Callbacks callbacks) {
    SH2HostInterface host{};
    writtenPages.tracked = callbacks == Callbacks::Observed;
    if (writtenPages.tracked) {
        Fill<true>(host);
    } else {
        Fill<false>(host);
    }
    host.MemoryBlock0 = hostMemory.Block(0);
    host.MemoryBlock1 = hostMemory.Block(1);
    host.MemoryBlock2 = hostMemory.Block(2);
    host.ShowMessage = HostShowMessage;
    return host;
}

}  // namespace sh2host
