#!/usr/bin/env bash
# Installs the Debian packages of one set, and does nothing for those already
# installed:
#   run      the compiler and CMake: the plug-in and sh2run
#   test     adds what the Linux tests need (GoogleTest, Google Benchmark,
#            binutils and GCC for SH, qemu, clang for the sanitizer build,
#            gdb, valgrind, an X server for the About box, ...)
#   windows  the MinGW-w64 toolchains and Wine (with the i386 architecture,
#            for wine32)
#   all      all of them (the default; .ci/run installs this set)
# Usage: scripts/install_deps.sh [run|test|windows|all]
#
# A package index that cannot be fetched (a mirror in the middle of a sync)
# stops nothing: `apt-get update` is tried a few times, the indexes that
# still fail are named, and the install goes on. When the whole list cannot
# be installed at once, each package is installed on its own. Every package
# that could not be installed is named on stderr with apt's reason and
# recorded, one "package<TAB>reason" line each, in
#   ${SH2_MISSING_PACKAGES:-/tmp/sh2_interpreter-missing-packages.txt}
# which scripts/missing_package.sh reads for the tests and CI. The status is
# non-zero only when a package that the build of the requested set needs is
# missing; a package only some tests use leaves those tests skipping, named.
set -uo pipefail

set_name=${1:-all}
case "$set_name" in
  run | test | windows | all) ;;
  -h | --help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "usage: $0 [run|test|windows|all]" >&2; exit 2 ;;
esac
record=${SH2_MISSING_PACKAGES:-/tmp/sh2_interpreter-missing-packages.txt}
update_tries=${SH2_APT_UPDATE_TRIES:-3}
retry_delay=${SH2_APT_RETRY_DELAY:-5}

native=$(dpkg --print-architecture)
# Whether i386 programs can run here: an x86-64 kernel without IA-32
# emulation refuses them (Wine's 32-bit loader fails with "Exec format
# error"). Probed once.
i386_runs=true
if [ "$native" != i386 ] && ! bash "$(dirname "$0")/kernel_runs_i386.sh"; then
  i386_runs=false
fi
# One line a package: its set, whether the build needs it ("build") or only
# some tests do ("tests"), and the package. Each package that is built per
# architecture is named with its architecture: Wine brings the i386 builds of
# many libraries, and an i386 libSDL2 must not pass for the native one the
# desktop box test loads.
table="
run     build  cmake:$native
run     build  g++:$native
run     build  make:$native
test    build  libgtest-dev:$native
test    build  libgmock-dev:$native
test    build  libbenchmark-dev:$native
test    build  clang:$native
test    build  libclang-rt-14-dev:$native
test    tests  clang-format:$native
test    tests  binutils-sh-elf:$native
test    tests  gcc-sh4-linux-gnu:$native
test    tests  qemu-user:$native
test    tests  gdb-multiarch:$native
test    tests  valgrind:$native
test    tests  libdw-dev:$native
test    tests  pkg-config:$native
test    tests  xvfb:$native
test    tests  xfonts-base
test    tests  x11-apps:$native
test    tests  x11-utils:$native
test    tests  xdotool:$native
test    tests  imagemagick:$native
test    tests  libsdl2-2.0-0:$native
windows build  googletest
windows build  g++-mingw-w64-i686
windows build  g++-mingw-w64-i686-posix:$native
windows build  binutils-mingw-w64-i686:$native
windows build  g++-mingw-w64-x86-64
windows build  g++-mingw-w64-x86-64-posix:$native
windows build  binutils-mingw-w64-x86-64:$native
windows build  wine
windows build  wine64:$native
windows tests  wine32:i386
"

packages=()
declare -A needed_by_build=()
while read -r package_set need package; do
  [ -n "$package_set" ] || continue
  if [ "$set_name" = all ] || [ "$set_name" = "$package_set" ] ||
    { [ "$set_name" = test ] && [ "$package_set" = run ]; }; then
    packages+=("$package")
    [ "$need" = build ] && needed_by_build[$package]=1
  fi
done <<<"$table"

