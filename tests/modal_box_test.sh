#!/usr/bin/env bash
# The plug-in's About box as a desktop user sees it: on a virtual X display
# the box is a real dialog. The probe shows it through the plug-in; the test
# takes a screenshot, checks that the call still blocks, presses Return and
# checks that the call returned only then. With a Wine prefix, the Windows
# probe and DLL run under Wine and the box is MessageBoxA, on a Wine desktop
# of its own (the prefix's null display driver gives none).
# Usage: modal_box_test.sh PROBE PLUGIN SCREENSHOT.png [WINEPREFIX]   (exit 77: skipped)
set -euo pipefail
probe=$1 plugin=$2 screenshot=$3 prefix=${4:-}

for tool in Xvfb:xvfb xdotool:xdotool xwd:x11-apps xwininfo:x11-utils ${prefix:+wine:wine}; do
  command -v "${tool%%:*}" >/dev/null ||
    { echo "skipped: package ${tool#*:} is not installed (no ${tool%%:*}; scripts/install_deps.sh)"; exit 77; }
done
# The cache is read in full first: grep -q in a pipe would stop reading at
# the first match, and under pipefail ldconfig's broken pipe failed the check.
# Wine brings the i386 library, which the probe cannot load.
libraries=$(ldconfig -p)
sdl='libSDL2-2\.0\.so\.0 '
[ "$(uname -m)" = x86_64 ] && sdl='libSDL2-2\.0\.so\.0 (libc6,x86-64)'
if [ -z "$prefix" ] && ! grep -q "$sdl" <<<"$libraries"; then
  echo "skipped: package libsdl2-2.0-0 is not installed (no native libSDL2-2.0.so.0)"; exit 77
fi
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

work=$(mktemp -d)
xvfb_pid= probe_pid=
cleanup() {
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; echo "--- probe stdout"; cat "$work/out" 2>/dev/null; echo "--- probe stderr"; cat "$work/err" 2>/dev/null; exit 1; }

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 640x400x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY
echo "virtual display $DISPLAY"

# SDL and X11 keep a few allocations for the life of the process.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
: >"$work/out"
if [ -n "$prefix" ]; then
  bash "$(dirname "$0")/../scripts/wine_run.sh" "$prefix" explorer "/desktop=sh2box${DISPLAY#:},640x400,x11" \
    "$probe" "$plugin" >>"$work/out" 2>"$work/err" &
else
  "$probe" "$plugin" >>"$work/out" 2>"$work/err" &
fi
probe_pid=$!

window=
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '$2 == "\"About\":" {print $1; exit}')
  [ -n "$window" ] && break
  kill -0 "$probe_pid" 2>/dev/null || fail "the probe ended without showing a box"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled About appeared"
sleep 1  # let the box draw itself
xwd -root -silent | "$convert" xwd:- png:"$screenshot"
echo "screenshot of the box: $screenshot"
xwininfo -root -tree | grep -F '"About"' | sed 's/^ */box window: /'

sleep 0.5
kill -0 "$probe_pid" 2>/dev/null || fail "the call returned before the box was closed"
grep -q returned "$work/out" && fail "the call returned before the box was closed"

# The box is gone once it has taken the key: xdotool's key release may find
# no window.
xdotool key --window "$window" Return 2>/dev/null || true
for _ in $(seq 100); do kill -0 "$probe_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$probe_pid" 2>/dev/null && fail "the box did not close on Return"
status=0
wait "$probe_pid" || status=$?
probe_pid=
[ "$status" -eq 0 ] || fail "the probe exited with $status"
grep -q '^returned after' "$work/out" || fail "the probe did not report its return"
grep -q 'About: ' "$work/err" && fail "the box went to stderr instead of the display"
echo "$(tr -d '\r' <"$work/out" | tail -n1) (closed by the Return key)"
