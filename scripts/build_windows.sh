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

cmake -S . -B "$build_dir" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DSH2_BUILD_TESTS=OFF \
  -DSH2_BUILD_BENCHMARKS=OFF \
  -DSH2_BUILD_FUZZERS=OFF \
  -DSH2_SANITIZE=OFF \
  -DSH2_BUILD_TOOLS=ON \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$build_dir"
# The DLL and sh2run.exe are runtime artifacts: both land in $build_dir, so
# sh2run.exe finds the plug-in next to itself.
cmake --build "$build_dir" -j2 2>&1 | tee "$build_dir/build.log"
if grep -qi 'warning' "$build_dir/build.log"; then
  echo "error: the Windows build produced warnings" >&2
  exit 1
fi

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
