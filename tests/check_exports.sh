#!/usr/bin/env bash
# Fails unless the plug-in exports exactly its fourteen entry points.
set -euo pipefail
library="$1"
expected="DeInitPlugin
DisplayPluginInfo
InitSH2Plugin
MasterSH2InputCaptureSignal
MasterSH2InterruptRequest
MasterSH2SetPC
ResetMasterSH2
ResetSlaveSH2
SH2RunCycles
SetupPlugin
SlaveSH2InputCaptureSignal
SlaveSH2InterruptRequest
SlaveSH2Off
SlaveSH2On"
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
