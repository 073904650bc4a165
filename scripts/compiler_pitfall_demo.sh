#!/usr/bin/env bash
# Shows that the stale-T-bit loops are GCC's doing, not the plug-in's:
# scripts/fixtures/stale_t_loop.c must end at once (its flag is 1 from the
# start). Built with the bundled programs' flags at -O2 and at -O0, it runs
# under qemu-sh4eb (as a bare Linux program) and through sh2run and the
# plug-in; the -O2 build hangs under both (exit 124 at the time or cycle
# limit), the -O0 build ends with 0 under both, and
# scripts/check_stale_t_loops.py names the -O2 build's loop.
# Usage: compiler_pitfall_demo.sh SH2RUN
set -euo pipefail
sh2run=$1
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags=(-m4-nofpu -mb -ffreestanding -fno-builtin -fno-pic -fno-pie -fno-stack-protector -fno-asynchronous-unwind-tables)
source=$root/scripts/fixtures/stale_t_loop.c
sh-elf-as --isa=sh2 -big -o "$work/crt0.o" "$root/examples/crt0.s"
for level in -O2 -O0; do
  sh4-linux-gnu-gcc "${flags[@]}" "$level" -DQEMU_LINUX -c -o "$work/linux.o" "$source"
  sh-elf-ld -EB -e _start -z max-page-size=4096 -Ttext=0x400000 --no-warn-rwx-segments -o "$work/linux" "$work/linux.o"
  status=0; timeout 5 qemu-sh4eb "$work/linux" || status=$?
  echo "$level under qemu-sh4eb: exit $status"
  sh4-linux-gnu-gcc "${flags[@]}" "$level" -S -o "$work/program.s" "$source"
  sh-elf-as --isa=sh2 -big -o "$work/program.o" "$work/program.s"
  sh-elf-ld -EB -T "$root/examples/sh2.ld" --no-warn-rwx-segments --no-warn-execstack -o "$work/program.elf" \
    "$work/crt0.o" "$work/program.o"
  status=0; "$sh2run" --max-cycles 10000000 "$work/program.elf" 2>/dev/null || status=$?
  echo "$level through sh2run and the plug-in: exit $status"
  python3 "$root/scripts/check_stale_t_loops.py" "$work/program.s" || true
done
