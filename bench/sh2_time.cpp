// Times bundled programs through a plug-in loaded at run time, for builds
// where Google Benchmark is not at hand (the Windows DLLs under Wine, whose
// code runs natively): each program from reset to its exit write, slices of
// 10,000 cycles, RUNS times; prints the fastest run and the instructions per
// second it gives, the median run beside it.
//
// Usage: sh2_time [--runs N] PLUGIN PROGRAM.elf...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "emulated_run.h"

int main(int argc, char **argv) {
    int runs = 20;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: sh2_time [--runs N] PLUGIN PROGRAM.elf...\n");
        return 2;
    }
    for (int i = first + 1; i < argc; ++i) {
        sh2bench::Machine machine;
        if (!machine.Prepare(argv[first], argv[i])) {
            std::fprintf(stderr, "%s\n", machine.error.c_str());
            return 1;
        }
        const uint64_t instructions = sh2bench::CountRunInstructions(machine);
        std::vector<double> seconds;
        uint64_t cycles = 0;
        for (int run = 0; run < runs; ++run) {
            if (!machine.Start(machine.plugin.InitSH2Plugin)) {
                std::fprintf(stderr, "%s: cannot start the plug-in\n", argv[i]);
                return 1;
            }
            const auto begin = std::chrono::steady_clock::now();
            cycles = sh2bench::RunToExit(machine.plugin.SH2RunCycles, sh2bench::kSliceCycles);
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
            machine.plugin.DeInitPlugin();
            if (!sh2host::ports.exited) {
                std::fprintf(stderr, "%s: the program did not run to its exit\n", argv[i]);
                return 1;
            }
        }
        std::sort(seconds.begin(), seconds.end());
        std::string name = argv[i];
        name = name.substr(name.find_last_of("/\\") + 1);
        name = name.substr(0, name.rfind(".elf"));
        std::printf("%-8s %8.3f ms %7.1f M instructions/s [median %.3f ms] %llu instructions, %llu cycles, %d runs\n",
                    name.c_str(), seconds.front() * 1e3, static_cast<double>(instructions) / seconds.front() / 1e6,
                    seconds[seconds.size() / 2] * 1e3, static_cast<unsigned long long>(instructions),
                    static_cast<unsigned long long>(cycles), runs);
    }
    return 0;
}
