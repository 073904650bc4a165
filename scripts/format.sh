#!/usr/bin/env bash
# Formats every tracked C and C++ source with .clang-format (clang-format
# 14, Debian's clang-format). With --check, changes nothing and fails,
# showing the difference, when a file is not formatted. The guest programs
# in examples/ keep their own layout: gdb sessions name their source lines
# and the committed ELFs carry those lines in their DWARF.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "error: clang-format is not installed (scripts/install_deps.sh)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' ':!:examples/*')
if [ "${1:-}" = "--check" ]; then
  status=0
  for file in "${files[@]}"; do
    if ! clang-format --style=file "$file" | diff -u "$file" - >/dev/null; then
      clang-format --style=file "$file" | diff -u "$file" - | head -40 >&2 || true
      echo "not formatted: $file (run scripts/format.sh)" >&2
      status=1
    fi
  done
  [ "$status" -eq 0 ] && echo "format OK: ${#files[@]} files"
  exit "$status"
fi
clang-format --style=file -i "${files[@]}"
