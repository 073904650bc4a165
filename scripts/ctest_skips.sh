#!/usr/bin/env bash
# Lists the tests of the last CTest run in BUILD_DIR that skipped, each with
# the reason it printed (a shell test's "skipped: ..." line, the message of a
# GoogleTest skip), and fails when a test not named by ALLOWED skipped. A
# test may also skip for want of a package ("package NAME is not installed"
# in its reason), but only where scripts/install_deps.sh tried to install
# that package and could not (scripts/missing_package.sh): the listing then
# gives apt's recorded reason. In CI nothing else may skip for want of a
# package.
# Usage: scripts/ctest_skips.sh BUILD_DIR [ALLOWED]
#   ALLOWED: an extended regular expression matching the names of the tests
#   that may skip (none by default).
set -euo pipefail
log=$1/Testing/Temporary/LastTest.log
allowed=${2:-}
if [ ! -f "$log" ]; then
  echo "error: no CTest log in $1" >&2
  exit 1
fi

# One "name<TAB>reason" line per skipped test.
skips=$(awk '
  /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
  /^Output:$/ { inside = 1; skipped = 0; reason = ""; next }
  /^<end of output>$/ { inside = 0; if (skipped) print name "\t" reason; next }
  !inside { next }
  message { reason = $0; message = 0 }
  /^skipped: / { skipped = 1; reason = substr($0, 10) }
  /: Skipped$/ { message = 1 }
  /^\[  SKIPPED \]/ { skipped = 1 }
' "$log")

count=0
unexpected=0
while IFS=$'\t' read -r name reason; do
  [ -n "$name" ] || continue
  count=$((count + 1))
  echo "  skipped: $name: ${reason:-no reason given}"
  if [ -n "$allowed" ] && grep -Eq "$allowed" <<<"$name"; then
    continue
  fi
  package=$(sed -n 's/.*package \([^ ]*\) is not installed.*/\1/p' <<<"$reason")
  if [ -n "$package" ] && apt_reason=$(bash "$(dirname "$0")/missing_package.sh" "$package"); then
    echo "    $package could not be installed here: $apt_reason"
    continue
  fi
  [ -n "$package" ] && echo "    $package was not recorded as impossible to install (scripts/install_deps.sh)"
  unexpected=$((unexpected + 1))
done <<<"$skips"
echo "$1: $count test(s) skipped"
if [ "$unexpected" -ne 0 ]; then
  echo "error: $unexpected test(s) skipped that must run here" >&2
  exit 1
fi
