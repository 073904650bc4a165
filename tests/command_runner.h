// Runs sh2run and other programs from the tests: stdout and stderr captured,
// every run under `timeout 120`, scratch files named by the process id
// (ctest runs test cases in parallel in one directory).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace sh2test {

inline const std::string kRunner = SH2RUN_PATH;

inline std::string Scratch(const std::string &name) {
    return std::to_string(getpid()) + "_" + name;
}
inline std::string Elf(const std::string &name) {
    return std::string(SH2_EXAMPLES_DIR) + "/bin/" + name + ".elf";
}

inline std::string ReadText(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// SH-2 instruction words as a raw binary's bytes (big-endian).
inline std::vector<uint8_t> Words(const std::vector<uint16_t> &words) {
    std::vector<uint8_t> bytes;
    for (const uint16_t word : words)
        bytes.insert(bytes.end(), {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)});
    return bytes;
}

struct CommandResult {
    std::string output;  // stdout
    std::string errors;  // stderr
    int exitCode = -1;   // -1: the shell did not exit normally
};

// Runs a command line through the shell.
inline CommandResult RunCommand(const std::string &command) {
    const std::string out = Scratch("stdout.txt");
    const std::string err = Scratch("stderr.txt");
    const int status = std::system(("timeout 120 " + command + " >" + out + " 2>" + err).c_str());
    CommandResult result{ReadText(out), ReadText(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return result;
}

// Assembles SH-2 source with GNU as (sh-elf-as --isa=sh2 -big) into a raw
// binary, for sh2run --raw at any address that is a multiple of 4. Returns
// the binary's path, or "" (with the assembler's messages in `errors`).
inline std::string AssembleRaw(const std::string &name, const std::string &source, std::string &errors) {
    const std::string text = Scratch(name + ".s"), object = Scratch(name + ".o"), binary = Scratch(name + ".bin");
    std::ofstream(text) << source;
    const CommandResult result = RunCommand("sh-elf-as --isa=sh2 -big -o " + object + " " + text +
                                            " && sh-elf-objcopy -O binary " + object + " " + binary);
    std::remove(text.c_str());
    std::remove(object.c_str());
    errors = result.errors;
    return result.exitCode == 0 ? binary : std::string();
}

}  // namespace sh2test