installed() {
  dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Whether package $1 is of i386 and this kernel cannot run i386 programs:
# installed or not, its record line stays.
runs_nowhere_here() {
  [[ $1 == *:i386 ]] && ! $i386_runs
}

# Whether a "package<TAB>reason" file has a line of package $1.
listed() {
  awk -F'\t' -v package="$1" '$1 == package { found = 1 } END { exit !found }' "$2"
}

# The record keeps one line a package that is not installed: lines of
# packages installed since are dropped, and this run's failures replace
# earlier lines of the same packages. $1: a file of this run's failures.
update_record() {
  local failures=$1 kept
  kept=$(mktemp)
  if [ -f "$record" ]; then
    while IFS=$'\t' read -r package reason; do
      [ -n "$package" ] || continue
      installed "$package" && ! runs_nowhere_here "$package" && continue
      listed "$package" "$failures" && continue
      printf '%s\t%s\n' "$package" "$reason"
    done <"$record" >"$kept"
  fi
  cat "$failures" >>"$kept"
  if [ -s "$kept" ]; then
    mkdir -p "$(dirname "$record")" && cp "$kept" "$record"
  else
    rm -f "$record"
  fi
  rm -f "$kept"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/failures"

# Where the kernel cannot run them, the i386 packages are not installed, and
# are recorded as missing with that reason, as are any already installed, so
# that their tests skip saying why.
if ! $i386_runs; then
  runnable=()
  for package in "${packages[@]}"; do
    if [[ $package == *:i386 ]]; then
      printf '%s\t%s\n' "$package" "this kernel cannot run 32-bit x86 programs (no IA-32 emulation: Exec format error)" >>"$work/failures"
    else
      runnable+=("$package")
    fi
  done
  packages=("${runnable[@]}")
fi

need_i386=false
for package in "${packages[@]}"; do
  if [[ $package == *:i386 ]] && [ "$native" != i386 ] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_i386=true
  fi
done
missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

# Names each package of this run's failures on stderr, and fails when the
# build of the set needs one of them.
report_failures() {
  local build_missing=0 package reason
  echo "these packages could not be installed (recorded in $record):" >&2
  while IFS=$'\t' read -r package reason; do
    if [ -n "${needed_by_build[$package]:-}" ]; then
      echo "  $package (the build needs it): $reason" >&2
      build_missing=$((build_missing + 1))
    else
      echo "  $package (only tests that need it skip): $reason" >&2
    fi
  done <"$work/failures"
  if [ "$build_missing" -ne 0 ]; then
    echo "error: $build_missing package(s) that the build of the '$set_name' set needs are missing" >&2
    return 1
  fi
  return 0
}

if [ "${#missing[@]}" -eq 0 ] && ! $need_i386; then
  update_record "$work/failures"
  [ ! -s "$work/failures" ] || report_failures
  exit
fi

echo "installing ($set_name): ${missing[*]}" >&2
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
  run_as_root=(sudo)
fi
if $need_i386; then
  "${run_as_root[@]}" dpkg --add-architecture i386
fi

# apt-get update reports an index it could not fetch with "Failed to fetch
# URL ..." and may still exit 0; either way it is tried again.
for try in $(seq "$update_tries"); do
  status=0
  "${run_as_root[@]}" apt-get update -qq >"$work/update" 2>&1 || status=$?
  failed_indexes=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$work/update")
  if [ "$status" -eq 0 ] && [ -z "$failed_indexes" ]; then
    break
  fi
  if [ "$try" -lt "$update_tries" ]; then
    echo "apt-get update failed (try $try of $update_tries): trying again in $retry_delay s" >&2
    sleep "$retry_delay"
    continue
  fi
  echo "apt-get update still fails after $update_tries tries; going on with the indexes it has." >&2
  if [ -n "$failed_indexes" ]; then
    echo "indexes that could not be fetched:" >&2
    sed 's/^/  /' <<<"$failed_indexes" >&2
  else
    sed 's/^/  /' "$work/update" >&2
  fi
done

# -q, not -qq: apt lists unmet dependencies only then.
apt_install() {
  DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -q "$@"
}

# apt's reason, on one line: its errors, after two of the unmet
# dependencies it lists (of the many a missing index can cause: first those
# that name package $2 without its digits, as libwine does wine32, then
# those of its architecture) and their count.
apt_reason() {
  awk -v wanted="${2:-}" '
    BEGIN {
      arch = wanted; if (!sub(/^[^:]*:/, ":", arch)) arch = ""
      sub(/:.*/, "", wanted); sub(/[0-9]+$/, "", wanted)
    }
    /unmet dependencies:/ { inside = 1; next }
    inside && /^ / && /Depends:/ {
      line = $0; gsub(/^ +| +$/, "", line); gsub(/ +/, " ", line)
      if (line ~ /^Depends:/) line = package " : " line
      else { split(line, parts, " : "); package = parts[1] }
      unmet++
      if (wanted != "" && index(line, wanted)) near[++nears] = line
      else if (arch != "" && index(line, arch)) same_arch[++same_archs] = line
      else other[++others] = line
      next
    }
    inside && /^ / { next }
    { inside = 0 }
    /^E: / { errors = errors (errors == "" ? "" : "; ") $0 }
    END {
      for (i = 1; i <= nears && shown < 2; i++) { reasons = reasons sep near[i]; sep = "; "; shown++ }
      for (i = 1; i <= same_archs && shown < 2; i++) { reasons = reasons sep same_arch[i]; sep = "; "; shown++ }
      for (i = 1; i <= others && shown < 2; i++) { reasons = reasons sep other[i]; sep = "; "; shown++ }
      if (unmet > shown) reasons = reasons " (" unmet - shown " more unmet dependencies)"
      print reasons (reasons == "" || errors == "" ? "" : "; ") errors
    }
  ' "$1"
}

if ! apt_install "${missing[@]}" >"$work/install" 2>&1; then
  echo "installing the whole list failed: $(apt_reason "$work/install")" >&2
  echo "installing each package on its own" >&2
  for package in "${missing[@]}"; do
    installed "$package" && continue
    if ! apt_install "$package" >"$work/one" 2>&1; then
      reason=$(apt_reason "$work/one" "$package")
      printf '%s\t%s\n' "$package" "${reason:-apt-get install failed}" >>"$work/failures"
    fi
  done
fi
# A package apt reported as installed that dpkg does not know is missing too.
for package in "${missing[@]}"; do
  if ! installed "$package" && ! listed "$package" "$work/failures"; then
    printf '%s\t%s\n' "$package" "not installed after apt-get install" >>"$work/failures"
  fi
done
update_record "$work/failures"

[ ! -s "$work/failures" ] || report_failures
