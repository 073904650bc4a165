#!/usr/bin/env bash
# Rebuilds the committed SH-2 binaries of examples/ from their sources:
# C through sh4-linux-gnu-gcc -m4-nofpu -mb -O2 -g -S (DWARF for gdb and the
# profile; -g leaves the code as it is), then every assembly file
# through sh-elf-as --isa=sh2 -big (which refuses any instruction the SH-2
# lacks) and sh-elf-ld -EB. Run from anywhere; writes examples/bin/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
examples="$root/examples"
out="$examples/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Source paths in the debugging information are relative to the checkout, so
# that gdb finds the sources from its root (or with `directory`) wherever the
# checkout is.
cflags=(-m4-nofpu -mb -O2 -g -fdebug-prefix-map="$root"=. -S -ffreestanding -fno-builtin -fno-pic -fno-pie
        -fno-tree-loop-distribute-patterns -fno-stack-protector -fno-asynchronous-unwind-tables
        -Wall -Wextra -Werror)
assemble() { sh-elf-as --isa=sh2 -big -I "$examples" -o "$2" "$1"; }
link() { local name=$1; shift; sh-elf-ld -EB -z max-page-size=4096 -T "$examples/sh2.ld" --no-warn-rwx-segments --no-warn-execstack -o "$out/$name.elf" "$@"; }

assemble "$examples/crt0.s" "$work/crt0.o"
assemble "$examples/crt0_dual.s" "$work/crt0_dual.o"

# build_c NAME [SOURCE...]: NAME.c (and the other C or assembly sources)
# after the start-up code in $crt0.
crt0=crt0
build_c() {
  local name=$1; shift
  local objects=("$work/$crt0.o")
  for source in "$name" "$@"; do
    case "$source" in
      *.s) assemble "$examples/$source" "$work/${source%.s}.o"; objects+=("$work/${source%.s}.o") ;;
      *)   sh4-linux-gnu-gcc "${cflags[@]}" -I"$examples" -o "$work/$source.s" "$examples/$source.c"
           python3 "$root/scripts/check_stale_t_loops.py" "$work/$source.s"
           assemble "$work/$source.s" "$work/$source.o"; objects+=("$work/$source.o") ;;
    esac
  done
  link "$name" "${objects[@]}"
}

build_c crc32
build_c fib
build_c sort
build_c onchip_ram
build_c divu_dma
build_c timer_irq timer_isr.s
build_c primes

# The programs that run on both processors (dual.h).
crt0=crt0_dual
build_c split_crc frt_isr.s
build_c ring frt_isr.s
build_c slave_switch
crt0=crt0

# The assembly check programs (they include report.inc).
for name in selftest trap_rte sleep_exception irq_entry nested_slots slave_irq; do
  assemble "$examples/$name.s" "$work/$name.o"
  link "$name" "$work/$name.o"
done

ls -l "$out"
