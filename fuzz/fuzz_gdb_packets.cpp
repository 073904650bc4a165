// Fuzz target: the input is what a GDB client sends to sh2run's server, over
// the machine target with crc32.elf loaded (the slave started too when the
// first byte asks). Resumes run the machine until they stop: every poll for
// the client's interrupt finds one.
//
// Input layout:
//   u8  flags     bit 0: the slave runs crc32 too; bits 1..2: the input is
//                 handed over in pieces of 1, 7, 64 or all its bytes
//   bytes         the client's bytes
//
// Checked: no access outside the library's and the server's memory
// (AddressSanitizer, UndefinedBehaviorSanitizer); host calls bounded per
// input; the output is acknowledgements and well-formed frames with correct
// checksums, at most 1 + kMaxResends frames per frame or interrupt byte of
// the input; every box is one the library may show.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_host.h"
#include "host_machine/host_memory.h"
#include "host_machine/program_image.h"
#include "sh2_plugin.h"
#include "sh2run/debug/machine_target.h"
#include "sh2run/gdb/gdb_server.h"
#include "sh2run/machine.h"

namespace {

using sh2fuzz::Check;

constexpr uint64_t kHostCallBudget = uint64_t{1} << 20;

const std::vector<uint8_t> &Crc32() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> bytes;
        std::string error;
        Check(sh2host::ReadProgramFile(SH2_EXAMPLES_DIR "/bin/crc32.elf", bytes, error), "reading crc32.elf");
        return bytes;
    }();
    return file;
}

uint64_t hostCalls = 0;

void CountAccess(const sh2host::HostAccess &) {
    if (++hostCalls > kHostCallBudget) throw sh2fuzz::HostBudgetExceeded{};
}

// Acknowledgements and frames only; returns the number of frames.
size_t CheckOutput(std::string_view out) {
    size_t frames = 0;
    for (size_t i = 0; i < out.size();) {
        if (out[i] == '+' || out[i] == '-') {
            ++i;
            continue;
        }
        Check(out[i] == '$', "output that is neither an acknowledgement nor a frame");
        const size_t hash = out.find('#', i);
        Check(hash != std::string_view::npos && hash + 2 < out.size(), "an unterminated frame");
        const std::string_view payload = out.substr(i + 1, hash - i - 1);
        char checksum[3];
        std::snprintf(checksum, sizeof checksum, "%02x", sh2gdb::GdbServer::Checksum(payload));
        Check(out.substr(hash + 1, 2) == checksum, "a frame with a wrong checksum");
        i = hash + 3;
        ++frames;
    }
    return frames;
}

struct LinkedLibrary : sh2host::Plugin {
    LinkedLibrary() { sh2run::BindLinkedLibrary(*this); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    static sh2host::HostMemory memory;
    static LinkedLibrary linked;
    const uint8_t flags = data[0];
    const std::string_view client(reinterpret_cast<const char *>(data + 1), size - 1);

    sh2fuzz::FuzzHost::Get().BeginInput(UINT64_MAX);  // the box and message checks
    sh2host::UseMemory(&memory);
    memory.Clear();
    sh2host::hooks = {.onAccess = CountAccess, .dropWrites = false, .message = nullptr, .portsEnabled = true};
    sh2host::quietMessages = true;
    sh2host::ports = {};
    sh2host::ports.console = nullptr;
    hostCalls = 0;

    sh2run::Options options;
    if ((flags & 1) != 0) options.slaveEntry = 0x0600404c;
    sh2host::LoadedImage image;
    std::string error;
    Check(sh2host::LoadElf(Crc32(), image, error), "loading crc32.elf");
    for (const uint32_t vector : {0u, 8u}) {
        sh2host::WriteLongAt(vector, image.entry);
        sh2host::WriteLongAt(vector + 4, options.stackTop);
    }
    Check(sh2run::StartMachine(options, image, linked, memory, sh2host::Callbacks::Observed, error),
          "starting the machine");

    sh2run::MachineTarget target(options, linked, memory);
    sh2gdb::GdbServer server(target);
    const size_t pieces[] = {1, 7, 64, client.size()};
    const size_t piece = pieces[(flags >> 1) & 3] == 0 ? 1 : pieces[(flags >> 1) & 3];
    std::string out;
    try {
        for (size_t at = 0; at < client.size(); at += piece) {
            server.Receive(client.substr(at, piece), [] { return true; });
            out += server.TakeOutput();
        }
    } catch (const sh2fuzz::HostBudgetExceeded &) {
        out += server.TakeOutput();
    }
    DeInitPlugin();

    size_t requests = 1;  // at most one reply for each frame or interrupt byte
    for (const char c : client) requests += c == '$' || c == '\x03';
    Check(CheckOutput(out) <= requests * (1 + sh2gdb::kMaxResends), "more frames than requests allow");
    return 0;
}
