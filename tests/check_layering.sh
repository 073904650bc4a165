#!/usr/bin/env bash
# Fails when a source includes a header it must not reach.
#   src/: a lower folder never includes a higher one. The flow is
#         debug -> plugin -> isa -> bus -> core: the debugging interface
#         watches the round the exports run, which drives the run loop and the
#         instruction handlers, which reach memory and the peripherals, which
#         act on the processor state.
#   The tools reach the library only through the public header and the
#   debugging interface: host_machine/ only through sh2_plugin.h; sh2run/ and
#   bench/ through sh2_plugin.h, debug/sh2_debug.h and the host machine
#   (sh2run/ also its own headers).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
src="$root/src"
layers=(core bus isa plugin debug)
status=0
for ((low = 0; low < ${#layers[@]}; ++low)); do
  for ((high = low + 1; high < ${#layers[@]}; ++high)); do
    if grep -n "#include \"${layers[high]}/" "$src/${layers[low]}"/* >&2; then
      echo "${layers[low]}/ includes ${layers[high]}/ above it" >&2
      status=1
    fi
  done
done

# The project headers a tool folder may include (an extended regular
# expression for what lies between the quotes).
check_tool() {
  local folder=$1 allowed=$2
  local found
  found=$(grep -rnE '#include "' "$root/$folder" --include='*.cpp' --include='*.h' |
            grep -vE "#include \"($allowed)\"" || true)
  if [ -n "$found" ]; then
    echo "$found" >&2
    echo "$folder/ includes a header of the library beyond its public header and debugging interface" >&2
    status=1
  fi
}
check_tool host_machine 'sh2_plugin\.h|[a-z_]+\.h'
check_tool sh2run 'sh2_plugin\.h|debug/sh2_debug\.h|host_machine/[a-z_]+\.h|sh2run/[a-z_/]+\.h'
check_tool bench 'sh2_plugin\.h|debug/sh2_debug\.h|host_machine/[a-z_]+\.h|emulated_run\.h'
[ "$status" -eq 0 ] && echo "layering OK: ${layers[*]}; host_machine, sh2run and bench through the public header and the debugging interface"
exit "$status"
