#!/usr/bin/env bash
# Runs a Windows program of a cross build under Wine, in the Wine prefix of
# that build tree; CMake's CMAKE_CROSSCOMPILING_EMULATOR for the Windows
# builds, so CTest and the test discovery run the .exe files through it.
#
# Usage: wine_run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#        wine_run.sh PREFIX --start-server | --stop-server
#
# The prefix is made on first use (a 64-bit prefix runs both the 32-bit and
# the 64-bit programs): no Mono or Gecko, and the null graphics driver, so
# that windows (the plug-in's About box) exist without a display. A test that
# wants a real display names its own desktop and driver (tests/wine_box_test.sh).
# --start-server keeps the prefix's wineserver running, so that the many
# short test processes start fast; --stop-server ends it.
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
shift

export WINEPREFIX=$prefix
export WINEDEBUG=${SH2_WINEDEBUG:--all}
for tool in wine wineserver wineboot; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "error: $tool not found (scripts/install_deps.sh installs wine, wine32 and wine64)" >&2
    exit 125
  fi
done

# Debian's `wine` starts the 32-bit loader whenever wine32 is installed, and
# that loader cannot start on a kernel without IA-32 emulation; the 64-bit
# loader, which runs 64-bit programs alone, is then used directly.
wine=(wine)
if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
  ! bash "$(dirname "$0")/kernel_runs_i386.sh"; then
  wine=(/usr/lib/wine/wine64)
  export WINELOADER=/usr/lib/wine/wine64
fi

make_prefix() {
  [ -f "$WINEPREFIX/.sh2-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  echo "wine_run.sh: creating the Wine prefix $WINEPREFIX" >&2
  WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= "${wine[@]}" wineboot --init >/dev/null 2>&1
  "${wine[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.sh2-ready"
}

# Parallel test processes wait for the one that makes the prefix.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
make_prefix
flock -u 9
exec 9>&-

case "$1" in
  --start-server)
    # The server and the processes of Wine's session (services, the
    # desktop) stay in the background; they must not hold the output of a
    # test open (CTest waits for it to close), so they are started here with
    # none. One already running is told to stay.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    "${wine[@]}" wineboot </dev/null >/dev/null 2>&1
    exit 0 ;;
  --stop-server) wineserver -k 2>/dev/null || true; exit 0 ;;
esac

# Now and then Wine fails to start the program at all: its start-up prints
# "ShellExecuteEx failed" on standard output (seen twice in a few thousand
# starts under load). The program never ran, so it is started again, at most
# twice. Any other failure is the program's own and is passed on. The
# program's output and errors are passed on once it has ended.
output=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
for attempt in 1 2 3; do
  status=0
  "${wine[@]}" "$@" >"$output" 2>"$errors" || status=$?
  if [ "$status" -ne 0 ] && [ "$attempt" -lt 3 ] && grep -q 'ShellExecuteEx failed' "$output" "$errors"; then
    echo "wine_run.sh: Wine did not start $1 (attempt $attempt of 3): starting it again" >&2
    continue
  fi
  cat "$output"
  cat "$errors" >&2
  exit "$status"
done
