#!/usr/bin/env bash
# Fails when a source of a lower folder of src/ includes a header of a higher
# one. The flow is plugin -> isa -> bus -> core: the exports drive the run
# loop and the instruction handlers, which reach memory and the peripherals,
# which act on the processor state.
set -euo pipefail
src="$(cd "$(dirname "$0")/../src" && pwd)"
layers=(core bus isa plugin)
status=0
for ((low = 0; low < ${#layers[@]}; ++low)); do
  for ((high = low + 1; high < ${#layers[@]}; ++high)); do
    if grep -n "#include \"${layers[high]}/" "$src/${layers[low]}"/* >&2; then
      echo "${layers[low]}/ includes ${layers[high]}/ above it" >&2
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "layering OK: ${layers[*]}"
exit "$status"
