#!/usr/bin/env bash
# The size of a built program and of the sections that make it up, from its
# PE section headers, so that a change can see what it costs.
# Usage: bench/size.sh [build/win32/app/KOVRateCalc.exe]
set -euo pipefail
exe="${1:-build/win32/app/KOVRateCalc.exe}"
objdump="${OBJDUMP:-i686-w64-mingw32-objdump}"
echo "| part | bytes |"
echo "|---|---|"
echo "| \`$(basename "$exe")\` | $(stat -c %s "$exe") |"
# A stripped image keeps eight characters of a section name: .eh_fram.
"$objdump" -h "$exe" | while read -r _ name size _; do
  case "$name" in
    .text | .rdata | .rsrc) printf '| `%s` | %d |\n' "$name" "0x$size" ;;
    .eh_fram*) printf '| `.eh_frame` | %d |\n' "0x$size" ;;
  esac
done
