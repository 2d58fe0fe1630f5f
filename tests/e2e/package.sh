#!/usr/bin/env bash
# The release zip is self-contained: unpacked into an empty folder, the
# program runs from there under Wine and closes cleanly.
# Usage: package.sh KOVRateCalc-<version>-win32.zip
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
zip="$(realpath "$1")"
[ -f "$zip" ] || fail "$zip is missing; build the package target first"

(cd "$work" && cmake -E tar xf "$zip")
listing=$(cd "$work" && ls | sort | tr '\n' ' ')
[ "$listing" = "KOVRateCalc.chm KOVRateCalc.exe KOVRateCalc.html LICENSE.txt README.txt " ] ||
  fail "unexpected contents: $listing"
start_program "$work/KOVRateCalc.exe"
main=$(wait_for_window '^KOV$')
close_through_about "$main"
grep -q '^sCalcMode=Pay' "$work/KOVRateCalc.ini" || fail "no settings written beside the program"
echo "package runs from its own folder"
