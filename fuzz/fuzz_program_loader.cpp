// Fuzz target: the input is a program file for sh2run's loader: a big-endian
// SH ELF executable, or a raw binary for an address, with the symbol table
// that the profile reads.
//
// Input layout (numbers big-endian):
//   u8  mode      bit 0: a raw binary (else an ELF file)
//   u32 address   where a raw binary goes
//   bytes         the file
//
// Checked: no access outside the input or the host memory (AddressSanitizer,
// UndefinedBehaviorSanitizer); a refused file always says why; a loaded one
// has an entry and its functions sorted by address, each found by the
// profile's function map at its own start; an ELF file's DWARF, whatever it
// holds, gives the profile a source place for each function.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_host.h"
#include "host_machine/host_memory.h"
#include "host_machine/program_image.h"
#include "sh2run/debug/callgrind.h"
#include "sh2run/debug/profile.h"

namespace {

using sh2fuzz::Check;

sh2host::HostMemory &Memory() {
    static sh2host::HostMemory memory;
    return memory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    sh2fuzz::InputReader in(data, size);
    const bool raw = (in.U8() & 1) != 0;
    const uint32_t address = in.U32();
    size_t length = 0;
    const uint8_t *bytes = in.Bytes(in.Remaining(), length);
    const std::vector<uint8_t> file(bytes, bytes + length);

    Memory().Clear();
    sh2host::UseMemory(&Memory());
    sh2host::LoadedImage image;
    std::string error;
    const bool loaded = raw ? sh2host::LoadRaw(file, address, image, error) : sh2host::LoadElf(file, image, error);
    if (!loaded) {
        Check(!error.empty(), "a refused program file without a reason");
        return 0;
    }
    Check(image.hasEntry, "a loaded program without an entry");
    const sh2run::FunctionMap map(image.functions);
    for (size_t i = 0; i < image.functions.size(); ++i) {
        const sh2host::FunctionSymbol &f = image.functions[i];
        Check(i == 0 || image.functions[i - 1].address <= f.address, "functions out of order");
        Check(f.name.size() <= file.size(), "a function name longer than the file");
        const size_t found = map.Find(f.address);
        Check(found != sh2run::FunctionMap::kNone, "a function's start belongs to no function");
        const sh2host::FunctionSymbol &holder = image.functions[found];
        Check(f.address - holder.address < holder.size, "a function's start found in a function not holding it");
    }
    // The profile's source lines from the same bytes, whatever their DWARF
    // holds: damaged or cut short, a place is a file (or "???") and a line.
    if (!raw) {
        const sh2run::SourceLines lines(file);
        for (size_t i = 0; i < image.functions.size() && i < 64; ++i) {
            const uint32_t start = image.functions[i].address;
            Check(!lines.At(start).file.empty(), "a source place without a file");
            (void)lines.DefinitionFile(start);
        }
        (void)lines.At(image.entry);
    }
    return 0;
}
