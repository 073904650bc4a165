#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the fixture scripts
# need. Does nothing when they are all present already.
set -euo pipefail

packages=(
  cmake g++ make
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  binutils-sh-elf gcc-sh4-linux-gnu qemu-user
  g++-mingw-w64-i686
  clang libclang-rt-14-dev
  gdb-multiarch valgrind libdw-dev pkg-config
  xvfb xfonts-base x11-apps x11-utils xdotool imagemagick libsdl2-2.0-0
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}" >&2
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
  run_as_root=(sudo)
fi
"${run_as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
