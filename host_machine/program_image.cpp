#include "program_image.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "host_memory.h"

namespace sh2host {
namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;
constexpr uint32_t kOnChipRamStart = 0xC0000000u;
constexpr uint32_t kOnChipRegistersStart = 0xFFFFFE00u;

std::string Hex32(uint64_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIX64, value);
    return text;
}

std::string BlockRange(int block) {
    return Hex32(kBlockBases[block]) + ".." + Hex32(uint64_t{kBlockBases[block]} + kBlockSizes[block] - 1);
}

uint32_t BigEndian32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t BigEndian16(const uint8_t *p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// The sized STT_FUNC symbols of the first SHT_SYMTAB section. Offsets are
// 64-bit, so no header field can make them wrap; anything that does not fit
// inside the file ends the walk quietly.
void CollectFunctions(const std::vector<uint8_t> &file, std::vector<FunctionSymbol> &functions) {
    const uint8_t *h = file.data();
    const uint64_t fileSize = file.size();
    const uint64_t shoff = BigEndian32(h + 32), shentsize = BigEndian16(h + 46), shnum = BigEndian16(h + 48);
    if (shoff == 0 || shentsize < 40 || shoff + shnum * shentsize > fileSize) return;
    auto section = [&](uint64_t index) { return h + shoff + index * shentsize; };
    for (uint64_t i = 0; i < shnum; ++i) {
        const uint8_t *sh = section(i);
        if (BigEndian32(sh + 4) != 2) continue;  // SHT_SYMTAB
        const uint64_t offset = BigEndian32(sh + 16), size = BigEndian32(sh + 20);
        const uint64_t link = BigEndian32(sh + 24), entsize = BigEndian32(sh + 36);
        if (entsize < 16 || link >= shnum || offset + size > fileSize) return;
        const uint8_t *strtab = section(link);
        const uint64_t stroff = BigEndian32(strtab + 16), strsize = BigEndian32(strtab + 20);
        if (stroff + strsize > fileSize) return;
        for (uint64_t at = 0; at + 16 <= size; at += entsize) {
            const uint8_t *sym = h + offset + at;
            const uint32_t name = BigEndian32(sym), value = BigEndian32(sym + 4), length = BigEndian32(sym + 8);
            if ((sym[12] & 0x0F) != 2 || length == 0 || name >= strsize) continue;  // STT_FUNC with a size
            // A name runs to its NUL, to the end of the table or to
            // kMaxSymbolName bytes, whichever comes first.
            const char *text = reinterpret_cast<const char *>(h + stroff + name);
            const size_t longest = static_cast<size_t>(std::min<uint64_t>(strsize - name, kMaxSymbolName));
            const uint64_t room = kAddressSpace - value;
            functions.push_back({std::string(text, strnlen(text, longest)), value,
                                 static_cast<uint32_t>(std::min<uint64_t>(length, room))});
        }
        break;
    }
    std::sort(functions.begin(), functions.end(),
              [](const FunctionSymbol &a, const FunctionSymbol &b) { return a.address < b.address; });
}

// Stores `size` bytes; the range is checked.
void Store(uint32_t address, const uint8_t *data, uint64_t size) {
    for (uint64_t i = 0; i < size; ++i) WriteByteAt(address + static_cast<uint32_t>(i), data[i]);
}

struct Segment {
    uint32_t address, fileSize, memorySize;
    const uint8_t *data;
};

// Stores the bytes [from, to) of a segment: its file's bytes, then zeros.
void StorePart(const Segment &segment, uint64_t from, uint64_t to) {
    const uint64_t fileEnd = std::min<uint64_t>(uint64_t{segment.address} + segment.fileSize, to);
    if (from < fileEnd) Store(static_cast<uint32_t>(from), segment.data + (from - segment.address), fileEnd - from);
    from = std::max(from, fileEnd);
    if (from < to) ZeroBytesAt(static_cast<uint32_t>(from), to - from);
}

// Stores the segments as if one after the other, a later one over an
// earlier one, but no byte twice: from the last segment back, each stores
// only the bytes that no later one has stored. Loading so costs the bytes
// of the blocks and the file, however many segments overlap.
void StoreSegments(const std::vector<Segment> &segments) {
    std::map<uint64_t, uint64_t> stored;  // disjoint ranges [first, second) stored so far
    for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
        const uint64_t start = segment->address, end = start + segment->memorySize;
        uint64_t at = start, merged = start, mergedEnd = end;
        auto range = stored.upper_bound(start);
        if (range != stored.begin() && std::prev(range)->second >= start) --range;
        while (range != stored.end() && range->first <= end) {
            if (at < range->first) StorePart(*segment, at, range->first);
            at = std::max(at, range->second);
            merged = std::min(merged, range->first);
            mergedEnd = std::max(mergedEnd, range->second);
            range = stored.erase(range);
        }
        if (at < end) StorePart(*segment, at, end);
        stored.emplace(merged, mergedEnd);
    }
}

