#!/usr/bin/env bash
# The program's options, row by row: what it prints on each stream and the
# exit status, with no display and no Qt platform named, so that an option
# that reached Qt would fail for want of a display.
# Usage: command_line.sh PROGRAM VERSION
set -euo pipefail
program="$1"
version="$2"
work=$(mktemp -d)
mkdir -m 700 "$work/run"
trap 'rm -rf "$work"' EXIT
failures=0

# arguments | exit status | standard output (extended regex, whole text) | standard error
rows=(
  "--help|0|Usage: kov-rate-calculator .*-h, --help .*--version .*KOVRateCalc\.ini.*|"
  "-h|0|Usage: kov-rate-calculator .*|"
  "--version|0|kov-rate-calculator $version|"
  "-style=fusion -platform offscreen --version|0|kov-rate-calculator $version|"
  "--bogus|2||kov-rate-calculator: unknown option '--bogus' Try 'kov-rate-calculator --help' .*"
  "-platform offscreen --bogus|2||.*unknown option '--bogus'.*"
  "--help=x|2||.*unknown option '--help=x'.*"
  "figures.ini|2||.*unexpected argument 'figures.ini'.*"
  "-platform|2||.*needs a value: '-platform'.*"
  "--platform=|2||.*needs a value: '--platform='.*"
  # Qt's options alone start the window, which is still open when stopped.
  "-platform offscreen -reverse|124||"
  "--platform=offscreen -style=fusion|124||"
  "-title --platform=xcb --platform=offscreen|124||"
  # X11 with no display: one line, not Qt's abort.
  "|1||kov-rate-calculator: no display: .*graphical session.*--help.*--version.*"
  "--platform=xcb -reverse|1||.*graphical session.*"
  "-platform offscreen -platform xcb|1||.*graphical session.*"
)
for row in "${rows[@]}"; do
  IFS='|' read -r arguments status out err <<<"$row"
  read -ra words <<<"$arguments"
  code=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$work" \
    XDG_RUNTIME_DIR="$work/run"     timeout -k 2 3 "$program" "${words[@]}" >"$work/out" 2>"$work/err" || code=$?
  got_out=$(tr '\n' ' ' <"$work/out" | sed 's/ *$//')
  got_err=$(tr '\n' ' ' <"$work/err" | sed 's/ *$//')
  if [ "$code" != "$status" ] || ! [[ "$got_out" =~ ^${out}$ ]] || ! [[ "$got_err" =~ ^${err}$ ]]; then
    echo "FAIL: '$arguments' exited $code (not $status); out: '$got_out'; err: '$got_err'" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" = 0 ] || exit 1
echo "${#rows[@]} command lines answered as they should"
