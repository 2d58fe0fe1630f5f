#!/usr/bin/env bash
# Start-up time under Wine, from process start to the main window shown,
# median of RUNS (default 10) runs, measured inside Wine by launch_timer
# with the programs interleaved run by run; and the executable's size.
# Usage (after a win32 build, on an X display): bench/startup.sh [build/win32]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-build/win32}")"
runs="${RUNS:-10}"
export WINEDEBUG=-all
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

windows_path() { echo "Z:${1//\//\\}"; }
timer="$build/bench/launch_timer.exe"
calc="$(windows_path "$build/app/KOVRateCalc.exe")"
minimal="$(windows_path "$build/bench/minimal_dialog.exe")"
layout="$(windows_path "$build/bench/template_dialog.exe")"

cd "$work"
echo "== calculator against the smallest dialog program"
wine "$timer" "$runs" "$calc" KOV "$minimal" Minimal
echo "== the calculator's layout with nothing behind it, against the same"
wine "$timer" "$runs" "$layout" KOV "$minimal" Minimal

exe="$build/app/KOVRateCalc.exe"
text_size=$((16#$(i686-w64-mingw32-objdump -h "$exe" | awk '$2 == ".text" {print $3}')))
file_size=$(stat -c %s "$exe")
bitmap_size=$(($(stat -c %s "$root/ui/resources/about.bmp") - 14))
echo "== KOVRateCalc.exe: $file_size bytes; code (.text) $text_size bytes;" \
  "without the About bitmap $((file_size - bitmap_size)) bytes"