bool CheckElfHeader(const std::vector<uint8_t> &file, std::string &error) {
    if (file.size() < 52) {
        error = "truncated ELF header";
        return false;
    }
    if (file[4] != 1) {
        error = "not a 32-bit ELF file";
        return false;
    }
    if (file[5] == 1) {
        error = "little-endian ELF: SH-2 images must be big-endian (link with -EB)";
        return false;
    }
    if (file[5] != 2) {
        error = "unknown ELF data encoding " + std::to_string(file[5]) + " (SH-2 images are big-endian, 2)";
        return false;
    }
    const uint16_t machine = BigEndian16(file.data() + 18);
    if (machine != 42) {
        error = "not an SH ELF file (machine " + std::to_string(machine) + ")";
        return false;
    }
    if (BigEndian16(file.data() + 16) != 2) {
        error = "not an executable ELF file (link it first)";
        return false;
    }
    return true;
}

// The PT_LOAD segments, each checked against the file and the blocks.
bool CollectSegments(const std::vector<uint8_t> &file, std::vector<Segment> &segments, std::string &error) {
    const uint8_t *h = file.data();
    const uint64_t phoff = BigEndian32(h + 28), phentsize = BigEndian16(h + 42), phnum = BigEndian16(h + 44);
    if (phnum == 0 || phentsize < 32 || phoff + phnum * phentsize > file.size()) {
        error = "bad ELF program header table";
        return false;
    }
    for (uint64_t i = 0; i < phnum; ++i) {
        const uint8_t *ph = h + phoff + i * phentsize;
        if (BigEndian32(ph) != 1) continue;  // PT_LOAD only
        const std::string name = "ELF segment " + std::to_string(i);
        const uint64_t offset = BigEndian32(ph + 4);
        Segment segment{BigEndian32(ph + 12), BigEndian32(ph + 16), BigEndian32(ph + 20), nullptr};
        if (segment.fileSize > segment.memorySize) {
            error = name + " has more bytes in the file (" + std::to_string(segment.fileSize) + ") than in memory (" +
                    std::to_string(segment.memorySize) + ")";
            return false;
        }
        if (offset + segment.fileSize > file.size()) {
            error = name + " runs past the end of the file";
            return false;
        }
        if (!CheckImageRange(segment.address, segment.memorySize, error)) {
            error = name + ": " + error;
            return false;
        }
        segment.data = h + offset;
        if (segment.memorySize != 0) segments.push_back(segment);
    }
    if (segments.empty()) {
        error = "the ELF file has no loadable segment";
        return false;
    }
    return true;
}

void NoteVectorTable(uint32_t address, LoadedImage &image) {
    if (address < 16) image.coversVectorTable = true;
}

}  // namespace

