#!/usr/bin/env bash
# F1 in the running program opens the help viewer on KOVRateCalc.chm from
# the folder the program was started in.
# Usage: help_key.sh KOVRateCalc.exe KOVRateCalc.chm SCREENSHOT_FOLDER
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
cp "$2" "$work/KOVRateCalc.chm"
shots="$3"

start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" F1
# The viewer's caption is the title stored inside the help file.
viewer=$(wait_for_window '^KOV Rate Calculator Help$')
screenshot "$shots/help.png"
press_keys "$viewer" alt+F4
wait_for_no_window '^KOV Rate Calculator Help$'
press_keys "$main" alt+F4
about=$(wait_for_window '^About KOV Rate Calculator$')
press_keys "$about" alt+F4
expect_exit_code 0
echo "F1 opened the help file"
