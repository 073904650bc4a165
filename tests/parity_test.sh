#!/usr/bin/env bash
# A bundled program through the Windows sh2run.exe and DLL under Wine and
# through the Linux sh2run and .so: the same output, the same exit status
# and the same emulated cycle count (--stats). The Windows console's text
# mode ends lines with CR LF; the output must be the Linux output with every
# LF so written.
# Usage: parity_test.sh WINEPREFIX LINUX_SH2RUN LINUX_PLUGIN WINDOWS_SH2RUN WINDOWS_PLUGIN PROGRAM.elf [OPTIONS...]
#   (exit 77: skipped)
set -euo pipefail
prefix=$1 linux_runner=$2 linux_plugin=$3 windows_runner=$4 windows_plugin=$5 program=$6
shift 6
wine_run="$(cd "$(dirname "$0")/../scripts" && pwd)/wine_run.sh"

if [ ! -x "$linux_runner" ] || [ ! -f "$linux_plugin" ]; then
  echo "skipped: no Linux build to compare with ($linux_runner, $linux_plugin; cmake -S . -B build && cmake --build build)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
options=(--stats --max-cycles 50000000 "$@")

# Both run in the scratch directory, where the cores write their log files.
linux_status=0
(cd "$work" && timeout 120 "$linux_runner" --plugin "$linux_plugin" "${options[@]}" "$program" \
  >linux.out 2>linux.err) || linux_status=$?
windows_status=0
(cd "$work" && timeout 120 bash "$wine_run" "$prefix" "$windows_runner" --plugin "$windows_plugin" \
  "${options[@]}" "$program" >windows.out 2>windows.err) || windows_status=$?

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
cycles() { tr -d '\r' <"$1" | sed -n 's/^emulated cycles: //p'; }
linux_cycles=$(cycles "$work/linux.err") windows_cycles=$(cycles "$work/windows.err")

[ -n "$linux_cycles" ] || fail "the Linux run printed no cycle count"
[ "$linux_cycles" = "$windows_cycles" ] ||
  fail "emulated cycles: Linux $linux_cycles, Windows ${windows_cycles:-none}"
[ "$linux_status" = "$windows_status" ] || fail "exit status: Linux $linux_status, Windows $windows_status"
[ -s "$work/linux.out" ] || fail "the Linux run printed nothing"
if ! cmp -s <(sed 's/$/\r/' "$work/linux.out") "$work/windows.out"; then
  fail "the outputs differ (Linux < > Windows, CR removed):"
  diff "$work/linux.out" <(tr -d '\r' <"$work/windows.out") || true
fi
if [ "$failures" -ne 0 ]; then
  echo "--- Linux stderr"; cat "$work/linux.err"
  echo "--- Windows stderr"; cat "$work/windows.err"
  exit 1
fi
echo "$(basename "$program") $*: the same output ($(wc -l <"$work/linux.out") lines), exit status" \
  "$linux_status and emulated cycles ($linux_cycles) on Linux and Windows"
