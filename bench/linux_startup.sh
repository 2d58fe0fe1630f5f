#!/usr/bin/env bash
# Start to first paint and peak memory of the Linux program against
# minimal Qt 6 windows built the same way, RUNS (default 20) runs each,
# interleaved, on the X display given or on an Xvfb of its own.
# Usage (after building the linux preset): bench/linux_startup.sh [build/linux]
set -euo pipefail
build="$(realpath "${1:-build/linux}")"
runs="${RUNS:-20}"
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 171 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { number=$n; break; }
  done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
# Figures of its own, so that the user's are neither read nor written.
export XDG_CONFIG_HOME="$work" QT_QPA_PLATFORM=xcb
echo "== the calculator against a minimal window with one line of text"
"$build/bench/linux_launch_timer" "$runs" "$build/bin/kov-rate-calculator-first-paint" \
  "$build/bin/minimal-qt-window-first-paint"
echo "== the calculator against an empty window, which loads no font"
"$build/bench/linux_launch_timer" "$runs" "$build/bin/kov-rate-calculator-first-paint" \
  "$build/bin/empty-qt-window-first-paint"
