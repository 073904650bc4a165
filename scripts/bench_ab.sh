#!/usr/bin/env bash
# An interleaved A/B run of two builds of the plug-in: the benchmark's
# emulated programs (CRC-32 and Fibonacci) with plug-in A, then B, then A
# again, ROUNDS times, so that both see the same neighbours on a shared
# machine. Prints each round's summary lines and, per program, the fastest
# instructions/s of each build and their ratio.
#
# Usage: scripts/bench_ab.sh BENCH PLUGIN_A PLUGIN_B [ROUNDS]
#   BENCH    the benchmark program (build/bench/sh2_bench)
#   PLUGIN_A the parent's plug-in (a .so built from the parent commit)
#   PLUGIN_B the changed plug-in
set -euo pipefail
bench=$1 a=$2 b=$3 rounds=${4:-5}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for ((round = 1; round <= rounds; ++round)); do
  for side in A B; do
    plugin=$a
    [ "$side" = B ] && plugin=$b
    SH2_BENCH_PLUGIN=$plugin "$bench" --benchmark_filter='^Emulated/' --benchmark_repetitions=3 \
      --benchmark_report_aggregates_only=true 2>/dev/null |
      sed -n 's/^  \(crc32\|fib\) *\([0-9.]*\) M instructions\/s.*/\1 \2/p' |
      while read -r program figure; do echo "$round $side $program $figure"; done | tee -a "$log"
  done
done
echo "fastest instructions/s over $rounds rounds (M):"
for program in crc32 fib; do
  best_a=$(awk -v p="$program" '$2 == "A" && $3 == p && $4 > m {m = $4} END {print m}' "$log")
  best_b=$(awk -v p="$program" '$2 == "B" && $3 == p && $4 > m {m = $4} END {print m}' "$log")
  awk -v p="$program" -v a="$best_a" -v b="$best_b" \
    'BEGIN {printf "  %-6s A %7.1f  B %7.1f  B/A %.3f\n", p, a, b, b / a}'
done