bool ReadProgramFile(const std::string &path, std::vector<uint8_t> &contents, std::string &error) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (status.type() == fs::file_type::not_found || (code && status.type() == fs::file_type::none)) {
        error = "cannot open " + path + ": " + (code ? code.message() : std::string("no such file"));
        return false;
    }
    if (fs::is_directory(status)) {
        error = path + " is a directory, not a program file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        error = path + " is not a regular file";
        return false;
    }
    const uintmax_t size = fs::file_size(path, code);
    if (code || size > kMaxProgramFileSize) {
        error = code ? "cannot read " + path + ": " + code.message()
                     : path + " is larger than " + std::to_string(kMaxProgramFileSize >> 20) + " MiB";
        return false;
    }
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    // Read to the end of the file rather than to the size the system gives:
    // files of /proc give 0 and hold more. One byte more than that size
    // shows a file that holds more than it said.
    contents.assign(std::max<size_t>(static_cast<size_t>(size) + 1, 4096), 0);
    size_t length = 0;
    for (;;) {
        length += std::fread(contents.data() + length, 1, contents.size() - length, file);
        if (length < contents.size() || length > kMaxProgramFileSize) break;  // the end, an error or too much
        contents.resize(std::min<size_t>(2 * contents.size(), kMaxProgramFileSize + 1));
    }
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    contents.resize(std::min<size_t>(length, kMaxProgramFileSize));
    if (failed || length > kMaxProgramFileSize) {
        error = failed ? "cannot read " + path + ": " + std::strerror(reason)
                       : path + " is larger than " + std::to_string(kMaxProgramFileSize >> 20) + " MiB";
        return false;
    }
    return true;
}

bool CheckImageRange(uint32_t address, uint64_t size, std::string &error) {
    if (size == 0) return true;
    const uint64_t last = uint64_t{address} + size - 1;
    const std::string bytes = "bytes " + Hex32(address) + ".." + Hex32(last);
    if (last >= kAddressSpace) {
        error = bytes + " run past the end of the address space";
        return false;
    }
    const int block = BlockHolding(address);
    if (block >= 0) {
        if (BlockHolding(static_cast<uint32_t>(last)) == block) return true;
        error =
            bytes + " run past the end of host memory block " + std::to_string(block) + " (" + BlockRange(block) + ")";
        return false;
    }
    if (address >= kOnChipRegistersStart) {
        error = bytes + " lie in the on-chip registers (0xFFFFFE00..0xFFFFFFFF), which no program file fills";
    } else if (address >= kOnChipRamStart) {
        error = bytes + " lie in on-chip RAM (0xC0000000..0xFFFFFDFF), which no program file fills";
    } else if (const int aliased = BlockHolding(address & 0x0FFFFFFFu); aliased >= 0) {
        error = bytes + " lie in an alias of host memory block " + std::to_string(aliased) + ": link them at " +
                Hex32(address & 0x0FFFFFFFu) + " instead";
    } else {
        error = bytes + " lie outside the host memory blocks (" + BlockRange(0) + ", " + BlockRange(1) + ", " +
                BlockRange(2) + ")";
    }
    return false;
}

bool LoadRaw(const std::vector<uint8_t> &file, uint32_t address, LoadedImage &image, std::string &error) {
    if (file.empty()) {
        error = "empty file";
        return false;
    }
    if (!CheckImageRange(address, file.size(), error)) return false;
    Store(address, file.data(), file.size());
    NoteVectorTable(address, image);
    image.entry = address;
    image.hasEntry = true;
    return true;
}

bool LoadElf(const std::vector<uint8_t> &file, LoadedImage &image, std::string &error) {
    std::vector<Segment> segments;
    if (!CheckElfHeader(file, error) || !CollectSegments(file, segments, error)) return false;
    StoreSegments(segments);
    for (const Segment &segment : segments) NoteVectorTable(segment.address, image);
    image.entry = BigEndian32(file.data() + 24);
    image.hasEntry = true;
    CollectFunctions(file, image.functions);
    return true;
}

}  // namespace sh2host
