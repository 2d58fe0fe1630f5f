#!/usr/bin/env bash
# Starts the real program under Wine in an empty folder, finds its window by
# its caption, takes a screenshot, and closes it through the About window.
# Usage: smoke.sh KOVRateCalc.exe SCREENSHOT_FOLDER
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
shots="$2"

start_program "$exe"
main=$(wait_for_window '^KOV$')
screenshot "$shots/smoke-main.png"
close_through_about "$main" "$shots/smoke-about.png"
[ -f "$work/KOVRateCalc.ini" ] || fail "no settings file was written"
echo "smoke test passed"
