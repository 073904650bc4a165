// Speed of the SH-2 interpreter plug-in, measured the way a host sees it: the
// plug-in is loaded at run time and driven through its exports by the same
// host machine as sh2run. In the same run the bundled programs' C code is
// timed natively, so the slowdown is a ratio of two figures taken together.
//
// Figures:
//   Emulated/<program>     whole program, slices of 10,000 cycles: emulated
//                          instructions and cycles per second
//   Native/<program>       the same C compiled for this machine
//   SliceLength/<N>        2,000,000 cycles of CRC-32 work in slices of N
//   BuildHandlerTable      building the 65,536-entry handler table
// A summary against the speed goals follows the table. It takes the fastest
// single run of each figure (a whole program from reset to exit, or one
// 2,000,000-cycle stretch) over all iterations and repetitions, and gives the
// median run beside it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "emulated_run.h"

extern "C" int crc32_main(void);
extern "C" int fib_main(void);

namespace {

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------
// Where the native builds' output goes: into memory, so that their timing
// holds no terminal output (the tests compare it with the emulated output).
std::string nativeOutput;

}  // namespace

extern "C" void examples_put_char(char c) {
    nativeOutput.push_back(c);
}

namespace {

struct Program {
    const char *name;
    int (*nativeMain)();
};
const Program kPrograms[] = {{"crc32", crc32_main}, {"fib", fib_main}};

using sh2bench::kSliceCycles;
using sh2bench::Machine;
using sh2bench::RunToExit;

// The plug-in the benchmark loads: the build's own, or the one that
// SH2_BENCH_PLUGIN in the environment names (for A/B runs of two builds).
std::string PluginPath() {
    const char *other = std::getenv("SH2_BENCH_PLUGIN");
    return other != nullptr && *other != '\0' ? other : SH2_BENCH_PLUGIN;
}
std::string ProgramPath(const std::string &program) {
    return std::string(SH2_BENCH_EXAMPLES) + "/" + program + ".elf";
}

// The count of a program, taken once whatever the number of repetitions.
uint64_t CountInstructions(Machine &machine, const std::string &program) {
    static std::map<std::string, uint64_t> counts;
    const auto known = counts.find(program);
    if (known != counts.end()) return known->second;
    return counts[program] = sh2bench::CountRunInstructions(machine);
}

// ---------------------------------------------------------------------------
// Results kept for the summary: the time of every single run. This machine's
// neighbours only ever slow a run down, so the fastest run is the figure and
// the median shows the spread.

struct RunTimes {
    std::vector<double> seconds;

