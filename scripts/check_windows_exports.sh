#!/usr/bin/env bash
# Checks the export and import tables of a Windows plug-in, the 32-bit DLL
# (PE32, i386) or the 64-bit one (PE32+, x86-64):
#   - a PE32 i386 or PE32+ x86-64 image (EXPECTED_FORMAT, pei-i386 or
#     pei-x86-64, if given);
#   - exactly the fourteen entry points, undecorated (no cdecl underscore, no
#     stdcall/fastcall @n), with ordinals 1 to 14 in the byte-wise order of
#     their names, and nothing else;
#   - MessageBoxA imported from USER32.dll and DeleteFileA from KERNEL32.dll;
#   - no import from a DLL outside the operating system (in particular not
#     libstdc++-6.dll, libgcc_s_*.dll or libwinpthread-1.dll).
# Usage: scripts/check_windows_exports.sh DLL [EXPECTED_FORMAT]
set -euo pipefail

if [ "$#" -lt 1 ] || [ "$#" -gt 2 ]; then
  echo "usage: $0 <dll> [pei-i386|pei-x86-64]" >&2
  exit 2
fi
dll="$1"
expected_format=${2:-}
# The 64-bit objdump reads both formats.
objdump=x86_64-w64-mingw32-objdump
if ! command -v "$objdump" >/dev/null 2>&1; then
  echo "FAIL: $objdump not found (Debian package binutils-mingw-w64-x86-64)" >&2
  exit 1
fi
if [ ! -f "$dll" ]; then
  echo "FAIL: $dll does not exist" >&2
  exit 1
fi

# The fourteen entry points, one a line in byte-wise order of their names.
expected=$(bash "$(dirname "$0")/plugin_exports.sh")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The expected list itself must be in byte-wise order: that order is the
# ordinal order.
if [ "$(LC_ALL=C sort <<<"$expected")" != "$expected" ]; then
  fail "the expected export list is not in byte-wise order"
fi

header=$("$objdump" -f "$dll")
format=$(sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p' <<<"$header")
case "$format" in
  pei-i386) kind="PE32 i386" ;;
  pei-x86-64) kind="PE32+ x86-64" ;;
  *) fail "$dll is not a 32-bit (pei-i386) or 64-bit (pei-x86-64) Windows image"; kind="" ;;
esac
if [ -n "$expected_format" ] && [ "$format" != "$expected_format" ]; then
  fail "$dll is ${format:-of no PE format}, expected $expected_format"
fi

dump=$("$objdump" -p "$dll")

# --- exports ---------------------------------------------------------------

if ! grep -q '^There is an export table' <<<"$dump"; then
  fail "$dll has no export table"
fi

ordinal_base=$(awk '/^Ordinal Base/ {print $3; exit}' <<<"$dump")
address_count=$(awk '/Export Address Table[ \t]+[0-9a-fA-F]+$/ {print $NF; exit}' <<<"$dump")
name_count=$(awk '/\[Name Pointer\/Ordinal\] Table[ \t]+[0-9a-fA-F]+$/ {print $NF; exit}' <<<"$dump")
if [ "${ordinal_base:-}" != "1" ]; then
  fail "ordinal base is '${ordinal_base:-missing}', expected 1"
fi
if [ -z "${address_count:-}" ] || [ $((16#$address_count)) -ne 14 ]; then
  fail "export address table has '${address_count:-missing}' (hex) entries, expected 14"
fi
if [ -z "${name_count:-}" ] || [ $((16#$name_count)) -ne 14 ]; then
  fail "export name table has '${name_count:-missing}' (hex) entries, expected 14"
fi

# Lines of the name table: "[ index] name" (older binutils) or
# "[ index] +base[ ordinal] name"; the ordinal is index + base.
base=${ordinal_base:-1}
actual=$(awk -v base="$base" '
  /^\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
  inside && /^[ \t]*$/ {exit}
  inside {
    line = $0
    sub(/^[ \t]*\[[ \t]*/, "", line)
    index_text = line; sub(/\].*$/, "", index_text)
    sub(/^[^\]]*\][ \t]*/, "", line)
    ordinal = index_text + base
    if (line ~ /^\+base\[/) {
      ordinal = line; sub(/^\+base\[[ \t]*/, "", ordinal); sub(/\].*$/, "", ordinal)
      sub(/^\+base\[[^\]]*\][ \t]*/, "", line)
    }
    print ordinal + 0, line
  }' <<<"$dump")

expected_with_ordinals=$(awk '{print NR, $0}' <<<"$expected")
if [ "$actual" != "$expected_with_ordinals" ]; then
  fail "exports differ from the fourteen entry points with ordinals 1..14 (expected < > actual):"
  diff <(echo "$expected_with_ordinals") <(echo "$actual") >&2 || true
fi
if grep -q '@' <<<"$actual"; then
  fail "decorated export names (containing '@'):"
  grep '@' <<<"$actual" >&2
fi
if awk '{print $2}' <<<"$actual" | grep -q '^_'; then
  fail "decorated export names (leading '_'):"
  awk '{print $2}' <<<"$actual" | grep '^_' >&2
fi
if grep -qi 'forwarder' <<<"$(sed -n '/^Export Address Table -- Ordinal Base/,/^\[Ordinal/p' <<<"$dump")"; then
  fail "an export is forwarded to another DLL"
fi

# --- imports ---------------------------------------------------------------

# "DLL member" pairs of the import table.
imports=$(awk '
  /^The Import Tables/ {inside = 1; next}
  inside && /^There is an export table/ {exit}
  inside && /^PE File Base Relocations/ {exit}
  inside && /DLL Name:/ {dll = $3; next}
  inside && dll != "" && /^[ \t]+[0-9a-fA-F]+[ \t]+[0-9]+[ \t]+[^ \t]+/ {print dll, $3}
' <<<"$dump")
import_dlls=$(awk '{print $1}' <<<"$imports" | sort -u)

if [ -z "$imports" ]; then
  fail "no import table found"
fi
if ! grep -qix 'USER32.dll MessageBoxA' <<<"$imports"; then
  fail "MessageBoxA is not imported from USER32.dll"
fi
if ! grep -qix 'KERNEL32.dll DeleteFileA' <<<"$imports"; then
  fail "DeleteFileA is not imported from KERNEL32.dll"
fi

for name in $import_dlls; do
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$name")
  case "$lower" in
    libstdc++*.dll | libgcc_s_*.dll | libwinpthread*.dll)
      fail "depends on the MinGW runtime DLL $name (link it statically)" ;;
    kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | ntdll.dll | ucrtbase.dll | api-ms-win-*.dll) ;;
    *)
      fail "depends on $name, which is not a Windows system DLL" ;;
  esac
done

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures check(s) failed" >&2
  exit 1
fi

echo "$dll: $kind image"
echo "$dll: 14 exports, undecorated, ordinals 1..14 in byte-wise name order:"
sed 's/^/  @/' <<<"$actual"
echo "$dll: imports from $(tr '\n' ' ' <<<"$import_dlls")(all system DLLs)"
echo "$dll: MessageBoxA from USER32.dll, DeleteFileA from KERNEL32.dll"
echo "Windows export/import check OK"
