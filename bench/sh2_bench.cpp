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

#include "debug/sh2_debug.h"
#include "host_machine/host_memory.h"
#include "host_machine/plugin_loader.h"
#include "host_machine/program_image.h"
#include "sh2_plugin.h"

extern "C" int crc32_main(void);
extern "C" int fib_main(void);

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kSliceCycles = 10000;
constexpr uint32_t kStackTop = 0x06200000;

// ---------------------------------------------------------------------------
// Where the native builds' output goes: into memory, so that their timing
// holds no terminal output (the tests compare it with the emulated output).
std::string nativeOutput;

}  // namespace

extern "C" void examples_put_char(char c) { nativeOutput.push_back(c); }

namespace {

struct Program {
    const char *name;
    int (*nativeMain)();
};
const Program kPrograms[] = {{"crc32", crc32_main}, {"fib", fib_main}};

// ---------------------------------------------------------------------------
// The emulated machine: one program image, reloaded before every run.

struct Machine {
    std::vector<uint8_t> elf;
    sh2host::HostMemory memory;
    sh2host::Plugin plugin;
    std::string error;

    bool Prepare(const std::string &program) {
        // SH2_BENCH_PLUGIN in the environment names another build of the
        // plug-in, for A/B runs of two builds.
        const char *other = std::getenv("SH2_BENCH_PLUGIN");
        if (!plugin.Load(other != nullptr && *other != '\0' ? other : SH2_BENCH_PLUGIN, error)) return false;
        if (!sh2host::ReadProgramFile(std::string(SH2_BENCH_EXAMPLES) + "/" + program + ".elf", elf, error)) {
            return false;
        }
        return true;
    }

    // Fresh memory, the program and its vectors; the plug-in initialised.
    bool Start(uint8_t(SH2_CDECL *init)(const SH2HostInterface *)) {
        memory.Clear();
        sh2host::UseMemory(&memory);
        sh2host::ports = {};
        sh2host::ports.console = nullptr;
        sh2host::quietMessages = true;
        sh2host::LoadedImage image;
        if (!sh2host::LoadElf(elf, image, error)) return false;
        sh2host::WriteLongAt(0, image.entry);
        sh2host::WriteLongAt(4, kStackTop);
        sh2host::WriteLongAt(8, image.entry);
        sh2host::WriteLongAt(12, kStackTop);
        const SH2HostInterface host = sh2host::MakeHostInterface(memory);
        return init(&host) != 0;
    }
};

// Runs the started machine to its exit; returns the master's cycles.
uint64_t RunToExit(int32_t(SH2_CDECL *run)(int32_t), int32_t slice) {
    uint64_t cycles = 0;
    while (!sh2host::ports.exited && cycles < 10'000'000'000ull) {
        cycles += static_cast<uint64_t>(run(slice));
    }
    return cycles;
}

// ---------------------------------------------------------------------------
// Instructions per run, counted once with the library linked in statically,
// whose debugging interface reports every instruction of its rounds (a
// delay slot counts as one of its own). Its rounds are the ones SH2RunCycles
// runs, and they run to the end of the slice the program exits in, as the
// timed runs of the loaded plug-in do.

class InstructionCounter : public sh2debug::Observer {
public:
    uint64_t count = 0;
    bool BeforeInstruction(sh2debug::Processor, uint32_t) override { return true; }
    void AfterInstruction(const sh2debug::Instruction &instruction) override {
        count += instruction.ranDelaySlot ? 2 : 1;
    }
    bool BeforeService(sh2debug::Processor) override { return true; }
    bool AfterService(sh2debug::Processor, int32_t, int32_t) override { return true; }
};

uint64_t CountRunInstructions(Machine &machine) {
    InstructionCounter counter;
    if (machine.Start(InitSH2Plugin)) {
        while (!sh2host::ports.exited) {
            sh2debug::StartRound(kSliceCycles);
            sh2debug::RunRound(counter);
        }
    }
    DeInitPlugin();
    return counter.count;
}

// The count of a program, taken once whatever the number of repetitions.
uint64_t CountInstructions(Machine &machine, const std::string &program) {
    static std::map<std::string, uint64_t> counts;
    const auto known = counts.find(program);
    if (known != counts.end()) return known->second;
    return counts[program] = CountRunInstructions(machine);
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

double SecondsSince(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

void Emulated(benchmark::State &state, const Program &program) {
    Machine machine;
    if (!machine.Prepare(program.name)) {
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
    if (!machine.Prepare("crc32")) {
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

const char *Verdict(bool met) { return met ? "met" : "NOT met"; }

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
            std::printf("  %lld: %.1f%% (%.0f ns a slice)", static_cast<long long>(slice), overhead * 100, perSlice * 1e9);
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
