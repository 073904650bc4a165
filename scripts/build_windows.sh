#!/usr/bin/env bash
# Cross-builds the 32-bit Windows plug-in build-windows/sh2_interpreter.dll
# (and build-windows/sh2run.exe when the host runner is present) with the
# MinGW-w64 toolchain. Tests, benchmarks and fuzzers are not built.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-windows
compiler=i686-w64-mingw32-g++
if ! command -v "$compiler" >/dev/null 2>&1; then
  bash scripts/install_deps.sh
fi
if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "error: $compiler not found (Debian package g++-mingw-w64-i686)" >&2
  exit 1
fi

# Warnings are errors in this preset.
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross

dll="$build_dir/sh2_interpreter.dll"
if [ ! -f "$dll" ]; then
  echo "error: $dll was not produced" >&2
  exit 1
fi
echo "built $dll"
if [ -f sh2run/CMakeLists.txt ]; then
  if [ ! -f "$build_dir/sh2run.exe" ]; then
    echo "error: $build_dir/sh2run.exe was not produced" >&2
    exit 1
  fi
  echo "built $build_dir/sh2run.exe"
fi
