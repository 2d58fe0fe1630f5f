#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine, in the current folder
# (where it keeps KOVRateCalc.ini). On Windows, run KOVRateCalc.exe instead.
# Wine runs it in a prefix of its own, prepared once so that it looks and
# helps as on Windows (scripts/wine_prefix.sh); set WINEPREFIX to use another.
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
(cd "$root" && cmake --preset "$RATECALC_PRESET" >/dev/null &&
  cmake --build --preset "$RATECALC_PRESET" -j "$(nproc)" --target KOVRateCalc help_file >/dev/null)
exe="$root/build/$RATECALC_PRESET/app/KOVRateCalc.exe"
if [ ! -f "$exe" ]; then
  echo "The program is not built yet: $exe does not exist." >&2
  exit 1
fi

export WINEPREFIX="${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/kov-rate-calculator/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
prepare_wine_prefix
exec "$RATECALC_WINE" "$exe"
