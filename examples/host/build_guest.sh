#!/usr/bin/env bash
# Rebuilds examples/host/guest.bin from guest.s: sh-elf-as --isa=sh2 -big
# (which refuses any instruction the SH-2 lacks), sh-elf-ld -EB at address 0,
# then sh-elf-objcopy -O binary. Run from anywhere.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sh-elf-as --isa=sh2 -big -o "$work/guest.o" "$here/guest.s"
sh-elf-ld -EB -Ttext=0 -e _start --no-warn-rwx-segments -o "$work/guest.elf" "$work/guest.o"
sh-elf-objcopy -O binary -j .text "$work/guest.elf" "$here/guest.bin"
chmod 644 "$here/guest.bin"
ls -l "$here/guest.bin"
