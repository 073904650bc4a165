#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the fixture scripts
# need, Wine for the Windows tests among them (with the i386 architecture,
# for wine32). Does nothing when they are all present already.
set -euo pipefail

native=$(dpkg --print-architecture)
# Each package that is built per architecture is named with its
# architecture: Wine brings the i386 builds of many libraries, and an i386
# libSDL2 must not pass for the native one the desktop box test loads.
packages=(
  "cmake:$native" "g++:$native" "make:$native"
  googletest "libgtest-dev:$native" "libgmock-dev:$native" "libbenchmark-dev:$native"
  "binutils-sh-elf:$native" "gcc-sh4-linux-gnu:$native" "qemu-user:$native"
  g++-mingw-w64-i686 "g++-mingw-w64-i686-posix:$native" "binutils-mingw-w64-i686:$native"
  g++-mingw-w64-x86-64 "g++-mingw-w64-x86-64-posix:$native" "binutils-mingw-w64-x86-64:$native"
  wine "wine32:i386" "wine64:$native"
  "clang:$native" "libclang-rt-14-dev:$native"
  "clang-format:$native" "lld:$native"
  "gdb-multiarch:$native" "valgrind:$native" "libdw-dev:$native" "pkg-config:$native"
  "xvfb:$native" xfonts-base "x11-apps:$native" "x11-utils:$native" "xdotool:$native" "imagemagick:$native"
  "libsdl2-2.0-0:$native"
)

need_i386=false
if [ "$native" != i386 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=true
fi
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ] && ! $need_i386; then
  exit 0
fi

echo "installing: ${missing[*]}" >&2
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
  run_as_root=(sudo)
fi
if $need_i386; then
  "${run_as_root[@]}" dpkg --add-architecture i386
fi
"${run_as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
