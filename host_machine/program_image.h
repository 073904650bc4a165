// Programs for the host machine: a big-endian SH ELF executable or a raw
// binary, read from its file and stored into the host memory blocks, with the
// sized functions of the ELF symbol table.
//
// A program may fill any part of the blocks' natural ranges (0x00000000..
// 0x0007FFFF, 0x00200000..0x002FFFFF, 0x06000000..0x061FFFFF). Everything
// else is refused with the reason: the blocks' aliases (the fetch ignores
// address bits 28..31 and folds other regions into block 2, so bytes stored
// there would land on top of others), on-chip RAM and on-chip registers
// (each processor's own, which no host memory backs), and bytes that run
// past the end of a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sh2host {

// The longest function name kept: a longer one (or one without its NUL) is
// cut there, so that names cost at most this much per symbol.
inline constexpr size_t kMaxSymbolName = 256;

// A function of the ELF symbol table (STT_FUNC with a size). `size` is cut
// so that the function ends at 2^32 at the latest; the name is the table's
// bytes as they are, control characters included.
struct FunctionSymbol {
    std::string name;
    uint32_t address = 0;
    uint32_t size = 0;
};

struct LoadedImage {
    uint32_t entry = 0;
    bool hasEntry = false;
    bool coversVectorTable = false;         // the image brings its own vectors (bytes 0..15)
    std::vector<FunctionSymbol> functions;  // sorted by address
    // The program file's bytes as they were loaded (LoadProgram keeps them,
    // so that what reads its debugging information later reads the same
    // bytes, whatever happens to the file).
    std::vector<uint8_t> file;
};

// The largest program file read: far more than the blocks hold, with room
// for symbols and debugging information.
inline constexpr uint64_t kMaxProgramFileSize = uint64_t{64} << 20;

// Reads a whole program file, to its end whatever size the system gives
// (files of /proc give 0). False, with `error` saying why, when it cannot
// be opened or read, is not a regular file (a directory, a device, a pipe)
// or is larger than kMaxProgramFileSize.
bool ReadProgramFile(const std::string &path, std::vector<uint8_t> &contents, std::string &error);

// Whether the `size` bytes from `address` lie inside the natural range of one
// block; otherwise `error` says where they lie instead.
bool CheckImageRange(uint32_t address, uint64_t size, std::string &error);

// Loads a raw binary at `address`; its entry is that address.
bool LoadRaw(const std::vector<uint8_t> &file, uint32_t address, LoadedImage &image, std::string &error);
// Loads the PT_LOAD segments of a big-endian SH ELF executable (every
// segment is checked before any byte is stored; where segments overlap, the
// later one's bytes are kept, and each byte is stored once) and collects its sized
// functions from the symbol table (a missing or damaged symbol table leaves
// the list empty; it is not an error).
bool LoadElf(const std::vector<uint8_t> &file, LoadedImage &image, std::string &error);

}  // namespace sh2host
