#include "host_machine.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

namespace sh2host {

PortState ports;
HostHooks hooks;
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

unsigned ByteShift(uint32_t address) { return (3u - (address & 3u)) * 8u; }

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

void UseMemory(HostMemory *selected) { memory = selected; }

bool InsideBlocks(uint32_t address) {
    const uint32_t a = address & 0x0FFFFFFFu;
    for (int i = 0; i < 3; ++i) {
        if (a - kBlockBases[i] < kBlockSizes[i]) return true;
    }
    return false;
}

uint8_t ReadByteAt(uint32_t address) { return static_cast<uint8_t>(WordAt(address) >> ByteShift(address)); }

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
    WriteByteAt(address + 1, value & 0xFF);
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

template <bool kObserved>
bool Stores() {
    if constexpr (kObserved) return !hooks.dropWrites;
    return true;
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
    if (address == kConsolePort && hooks.portsEnabled) {
        if (ports.console != nullptr) std::fputc(static_cast<int>(value & 0xFF), ports.console);
        ++ports.consoleBytes;
        return;
    }
    if (Stores<kObserved>()) WriteByteAt(address, static_cast<uint8_t>(value));
}

template <bool kObserved>
void SH2_FASTCALL HostWriteWord(uint32_t address, uint32_t value) {
    Observe<kObserved>(HostAccess::Write, 2, address, value & 0xFFFF);
    if (Stores<kObserved>()) WriteWordAt(address, static_cast<uint16_t>(value));
}

template <bool kObserved>
void SH2_FASTCALL HostWriteLong(uint32_t address, uint32_t value) {
    Observe<kObserved>(HostAccess::Write, 4, address, value);
    if (address == kExitPort && hooks.portsEnabled) {
        if (!ports.exited) {
            ports.exited = true;
            ports.exitStatus = value;
        }
        return;
    }
    if (Stores<kObserved>()) WriteLongAt(address, value);
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

SH2HostInterface MakeHostInterface(const HostMemory &hostMemory) {
    SH2HostInterface host{};
    if (hooks.onAccess != nullptr || hooks.dropWrites) {
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

namespace {

uint32_t BigEndian32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t BigEndian16(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// The sized STT_FUNC symbols of the first SHT_SYMTAB section. Anything that
// does not fit inside the file ends the walk quietly.
void CollectFunctions(const std::vector<uint8_t> &file, std::vector<FunctionSymbol> &functions) {
    const uint8_t *h = file.data();
    const uint32_t shoff = BigEndian32(h + 32);
    const uint16_t shentsize = BigEndian16(h + 46);
    const uint16_t shnum = BigEndian16(h + 48);
    if (shoff == 0 || shentsize < 40 || uint64_t{shoff} + uint64_t{shnum} * shentsize > file.size()) return;
    auto section = [&](uint32_t index) { return h + shoff + uint64_t{index} * shentsize; };
    for (uint16_t i = 0; i < shnum; ++i) {
        const uint8_t *sh = section(i);
        if (BigEndian32(sh + 4) != 2) continue;  // SHT_SYMTAB
        const uint32_t offset = BigEndian32(sh + 16), size = BigEndian32(sh + 20);
        const uint32_t link = BigEndian32(sh + 24), entsize = BigEndian32(sh + 36);
        if (entsize < 16 || link >= shnum || uint64_t{offset} + size > file.size()) return;
        const uint8_t *strtab = section(link);
        const uint32_t stroff = BigEndian32(strtab + 16), strsize = BigEndian32(strtab + 20);
        if (uint64_t{stroff} + strsize > file.size()) return;
        for (uint32_t at = 0; at + 16 <= size; at += entsize) {
            const uint8_t *sym = h + offset + at;
            const uint32_t name = BigEndian32(sym), value = BigEndian32(sym + 4), length = BigEndian32(sym + 8);
            if ((sym[12] & 0x0F) != 2 || length == 0 || name >= strsize) continue;  // STT_FUNC with a size
            const char *text = reinterpret_cast<const char *>(h + stroff + name);
            const size_t textLength = strnlen(text, strsize - name);
            functions.push_back({std::string(text, textLength), value, length});
        }
        break;
    }
    std::sort(functions.begin(), functions.end(),
              [](const FunctionSymbol &a, const FunctionSymbol &b) { return a.address < b.address; });
}

}  // namespace

bool StoreBytes(uint32_t address, const uint8_t *data, uint64_t size, LoadedImage &image, std::string &error) {
    if (size == 0) return true;
    const uint64_t last = uint64_t{address} + size - 1;
    if (last > 0xFFFFFFFFu || !InsideBlocks(address) || !InsideBlocks(static_cast<uint32_t>(last)) ||
        ((address ^ static_cast<uint32_t>(last)) & 0x0FF00000u) != 0) {
        char text[128];
        std::snprintf(text, sizeof text, "image bytes 0x%08" PRIX32 "..0x%08" PRIX64 " lie outside the host memory blocks",
                      address, last);
        error = text;
        return false;
    }
    for (uint64_t i = 0; i < size; ++i) WriteByteAt(address + static_cast<uint32_t>(i), data ? data[i] : 0);
    if ((address & 0x0FFFFFFFu) < 16) image.coversVectorTable = true;
    return true;
}

bool LoadElf(const std::vector<uint8_t> &file, LoadedImage &image, std::string &error) {
    if (file.size() < 52) {
        error = "truncated ELF header";
        return false;
    }
    if (file[4] != 1) {
        error = "not a 32-bit ELF file";
        return false;
    }
    if (file[5] != 2) {
        error = "little-endian ELF: SH-2 images must be big-endian (link with -EB)";
        return false;
    }
    const uint8_t *h = file.data();
    if (BigEndian16(h + 18) != 42) {
        error = "not an SH ELF file (machine " + std::to_string(BigEndian16(h + 18)) + ")";
        return false;
    }
    if (BigEndian16(h + 16) != 2) {
        error = "not an executable ELF file (link it first)";
        return false;
    }
    const uint32_t phoff = BigEndian32(h + 28);
    const uint16_t phentsize = BigEndian16(h + 42);
    const uint16_t phnum = BigEndian16(h + 44);
    if (phnum == 0 || phentsize < 32 || uint64_t{phoff} + uint64_t{phnum} * phentsize > file.size()) {
        error = "bad ELF program header table";
        return false;
    }
    bool loadedAny = false;
    for (uint16_t i = 0; i < phnum; ++i) {
        const uint8_t *ph = h + phoff + uint64_t{i} * phentsize;
        if (BigEndian32(ph) != 1) continue;  // PT_LOAD only
        const uint32_t offset = BigEndian32(ph + 4);
        const uint32_t paddr = BigEndian32(ph + 12);
        const uint32_t filesz = BigEndian32(ph + 16);
        const uint32_t memsz = BigEndian32(ph + 20);
        if (filesz > memsz || uint64_t{offset} + filesz > file.size()) {
            error = "ELF segment " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        if (!StoreBytes(paddr, h + offset, filesz, image, error) ||
            !StoreBytes(paddr + filesz, nullptr, memsz - filesz, image, error)) {
            return false;
        }
        loadedAny = loadedAny || memsz != 0;
    }
    if (!loadedAny) {
        error = "the ELF file has no loadable segment";
        return false;
    }
    image.entry = BigEndian32(h + 24);
    image.hasEntry = true;
    CollectFunctions(file, image.functions);
    return true;
}

bool ReadFile(const std::string &path, std::vector<uint8_t> &contents) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return false;
    contents.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace sh2host
