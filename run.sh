#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine, in the current folder
# (where it keeps KOVRateCalc.ini). On Windows, run KOVRateCalc.exe instead.
# Wine runs it in a prefix of its own, prepared once so that it looks and
# helps as on Windows (scripts/wine_prefix.sh); set WINEPREFIX to use another.
# The terminal gets a line per stage; what the build, Wine and the help
# viewer print goes to kovratecalc.log in the prefix.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
# shellcheck source=scripts/wine_prefix.sh
. "$root/scripts/wine_prefix.sh"

mapfile -t packages < <(windows_packages run)
require_packages "${packages[@]}"

if [ -z "${DISPLAY:-}" ]; then
  echo "No X display: the calculator is a window and needs one." >&2
  echo "Run it from a desktop session, or on a virtual display:" >&2
  echo "  apt-get install xvfb && xvfb-run -a $0" >&2
  exit 1
fi

choose_wine
export WINEPREFIX="${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/kov-rate-calculator/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p "$WINEPREFIX"
log=$(wine_prefix_log)
: >"$log"

echo "Building the calculator in $root/build/$RATECALC_PRESET..."
(cd "$root" && cmake --preset "$RATECALC_PRESET" &&
  cmake --build --preset "$RATECALC_PRESET" -j "$(nproc)" --target KOVRateCalc help_file) >>"$log" 2>&1 || {
  echo "The build failed; its messages are in $log" >&2
  exit 1
}
exe="$root/build/$RATECALC_PRESET/app/KOVRateCalc.exe"

prepare_wine_prefix
echo "Starting the calculator; it keeps your figures in $PWD/KOVRateCalc.ini."
rc=0
"$RATECALC_WINE" "$exe" >>"$log" 2>&1 || rc=$?
if [ "$rc" -ne 0 ]; then
  echo "The calculator ended with code $rc; Wine's messages are in $log" >&2
  exit "$rc"
fi
