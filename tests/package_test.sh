#!/usr/bin/env bash
# The plug-in as a host author installs it: the Linux build installed into a
# temporary prefix, the example host built against that prefix twice (through
# find_package and through pkg-config), linked and loading the plug-in, and
# run; `cmake --install --strip`
# strips. With --windows also the release packages of scripts/package.sh:
# SHA256SUMS checked, the Windows .zip unpacked, the example host built
# with MinGW-w64 against its 64-bit (and, where wine32 is installed, 32-bit)
# import library and run under Wine with the DLL from the .zip.
# Usage: package_test.sh ROOT BUILD_DIR [--windows]
set -euo pipefail
root=$(realpath "$1") build=$(realpath "$2") windows=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
guest=$root/examples/host/guest.bin
fail() { echo "FAILED: $*"; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for way in config pkg-config; do
  PKG_CONFIG_PATH=$prefix/lib/pkgconfig cmake -S "$root/examples/host" -B "$work/host-$way" \
    -DCMAKE_BUILD_TYPE=Release -DSH2_EXAMPLE_HOST_FIND="$way" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$work/configure-$way.log" 2>&1 ||
    { cat "$work/configure-$way.log"; fail "the example host does not configure through $way"; }
  cmake --build "$work/host-$way" >"$work/build-$way.log" 2>&1 ||
    { cat "$work/build-$way.log"; fail "the example host does not build through $way"; }
  # Both hosts: linked against the installed plug-in, and loading it.
  ctest --test-dir "$work/host-$way" --output-on-failure >"$work/run-$way.log" 2>&1 ||
    { cat "$work/run-$way.log"; fail "the example hosts built through $way failed"; }
  grep -q "2 tests passed\|100% tests passed, 0 tests failed out of 2" "$work/run-$way.log" ||
    { cat "$work/run-$way.log"; fail "through $way, not both example hosts ran"; }
  echo "example hosts (linked and loading) built through $way: passed"
done

cmake --install "$build" --prefix "$work/stripped" --strip >/dev/null
for file in lib/libsh2_interpreter.so bin/sh2run; do
  if readelf -S "$work/stripped/$file" | grep -q '\.symtab'; then
    fail "cmake --install --strip left the symbol table in $file"
  fi
done
echo "cmake --install --strip: stripped"
bash "$root/tests/check_exports.sh" "$work/stripped/lib/libsh2_interpreter.so" >/dev/null ||
  fail "the stripped plug-in does not export exactly the fourteen entry points"

[ "$windows" = --windows ] || exit 0

bash "$root/scripts/package.sh" "$work/dist" >"$work/package.log" || { cat "$work/package.log"; fail "package.sh"; }
(cd "$work/dist" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not match the packages"
version=$(sed -n 's/^#define SH2_PLUGIN_VERSION_STRING "\(.*\)"/\1/p' "$prefix/include/sh2_plugin_version.h")
for artifact in "sh2-interpreter-$version-Linux.tar.gz" "sh2_interpreter-$version-windows.zip"; do
  [ -f "$work/dist/$artifact" ] || fail "no $artifact among $(ls "$work/dist")"
done
ls "$work"/dist/*.deb >/dev/null || fail "no .deb"
deb_files=$(dpkg-deb -c "$work"/dist/*.deb)
grep -q '/usr/lib/libsh2_interpreter.so' <<<"$deb_files" || fail "the .deb holds no plug-in: $deb_files"

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/dist/sh2_interpreter-$version-windows.zip")
zip_root=$work/unpacked/sh2_interpreter-$version-windows
for file in README.md hosting.md win32/bin/sh2_interpreter.dll win32/lib/libsh2_interpreter.dll.a \
  win64/bin/sh2_interpreter.dll win64/lib/libsh2_interpreter.dll.a win64/include/sh2_plugin.h; do
  [ -f "$zip_root/$file" ] || fail "the .zip has no $file"
done

# The 64-bit build's Wine prefix, made once for its tests (a new one takes
# half a minute).
bash "$root/scripts/check_windows_exports.sh" "$zip_root/win32/bin/sh2_interpreter.dll" pei-i386 >/dev/null &&
  bash "$root/scripts/check_windows_exports.sh" "$zip_root/win64/bin/sh2_interpreter.dll" pei-x86-64 >/dev/null ||
  fail "a DLL of the .zip does not export exactly the fourteen entry points"

wine_prefix=$root/build-win64/wine-prefix
for bits in 64 32; do
  compiler=x86_64-w64-mingw32-gcc wine_package=wine64
  [ "$bits" = 32 ] && compiler=i686-w64-mingw32-gcc wine_package=wine32:i386
  if reason=$(bash "$root/scripts/missing_package.sh" "$wine_package"); then
    echo "skipped: the $bits-bit example host under Wine: package $wine_package could not be installed here: $reason"
    continue
  fi
  tree=$zip_root/win$bits
  "$compiler" -std=c99 -O2 -Wall -Wextra -Wpedantic -Werror -DSH2_EXAMPLE_HOST_LINKED -I "$tree/include" \
    -o "$tree/bin/sh2_example_host.exe" "$root/examples/host/sh2_example_host.c" -L "$tree/lib" -lsh2_interpreter \
    -static-libgcc
  cp "$guest" "$tree/bin/guest.bin"
  (cd "$tree/bin" && bash "$root/scripts/wine_run.sh" "$wine_prefix" sh2_example_host.exe guest.bin) \
    >"$work/wine-$bits.log" 2>&1 || { cat "$work/wine-$bits.log"; fail "the $bits-bit example host under Wine"; }
  echo "$bits-bit example host from the .zip under Wine: $(tail -1 "$work/wine-$bits.log")"
done
echo "packages OK"
