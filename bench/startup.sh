#!/usr/bin/env bash
# Start-up time and peak working set under Wine, from process start to the
# main window shown, median of RUNS (default 20) runs, measured inside Wine by
# launch_timer with the two programs interleaved run by run. The calculator
# is compared with its floor: the same window template with an empty dialog
# procedure (template_dialog); the floor with the smallest dialog program.
# Usage (after a win32 build, on an X display): bench/startup.sh [build/win32]
set -euo pipefail
build="$(realpath "${1:-build/win32}")"
runs="${RUNS:-20}"
export WINEDEBUG=-all
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

windows_path() { echo "Z:${1//\//\\}"; }
timer="$build/bench/launch_timer.exe"
calc="$(windows_path "$build/app/KOVRateCalc.exe")"
layout="$(windows_path "$build/bench/template_dialog.exe")"
minimal="$(windows_path "$build/bench/minimal_dialog.exe")"

cd "$work"
echo "== the calculator against its floor, the same window with nothing behind it"
wine "$timer" "$runs" "$calc" KOV "$layout" KOV
echo "== the floor against the smallest dialog program"
wine "$timer" "$runs" "$layout" KOV "$minimal" Minimal
