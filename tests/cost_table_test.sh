#!/usr/bin/env bash
# The cycle-cost table of docs/hosting.md is the one scripts/gen_cost_table.py
# makes from src/isa/instruction_list.h: fails with a diff when it is not.
# Usage: cost_table_test.sh ROOT   (exit 77: skipped)
set -uo pipefail
if [ "$#" -ne 1 ]; then
  echo "usage: $0 ROOT" >&2
  exit 2
fi
root=$1
if ! command -v python3 >/dev/null 2>&1; then
  echo "skipped: package python3 is not installed"
  exit 77
fi
python3 "$root/scripts/gen_cost_table.py" --check --root "$root"
