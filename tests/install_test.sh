#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and runs the installed
# sh2run on a bundled program: it must load the installed plug-in.
# Usage: install_test.sh BUILD_DIR PROGRAM.elf
set -euo pipefail
build=$1 program=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sh2run lib/libsh2_interpreter.so include/sh2_plugin.h include/sh2_plugin_version.h \
  lib/cmake/sh2_interpreter/sh2_interpreter-config.cmake lib/pkgconfig/sh2_interpreter.pc; do
  [ -f "$prefix/$file" ] || { echo "FAILED: $file not installed"; ls -R "$prefix"; exit 1; }
done
# The soname and its links: libsh2_interpreter.so -> .so.MAJOR -> .so.VERSION.
soname=$(objdump -p "$prefix/lib/libsh2_interpreter.so" | awk '/SONAME/ {print $2}')
case "$soname" in
  libsh2_interpreter.so.[0-9]*) ;;
  *) echo "FAILED: soname '$soname' is not versioned"; exit 1 ;;
esac
[ -L "$prefix/lib/libsh2_interpreter.so" ] && [ -L "$prefix/lib/$soname" ] ||
  { echo "FAILED: the .so and $soname are not symlinks"; ls -l "$prefix/lib"; exit 1; }
# Run from elsewhere through a symlink, so that only the real executable's
# path leads to PREFIX/lib.
mkdir "$prefix/elsewhere"
ln -s "$prefix/bin/sh2run" "$prefix/elsewhere/sh2run"
cd "$prefix/elsewhere"
./sh2run --verbose "$program" >out.txt 2>err.txt || { echo "FAILED: status $?"; cat err.txt; exit 1; }
cat out.txt err.txt
grep -qx "sh2run: plug-in $prefix/bin/../lib/libsh2_interpreter.so" err.txt || { echo "FAILED: not the installed plug-in"; exit 1; }
[ -s out.txt ] || { echo "FAILED: no output"; exit 1; }
echo "installed sh2run OK"
