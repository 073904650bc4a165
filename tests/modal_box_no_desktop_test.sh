#!/usr/bin/env bash
# The plug-in's About box where there is no desktop (neither DISPLAY nor
# WAYLAND_DISPLAY, or both empty): the box is one "<caption>: <text>" line on
# stderr, written whether SDL is installed or not, and the call returns at
# once.
# Usage: modal_box_no_desktop_test.sh PROBE PLUGIN
set -euo pipefail
probe=$1 plugin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {
  local what=$1; shift
  if ! timeout 20 env "$@" "$probe" "$plugin" >"$work/out" 2>"$work/err"; then
    echo "FAILED ($what): the probe failed"; cat "$work/out" "$work/err"; exit 1
  fi
  if [ "$(cat "$work/err")" != "About: SH2 interpreter plugin Ver 1.2" ]; then
    echo "FAILED ($what): stderr is not the box's line:"; cat "$work/err"; exit 1
  fi
  grep -q '^returned after' "$work/out" || { echo "FAILED ($what): the call did not return"; exit 1; }
  echo "$what: $(cat "$work/err")"
}
check "no display variables" -u DISPLAY -u WAYLAND_DISPLAY
check "empty display variables" DISPLAY= WAYLAND_DISPLAY=
