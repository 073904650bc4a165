#!/usr/bin/env bash
# Tells whether a package could not be installed on this machine: succeeds,
# printing apt's recorded reason, only when scripts/install_deps.sh recorded
# the package as not installable and it is still not installed. A package
# that is merely absent (nobody tried to install it) does not pass, so a test
# may skip for want of a package only where the install was tried and
# failed. An i386 package on a kernel without IA-32 emulation passes, recorded
# so by install_deps.sh, even where it is installed.
# Usage: scripts/missing_package.sh PACKAGE
#   PACKAGE as install_deps.sh names it (wine32:i386); a name without an
#   architecture matches a recorded name with any.
set -uo pipefail

if [ "$#" -ne 1 ]; then
  echo "usage: $0 PACKAGE" >&2
  exit 2
fi
record=${SH2_MISSING_PACKAGES:-/tmp/sh2_interpreter-missing-packages.txt}
[ -f "$record" ] || exit 1
line=$(awk -F'\t' -v package="$1" '
  $1 == package || (index(package, ":") == 0 && index($1, package ":") == 1) { print; exit }
' "$record")
[ -n "$line" ] || exit 1
recorded=${line%%$'\t'*}
# An i386 package installed on a kernel that cannot run i386 programs is as
# good as missing.
if dpkg-query -W -f='${Status}\n' "$recorded" 2>/dev/null | grep -q "install ok installed"; then
  [[ $recorded == *:i386 ]] && ! bash "$(dirname "$0")/kernel_runs_i386.sh" || exit 1
fi
printf '%s\n' "${line#*$'\t'}"
