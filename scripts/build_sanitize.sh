#!/usr/bin/env bash
# Configures and builds build-sanitize/: the library, the tests and the
# libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer.
# The library is tens of thousands of specialised handlers, so this build is
# unoptimised (-O0, line tables only): it compiles in a fraction of the time of
# an optimised instrumented build and the sanitizers see every access.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  bash scripts/install_deps.sh test
fi

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize "$@"
