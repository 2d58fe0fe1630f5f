#!/usr/bin/env bash
# Builds the calculator and starts it.
#   ./run.sh          the Linux program, on Qt 6: built once in build/linux-run
#                     (needs cmake, g++ and qt6-base-dev), then started at once.
#                     It keeps its figures in
#                     ${XDG_CONFIG_HOME:-~/.config}/kov-rate-calculator/KOVRateCalc.ini.
#   ./run.sh --wine   the Windows program under Wine, in the current folder
#                     (where it keeps KOVRateCalc.ini). Wine runs it in a prefix
#                     of its own, prepared once so that it looks and helps as on
#                     Windows (scripts/wine_prefix.sh); set WINEPREFIX to use
#                     another. What the build, Wine and the help viewer print
#                     goes to kovratecalc.log in the prefix.
#   ./run.sh --web    the calculator as one HTML page (needs emscripten):
#                     built in build/web-run, then handed to your browser
#                     (run.sh returns at once), or its path printed where
#                     there is none. It keeps its figures in the browser.
# On Windows, run KOVRateCalc.exe instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"

need_display() {
  if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: the calculator is a window and needs one." >&2
    echo "Run it from a desktop session (on Wayland through XWayland, which sets DISPLAY)," >&2
    echo "or from another machine over ssh -X." >&2
    exit 1
  fi
}

run_native() {
  require_packages cmake make g++ qt6-base-dev
  need_display
  local build="$root/build/linux-run" log
  mkdir -p "$build"
  log="$build/build.log"
  echo "Building the calculator in $build..."
  (cd "$root" && cmake --preset linux -B "$build" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j "$(nproc)" --target kov-rate-calculator) >"$log" 2>&1 || {
    echo "The build failed; its messages are in $log" >&2
    exit 1
  }
  echo "Starting the calculator; it keeps your figures in" \
    "${XDG_CONFIG_HOME:-$HOME/.config}/kov-rate-calculator/KOVRateCalc.ini."
  exec "$build/bin/kov-rate-calculator"
}

run_wine() {
  # shellcheck source=scripts/wine_prefix.sh
  . "$root/scripts/wine_prefix.sh"
  mapfile -t packages < <(windows_packages run)
  require_packages "${packages[@]}"
  need_display

  choose_wine
  export WINEPREFIX="${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/kov-rate-calculator/wine}"
  export WINEDEBUG="${WINEDEBUG:--all}"
  mkdir -p "$WINEPREFIX"
  local log
  log=$(wine_prefix_log)
  : >"$log"

  # A build folder of its own, without the tests, so that neither GoogleTest
  # nor the test suites' build folder is needed.
  local build="$root/build/$RATECALC_PRESET-run"
  echo "Building the calculator in $build..."
  (cd "$root" && cmake --preset "$RATECALC_PRESET" -B "$build" -DBUILD_TESTING=OFF &&
    cmake --build "$build" -j "$(nproc)" --target KOVRateCalc help_file) >>"$log" 2>&1 || {
    echo "The build failed; its messages are in $log" >&2
    exit 1
  }
  local exe="$build/app/KOVRateCalc.exe"

  prepare_wine_prefix
  echo "Starting the calculator; it keeps your figures in $PWD/KOVRateCalc.ini."
  local rc=0
  "$RATECALC_WINE" "$exe" >>"$log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "The calculator ended with code $rc; Wine's messages are in $log" >&2
    exit "$rc"
  fi
}

run_web() {
  require_packages cmake make emscripten
  local build="$root/build/web-run" log
  mkdir -p "$build"
  log="$build/build.log"
  echo "Building the page in $build..."
  (cd "$root" && NODE_PATH=/usr/share/nodejs cmake --preset web -B "$build" -DBUILD_TESTING=OFF &&
    NODE_PATH=/usr/share/nodejs cmake --build "$build" -j "$(nproc)" --target web_page) >"$log" 2>&1 || {
    echo "The build failed; its messages are in $log" >&2
    exit 1
  }
  # shellcheck source=scripts/open_page.sh
  . "$root/scripts/open_page.sh"
  open_page "$build/KOVRateCalc.html"
}

case "${1:-}" in
  "") run_native ;;
  --wine) run_wine ;;
  --web) run_web ;;
  *)
    echo "Usage: $0 [--wine | --web]" >&2
    exit 2
    ;;
esac
