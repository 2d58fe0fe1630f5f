#!/usr/bin/env bash
# F1 in the running program opens KOVRateCalc.chm from the folder the
# program was started in, and the window that opens shows the help's first
# page rendered: read back from its pixels, the page's text is there and no
# markup is.
# Usage: help_key.sh KOVRateCalc.exe KOVRateCalc.chm SCREENSHOT_FOLDER
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
cp "$2" "$work/KOVRateCalc.chm"
shots="$3"
command -v tesseract >/dev/null || fail "tesseract is missing"

start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" F1
# The viewer's caption ends with the title stored inside the help file.
viewer=$(wait_for_window 'KOV Rate Calculator Help$')
sleep 1 # the viewer lays its page out after it shows
mkdir -p "$shots"
import -window "$viewer" "$shots/help.png"
text=$(tesseract "$shots/help.png" - 2>/dev/null | tr -s ' \n' '  ')
case "$text" in
  *"relation between three rates"*) ;;
  *) fail "the help's first page is not on screen; the window reads: $text" ;;
esac
case "$text" in
  *"<p>"* | *"<li>"* | *"</"* | *DOCTYPE*) fail "the help shows its HTML source: $text" ;;
esac
# The viewer is a program of the host, closed as such.
kill "$(xdotool getwindowpid "$viewer")"
wait_for_no_window 'KOV Rate Calculator Help$'
close_through_about "$main"
echo "F1 showed the help's first page"
