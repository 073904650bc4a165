#!/usr/bin/env bash
# Prints the plug-in's exported entry points, one a line in byte-wise order
# of their names (their ordinal order): the SH2_EXPORT declarations of
# include/sh2_plugin.h, the one list the build and the checks share.
set -euo pipefail
sed -n 's/^SH2_EXPORT .* SH2_CDECL \([A-Za-z0-9_]*\)(.*/\1/p' "$(dirname "$0")/../include/sh2_plugin.h" | LC_ALL=C sort
