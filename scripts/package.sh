#!/usr/bin/env bash
# Makes the release packages from the Release builds, stripped, in OUT
# (default dist/):
#   sh2-interpreter-VERSION-Linux.tar.gz and the .deb (CPack, from build/)
#   sh2_interpreter-VERSION-windows.zip: win32/ and win64/ as installed from
#     build-windows/ and build-win64/ (bin/ the DLL and sh2run.exe, lib/ the
#     import library, the CMake package and the pkg-config file, include/
#     the headers), with README.md and docs/hosting.md beside them
#   SHA256SUMS over all of them
# Usage: scripts/package.sh [--no-windows] [OUT]
# The builds are made first: cmake --preset default && cmake --build
# --preset default, and scripts/build_windows.sh 32 and 64.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

windows=true
if [ "${1:-}" = --no-windows ]; then
  windows=false
  shift
fi
out=$(realpath -m "${1:-dist}")
version=$(sed -n 's/^project(sh2_interpreter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

if [ ! -f build/CPackConfig.cmake ]; then
  echo "error: no Linux build in build/ (cmake --preset default && cmake --build --preset default)" >&2
  exit 1
fi
if $windows; then
  for dir in build-windows build-win64; do
    if [ ! -f "$dir/sh2_interpreter.dll" ]; then
      echo "error: no Windows build in $dir/ (scripts/build_windows.sh; --no-windows leaves the .zip out)" >&2
      exit 1
    fi
  done
fi

rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd build && cpack -G "TGZ;DEB" -B "$work/cpack" >"$work/cpack.log") ||
  { cat "$work/cpack.log" >&2; exit 1; }
mv "$work"/cpack/*.tar.gz "$work"/cpack/*.deb "$out/"

artifacts=("$(basename "$out"/*.tar.gz)" "$(basename "$out"/*.deb)")
if $windows; then
  name=sh2_interpreter-$version-windows
  for bits in 32 64; do
    dir=build-windows
    [ "$bits" = 64 ] && dir=build-win64
    cmake --install "$dir" --prefix "$work/$name/win$bits" --strip >/dev/null
  done
  cp README.md docs/hosting.md "$work/$name/"
  (cd "$work" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
  artifacts+=("$name.zip")
fi

(cd "$out" && sha256sum "${artifacts[@]}" >SHA256SUMS)
echo "packages in ${out#"$root"/}:"
(cd "$out" && ls -l "${artifacts[@]}" SHA256SUMS | awk '{print "  " $NF " (" $5 " bytes)"}')
