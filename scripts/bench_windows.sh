#!/usr/bin/env bash
# The speed of what users load, in one interleaved run: the CRC-32 and
# Fibonacci programs through the .so (build/), the 32-bit DLL under Wine
# (build-windows/) and the 64-bit DLL under Wine (build-win64/), in turn,
# ROUNDS times, so that all three see the same neighbours. Each is timed by
# the timing program of its own build (sh2_time: fastest of RUNS runs from
# reset to the exit write); Wine runs the DLLs' code natively. The .so is
# also timed by the benchmark (sh2_bench, Google Benchmark) in each round.
# Prints every round's figures and, per program, the fastest of each and
# the ratios.
# Usage: scripts/bench_windows.sh [ROUNDS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5} runs=${2:-20}
programs=(examples/bin/crc32.elf examples/bin/fib.elf)

cmake --build build -j2 --target sh2_time sh2_bench >/dev/null
for dir in build-windows build-win64; do
  cmake --build "$dir" -j2 --target sh2_time >/dev/null
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Appends "round build program M-instructions/s" lines to the log.
time_with() {
  local round=$1 label=$2 plugin=$3
  shift 3
  "$@" --runs "$runs" "$plugin" "${programs[@]}" | tr -d '\r' |
    awk -v r="$round" -v l="$label" '{print r, l, $1, $4}' | tee -a "$log"
}
for ((round = 1; round <= rounds; ++round)); do
  time_with "$round" so build/libsh2_interpreter.so ./build/bench/sh2_time
  time_with "$round" dll32 build-windows/sh2_interpreter.dll \
    bash scripts/wine_run.sh build-windows/wine-prefix build-windows/sh2_time.exe
  time_with "$round" dll64 build-win64/sh2_interpreter.dll \
    bash scripts/wine_run.sh build-win64/wine-prefix build-win64/sh2_time.exe
  ./build/bench/sh2_bench --benchmark_filter='^Emulated/' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2>/dev/null |
    sed -n 's/^  \(crc32\|fib\) *\([0-9.]*\) M instructions\/s.*/\1 \2/p' |
    while read -r program figure; do echo "$round so-bench $program $figure"; done | tee -a "$log"
done

echo "fastest instructions/s over $rounds rounds (M), and against the .so (sh2_time):"
for program in crc32 fib; do
  best() { awk -v p="$program" -v l="$1" '$2 == l && $3 == p && $4 > m {m = $4} END {print m + 0}' "$log"; }
  so=$(best so) dll32=$(best dll32) dll64=$(best dll64) bench=$(best so-bench)
  awk -v p="$program" -v so="$so" -v a="$dll32" -v b="$dll64" -v g="$bench" 'BEGIN {
    printf "  %-6s .so %6.1f (sh2_bench %6.1f)  32-bit DLL %6.1f (%.3f)  64-bit DLL %6.1f (%.3f)\n",
      p, so, g, a, a / so, b, b / so }'
done
