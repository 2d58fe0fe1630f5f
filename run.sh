#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine, in the current folder
# (where it keeps KOVRateCalc.ini). On Windows, run KOVRateCalc.exe instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"

require_packages "${WIN32_PACKAGES[@]}"

if [ -z "${DISPLAY:-}" ]; then
  echo "No X display: the calculator is a window and needs one." >&2
  echo "Run it from a desktop session, or on a virtual display:" >&2
  echo "  apt-get install xvfb && xvfb-run -a $0" >&2
  exit 1
fi

(cd "$root" && cmake --preset win32 >/dev/null && cmake --build --preset win32 -j "$(nproc)" >/dev/null)
exe="$root/build/win32/app/KOVRateCalc.exe"
if [ ! -f "$exe" ]; then
  echo "The program is not built yet: $exe does not exist." >&2
  exit 1
fi
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$exe"
