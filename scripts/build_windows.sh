#!/usr/bin/env bash
# Cross-builds the Windows plug-in with the MinGW-w64 toolchain, with
# sh2run.exe, the test program sh2_tests.exe (GoogleTest built from Debian's
# sources), the About-box probe and the timing program sh2_time.exe, all from
# the one set of library objects, with the presets windows-cross and
# windows-cross-64:
#   scripts/build_windows.sh        32-bit, build-windows/sh2_interpreter.dll
#   scripts/build_windows.sh 64     64-bit, build-win64/sh2_interpreter.dll
# The programs land beside the DLL; `ctest --preset windows-cross[-64]` runs
# the tests under Wine. Extra arguments go to the configure step
# (-DSH2_BUILD_TESTS=OFF builds the DLL and sh2run.exe only).
set -euo pipefail
cd "$(dirname "$0")/.."

bits=32
if [ "${1:-}" = 32 ] || [ "${1:-}" = 64 ]; then
  bits=$1
  shift
fi
if [ "$bits" = 64 ]; then
  build_dir=build-win64 compiler=x86_64-w64-mingw32-g++-posix
else
  build_dir=build-windows compiler=i686-w64-mingw32-g++-posix
fi
if ! command -v "$compiler" >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1; then
  bash scripts/install_deps.sh windows
fi
if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "error: $compiler not found (Debian packages g++-mingw-w64-i686, g++-mingw-w64-x86-64)" >&2
  exit 1
fi

preset=windows-cross
[ "$bits" = 64 ] && preset=windows-cross-64
# The presets make warnings errors and put the DLL and the programs, all
# runtime artifacts, in $build_dir, so that sh2run.exe finds the plug-in
# next to itself.
mkdir -p "$build_dir"
cmake --preset "$preset" "$@" >"$build_dir/configure.log" ||
  { cat "$build_dir/configure.log" >&2; exit 1; }
# Compiler warnings stop the build; the linker's are caught here.
cmake --build --preset "$preset" 2>&1 | tee "$build_dir/build.log"
if grep -qi 'warning' "$build_dir/build.log"; then
  echo "error: the Windows build produced warnings" >&2
  exit 1
fi

for file in sh2_interpreter.dll sh2run.exe; do
  if [ ! -f "$build_dir/$file" ]; then
    echo "error: $build_dir/$file was not produced" >&2
    exit 1
  fi
  echo "built $build_dir/$file"
done
