#!/usr/bin/env bash
# Prints how many lines of the tracked code files are tests: every tracked
# file but Markdown, fixture data, fuzz corpora and binaries (ELF and raw
# guest images, pictures), and of those the files under tests/.
set -euo pipefail
cd "$(dirname "$0")/.."
code() { git ls-files "$@" | grep -v -E '\.md$|tests/fixtures/.*\.txt$|fuzz/corpus|\.elf$|\.bin$|\.png$|\.inc$'; }
all=$(code | xargs cat | wc -l)
tests=$(code tests | xargs cat | wc -l)
awk -v t="$tests" -v a="$all" 'BEGIN { printf "tests/: %d of %d lines of code, %.1f %%\n", t, a, 100 * t / a }'
