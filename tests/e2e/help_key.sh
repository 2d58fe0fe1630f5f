#!/usr/bin/env bash
# F1 in the running program opens KOVRateCalc.chm, and the window that opens
# shows the help's first page rendered: read back from its pixels, the
# page's text is there and no markup is. The program and the help lie in
# one folder, as the release has them (Wine's shell looks beside the
# program before the folder it was started in).
# Usage: help_key.sh KOVRateCalc.exe KOVRateCalc.chm SCREENSHOT_FOLDER
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cp "$1" "$work/KOVRateCalc.exe"
cp "$2" "$work/KOVRateCalc.chm"
exe="$work/KOVRateCalc.exe"
shots="$3"
command -v tesseract >/dev/null || fail "tesseract is missing"

# The viewer is a desktop program of the host: it keeps recent files and
# its own settings in the home and data folders it is given, so it gets
# throwaway ones rather than the user's.
viewer_home="$work/viewer-home"
mkdir -p "$viewer_home"
export HOME="$viewer_home" XDG_DATA_HOME="$viewer_home/.local/share"
export XDG_CONFIG_HOME="$viewer_home/.config" XDG_CACHE_HOME="$viewer_home/.cache"

start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" F1
# The viewer's caption ends with the title stored inside the help file.
viewer=$(wait_for_window 'KOV Rate Calculator Help$')
# The viewer is a program of the host, outside Wine: closed as such, and
# also when the test fails.
viewer_pid=$(xdotool getwindowpid "$viewer")
trap 'kill "$viewer_pid" 2>/dev/null || true; cleanup_e2e' EXIT
# Read until the page is there: the viewer lays it out after it shows.
mkdir -p "$shots"
first_page_shown() {
  import -window "$viewer" "$shots/help.png"
  text=$(tesseract "$shots/help.png" - 2>/dev/null | tr -s ' \n' '  ')
  case "$text" in *"relation between three rates"*) return 0 ;; esac
  return 1
}
wait_until 60 first_page_shown || fail "the help's first page is not on screen; the window reads: $text"
case "$text" in
  *"<p>"* | *"<li>"* | *"</"* | *DOCTYPE*) fail "the help shows its HTML source: $text" ;;
esac
kill "$viewer_pid"
wait_for_no_window 'KOV Rate Calculator Help$'
# Back to the calculator as a person would, with a click on its caption.
xdotool mousemove --window "$main" 90 10 click 1
sleep 0.3
close_through_about "$main"
echo "F1 showed the help's first page"
