#!/usr/bin/env bash
# Tells whether this kernel runs 32-bit x86 (i386) programs: an x86-64
# kernel built without IA-32 emulation refuses them ("Exec format error"),
# and so refuses Wine's 32-bit loader from wine32. Runs a 93-byte i386 ELF
# program that only exits with status 0.
# SH2_KERNEL_RUNS_I386=yes|no answers without the probe (for the tests).
# Exit status: 1 only when the kernel refused the program as of an unknown
# format; 0 otherwise (a probe that cannot run for another reason, a
# temporary directory mounted noexec say, tells nothing, and the 32-bit
# packages are then tried as before).
set -uo pipefail
case "${SH2_KERNEL_RUNS_I386:-}" in
  yes) exit 0 ;;
  no) exit 1 ;;
esac
probe=$(mktemp "${TMPDIR:-/tmp}/sh2-i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes) at 0x08048000,
# then: mov eax, 1 (exit); xor ebx, ebx; int 0x80.
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00' \
  '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
  '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
  '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
status=0
error=$("$probe" 2>&1) || status=$?
if [ "$status" -eq 126 ] && grep -q 'Exec format error' <<<"$error"; then
  exit 1
fi
exit 0
