#!/usr/bin/env bash
# Builds the libFuzzer targets (in build-sanitize/, see
# scripts/build_sanitize.sh) and runs each with a fixed seed
# for a fixed time on a copy of its committed seed corpus in fuzz/corpus/, so
# the committed corpus stays as it is. Fails on any crash, sanitizer report,
# failed check, leak or input that takes longer than the timeout.
#
# Environment: FUZZ_SECONDS (default 20) per target, FUZZ_TARGETS to run a
# subset, FUZZ_JOBS targets at a time (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-sanitize
seconds=${FUZZ_SECONDS:-20}
targets=(${FUZZ_TARGETS:-fuzz_guest_memory fuzz_onchip_registers fuzz_export_sequence fuzz_program_loader fuzz_gdb_packets})

bash scripts/build_sanitize.sh --target "${targets[@]}"

# The cores create their log files in the current directory: run in a scratch
# directory of the build tree. Findings go to artifacts/.
work="$PWD/$build_dir/fuzz-run"
rm -rf "$work"
mkdir -p "$work/artifacts"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# FUZZ_JOBS targets at a time (default 2, one per core): each run is one
# process of one thread. Their reports follow in the order of the targets.
jobs=${FUZZ_JOBS:-2}
fuzz_one() {
  local target=$1
  local binary="$PWD/$build_dir/fuzz/$target" corpus="$work/corpus-$target"
  cp -r "fuzz/corpus/$target" "$corpus"
  (cd "$work" && "$binary" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" "$corpus" \
      >"$work/$target.log" 2>&1)
  echo $? >"$work/$target.status"
}
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
  echo "=== $target: ${seconds} s, seed 1"
  if [ "$(cat "$work/$target.status")" = 0 ]; then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
  else
    echo "error: $target failed; last lines of $work/$target.log:" >&2
    tail -n 40 "$work/$target.log" >&2
    failed+=("$target")
  fi
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $work/artifacts/)" >&2
  exit 1
fi
echo "fuzzing: no findings"
