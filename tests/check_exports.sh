#!/usr/bin/env bash
# Fails unless the plug-in exports exactly its fourteen entry points.
set -euo pipefail
library="$1"
expected=$(bash "$(dirname "$0")/../scripts/plugin_exports.sh")
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the fourteen entry points:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
# Each must be a function (T) with C linkage.
if nm -D --defined-only "$library" | awk '{print $2}' | grep -qv '^T$'; then
  echo "an export is not a text symbol" >&2
  exit 1
fi
echo "14 exports OK"