    void Add(double value) { seconds.push_back(value); }
    bool Empty() const { return seconds.empty(); }
    double Fastest() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double Median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

struct EmulatedRuns {
    RunTimes times;
    uint64_t instructions = 0;
    uint64_t cycles = 0;
};
std::map<std::string, EmulatedRuns> emulated;
std::map<std::string, RunTimes> nativeRuns;
std::map<int64_t, RunTimes> sliceRuns;
RunTimes tableBuilds;

double SecondsSince(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

void Emulated(benchmark::State &state, const Program &program) {
    Machine machine;
    if (!machine.Prepare(PluginPath(), ProgramPath(program.name))) {
        state.SkipWithError(machine.error.c_str());
        return;
    }
    const uint64_t instructions = CountInstructions(machine, program.name);
    EmulatedRuns &runs = emulated[program.name];
    runs.instructions = instructions;
    uint64_t cycles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool started = machine.Start(machine.plugin.InitSH2Plugin);
        state.ResumeTiming();
        const auto begin = Clock::now();
        cycles = started ? RunToExit(machine.plugin.SH2RunCycles, kSliceCycles) : 0;
        const double seconds = SecondsSince(begin);
        state.PauseTiming();
        machine.plugin.DeInitPlugin();
        if (!started || !sh2host::ports.exited) {
            state.SkipWithError("the program did not run to its exit");
            state.ResumeTiming();
            break;
        }
        runs.times.Add(seconds);
        runs.cycles = cycles;
        state.ResumeTiming();
    }
    state.counters["instr/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cycles/s"] =
        benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["instructions"] = static_cast<double>(instructions);
}

void Native(benchmark::State &state, const Program &program) {
    for (auto _ : state) {
        nativeOutput.clear();
        const auto begin = Clock::now();
        benchmark::DoNotOptimize(program.nativeMain());
        nativeRuns[program.name].Add(SecondsSince(begin));
    }
}

// The per-slice cost of SH2RunCycles: the same 2,000,000 cycles of CRC-32
// work (from the start of the program) in slices of N.
constexpr int64_t kSliceWorkCycles = 2'000'000;

void SliceLength(benchmark::State &state) {
    const auto slice = static_cast<int32_t>(state.range(0));
    Machine machine;
    if (!machine.Prepare(PluginPath(), ProgramPath("crc32"))) {
        state.SkipWithError(machine.error.c_str());
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        machine.Start(machine.plugin.InitSH2Plugin);
        state.ResumeTiming();
        const auto begin = Clock::now();
        int64_t cycles = 0;
        while (cycles < kSliceWorkCycles) cycles += machine.plugin.SH2RunCycles(slice);
        sliceRuns[slice].Add(SecondsSince(begin));
        state.PauseTiming();
        machine.plugin.DeInitPlugin();
        state.ResumeTiming();
    }
    state.counters["slices"] = static_cast<double>((kSliceWorkCycles + slice - 1) / slice);
}

void BuildHandlerTable(benchmark::State &state) {
    for (auto _ : state) {
        const auto begin = Clock::now();
        sh2debug::BuildSpareHandlerTable();
        benchmark::ClobberMemory();
        tableBuilds.Add(SecondsSince(begin));
    }
}

// Registered for every program: the emulated run, its native twin.
const bool kRegistered = [] {
    for (const Program &program : kPrograms) {
        benchmark::RegisterBenchmark((std::string("Emulated/") + program.name).c_str(), Emulated, program)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Native/") + program.name).c_str(), Native, program)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("SliceLength", SliceLength)
        ->Arg(100)
        ->Arg(1000)
        ->Arg(10000)
        ->Arg(1000000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BuildHandlerTable", BuildHandlerTable)->Unit(benchmark::kMillisecond);
    return true;
}();

const char *Verdict(bool met) {
    return met ? "met" : "NOT met";
}

void PrintSummary() {
    std::printf("\nSummary (slices of %d cycles; fastest single run, median run in brackets)\n", kSliceCycles);
    const double goals[] = {300e6, 200e6};
    for (size_t i = 0; i < std::size(kPrograms); ++i) {
        const std::string name = kPrograms[i].name;
        if (!emulated.count(name) || emulated[name].times.Empty()) continue;
        const EmulatedRuns &runs = emulated[name];
        const double fastest = runs.times.Fastest();
        const double median = runs.times.Median();
        const auto instructions = static_cast<double>(runs.instructions);
        std::printf("  %-6s %6.1f M instructions/s [%.1f M] (goal %.0f M: %s), %6.1f M cycles/s", name.c_str(),
                    instructions / fastest / 1e6, instructions / median / 1e6, goals[i] / 1e6,
                    Verdict(instructions / fastest >= goals[i]), static_cast<double>(runs.cycles) / fastest / 1e6);
        if (nativeRuns.count(name) && !nativeRuns[name].Empty()) {
            const double native = nativeRuns[name].Fastest();
            std::printf(", %.1f times slower than native (%.3f ms emulated, %.3f ms native)", fastest / native,
                        fastest * 1e3, native * 1e3);
        }
        std::printf("\n");
    }
    if (sliceRuns.count(1000000)) {
        const double reference = sliceRuns[1000000].Fastest();
        std::printf("  per-slice overhead against slices of 1,000,000 cycles:");
        for (int64_t slice : {100, 1000, 10000}) {
            if (!sliceRuns.count(slice)) continue;
            const double seconds = sliceRuns[slice].Fastest();
            const double overhead = (seconds - reference) / seconds;
            const double perSlice = (seconds - reference) / static_cast<double>(kSliceWorkCycles / slice);
            std::printf("  %lld: %.1f%% (%.0f ns a slice)", static_cast<long long>(slice), overhead * 100,
                        perSlice * 1e9);
            if (slice == 10000) std::printf(" [goal < 5%%: %s]", Verdict(overhead < 0.05));
        }
        std::printf("\n");
    }
    if (!tableBuilds.Empty()) {
        std::printf("  handler table build: %.3f ms [%.3f ms] (goal < 5 ms: %s)\n", tableBuilds.Fastest() * 1e3,
                    tableBuilds.Median() * 1e3, Verdict(tableBuilds.Fastest() < 5e-3));
    }
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    (void)kRegistered;
    PrintSummary();
    return 0;
}
