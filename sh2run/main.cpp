// sh2run: a command-line host for the SH-2 interpreter plug-in.
//
// A plain run loads the plug-in at run time and drives it only through its
// fourteen exports, the way a host emulator does: flat memory in the
// plug-in's block format behind the six memory callbacks, a program loaded
// from a big-endian SH ELF executable or a raw binary, a vector table, and
// two memory-mapped ports through which the program prints characters and
// ends the run.
//
// The debugging modes (--gdb, --trace, --profile) need to see the processors
// between instructions, which the fourteen exports do not allow: they run
// the library linked into sh2run, through its debugging interface.
#include <csignal>
#include <cstdio>
#include <string>

#include "host_machine/host_memory.h"
#include "sh2run/machine.h"
#include "sh2run/options.h"
#include "sh2run/run.h"
#if defined(SH2RUN_GDB)
#include "sh2run/debug/machine_target.h"
#include "sh2run/gdb/gdb_socket.h"
#endif

namespace {

using namespace sh2run;

int Fail(const std::string &message) {
    std::fprintf(stderr, "sh2run: %s\n", message.c_str());
    return kExitRunnerError;
}

#if defined(SH2RUN_GDB)
RunResult RunUnderGdb(const Options &options, const sh2host::Plugin &linked, sh2host::HostMemory &memory,
                      std::string &error) {
    MachineTarget target(options, linked, memory);
    target.StartHistory();
    sh2gdb::GdbServer server(target);
    sh2gdb::ClientEnd end = sh2gdb::ClientEnd::Disconnected;
    RunResult result;
    if (!sh2gdb::ServeOverTcp(server, *options.gdbPort, stderr, end, error)) return result;
    if (end == sh2gdb::ClientEnd::Detached) return target.RunToEnd();
    result.end = sh2host::ports.exited ? RunResult::End::Exited : RunResult::End::Killed;
    result.rounds = target.Rounds();
    result.masterCycles = target.MasterCycles();
    return result;
}
#endif

// Runs the started machine in the mode the options ask for.
RunResult RunMachine(const Options &options, const sh2host::Plugin &plugin, const sh2host::LoadedImage &image,
                     sh2host::HostMemory &memory, std::string &error) {
    if (options.gdbPort) {
#if defined(SH2RUN_GDB)
        return RunUnderGdb(options, plugin, memory, error);
#else
        (void)memory;
        error = "--gdb is not available in this build";
        return {};
#endif
    }
    if (options.Debugging()) return RunWatched(options, plugin, image);
    return RunPlain(options, plugin);
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "sh2run: %s\n", error.c_str());
        PrintUsage(stderr);
        return kExitRunnerError;
    }
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    sh2host::quietMessages = !options.verbose;
#if defined(SIGPIPE)
    // A reader that goes away (`sh2run ... | head -c1`) makes writes fail
    // with EPIPE, which ends the run with a message and exit code 125, the
    // files asked for still written, rather than killing sh2run.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Each line reaches a pipe or a file as it is printed.
    sh2host::ports.flushAtNewline = true;

    sh2host::HostMemory memory;
    sh2host::UseMemory(&memory);
    sh2host::LoadedImage image;
    if (!LoadProgram(options, image, error)) return Fail(error);

    sh2host::Plugin plugin;
    if (options.Debugging()) {
        BindLinkedLibrary(plugin);
    } else if (!LoadPlugin(options, argv[0], plugin, error)) {
        return Fail(error);
    }
    // The gdb server's watchpoints see host memory through the observed
    // callbacks, and its history copies only the pages they mark.
    const sh2host::Callbacks callbacks = options.gdbPort ? sh2host::Callbacks::Observed : sh2host::Callbacks::Plain;
    if (!StartMachine(options, image, plugin, memory, callbacks, error)) return Fail(error);
    const RunResult result = RunMachine(options, plugin, image, memory, error);
    plugin.DeInitPlugin();
    if (!error.empty()) return Fail(error);
    return FinishRun(options, result);
}
