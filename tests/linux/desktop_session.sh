#!/usr/bin/env bash
# What only a real display with a window manager shows, on the program as
# unpacked from its package: the window stays on top, carries its icons,
# shows the help with F1 in its own help window, and closes through the About
# window, saving the figures only then; a second start honours and keeps a
# file carried over from Windows. Starts its own Xvfb and openbox.
# Usage: desktop_session.sh UNPACKED_ROOT [SCREENSHOT_FOLDER]
set -euo pipefail
root="$(realpath "$1")"
shots="${2:-}"
program="$root/usr/bin/kov-rate-calculator"

xvfb_pid="" wm_pid=""
stop_display() {
  for pid in "$wm_pid" "$xvfb_pid"; do
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  done
}
trap stop_display EXIT

# shellcheck source=scripts/virtual_display.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/virtual_display.sh"
start_virtual_display 1024x768x24 || { echo "FAIL: no virtual display" >&2; exit 1; }
# The end-to-end helpers (fail, work, wait_until, wait_for_window,
# expect_exit_code) need the display first; the program is started here,
# natively.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
trap 'cleanup_e2e; stop_display' EXIT
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 60 wm_running || fail "openbox did not start"

# F1 starts nothing outside the program; an xdg-open would note it here.
mkdir -p "$work/bin" "$work/home"
cat >"$work/bin/xdg-open" <<'VIEWER'
#!/bin/sh
printf '%s\n' "$1" >>"$HOME/opened"
VIEWER
chmod +x "$work/bin/xdg-open"

# The window manager's word that the window has the focus, so that keys and
# Alt+F4 go to it and to no other; asked for again while it has not.
focused() {
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0
  xdotool windowactivate "$1" 2>/dev/null || true
  return 1
}
keys() {
  wait_until 60 focused "$1" || fail "window $1 did not get the focus"
  shift
  xdotool key --delay 60 "$@"
}
on_top() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
# A window that must stay: still shown after two seconds by the clock, which
# the keys sent before are handled within even on a busy machine.
still_shown() {
  local deadline=$((SECONDS + 2))
  while [ "$SECONDS" -lt "$deadline" ]; do
    window_gone "$1" && return 1
    sleep 0.1
  done
}
close_window() {
  keys "$1" alt+F4
  wait_until 60 window_gone "$2" || fail "Alt+F4 did not close the window named '$2'"
}
# A picture for the documents, once the keys sent before have been drawn.
shoot() {
  if [ -n "$shots" ]; then
    mkdir -p "$shots"
    sleep 0.5
    import -frame -window "$1" "$shots/$2"
  fi
}
settings="$work/home/.config/kov-rate-calculator/KOVRateCalc.ini"

start_program() {
  (cd "$work" && exec env -u XDG_CONFIG_HOME -u QT_QPA_PLATFORM HOME="$work/home" \
    PATH="$work/bin:$PATH" XDG_CURRENT_DESKTOP=X-Generic "$program") >"$work/program.log" 2>&1 &
  program_pid=$!
}
crlf() { printf '%s\r\n' "$@"; }

# --- First run: no settings file; the worked example typed.
start_program
main=$(wait_for_window '^KOV$')
on_top "$main" || fail "the main window is not kept on top"
icons=$(xprop -len 1000000 -id "$main" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u)
grep -q 'Icon (48 x 48)' <<<"$icons" && grep -q 'Icon (256 x 256)' <<<"$icons" ||
  fail "the window lacks the 48 and 256 pixel icons: $icons"

keys "$main" Tab 2 0 Tab Tab Tab Tab Tab Tab 1 0 Return
shoot "$main" linux-main-pay.png
keys "$main" F1
help=$(wait_for_window '^KOV Rate Calculator - KOV Rate Calculator Help$')
shoot "$help" linux-help.png
[ ! -e "$work/home/opened" ] || fail "F1 started a viewer: $(cat "$work/home/opened")"
close_window "$help" 'KOV Rate Calculator Help$'

keys "$main" Escape
still_shown '^KOV$' || fail "Escape closed the window"
close_window "$main" '^KOV$'
about=$(wait_for_window '^About KOV Rate Calculator$')
xdotool search --onlyvisible --name '^KOV$' >/dev/null && fail "the main window is still shown"
on_top "$about" || fail "the About window is not kept on top"
[ ! -e "$settings" ] || fail "figures saved before the About window was closed"
shoot "$about" linux-about.png
keys "$about" Escape
still_shown '^About' || fail "Escape closed the About window"
close_window "$about" '^About KOV Rate Calculator$'
expect_exit_code 0

expected=$(crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=14.11 nChargeAmt=20.00 \
  nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Pay | od -c)
[ "$(od -c <"$settings")" = "$expected" ] || fail "settings differ: $(od -c "$settings")"

# --- Second run: Charge mode with ER NI off, from a file carried over from
# Windows, with a section of the user's own.
crlf '[Mine]' 'note=keep me' '' '[RateCalc]' bCalcWTR=1 bCalcERNI=0 nPayAmt=14.11 \
  nChargeAmt=0.00 nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=0.00 nMarginPct=10.00 \
  sCalcMode=Charge >"$settings"
start_program
main=$(wait_for_window '^KOV$')
keys "$main" Return                           # charge from pay 14.11, WTR only, 10 % margin
keys "$main" Tab Tab Tab Tab Tab Tab Tab Tab Down  # to the selected mode, then Margin
close_window "$main" '^KOV$'
about=$(wait_for_window '^About KOV Rate Calculator$')
close_window "$about" '^About KOV Rate Calculator$'
expect_exit_code 0
expected=$(crlf '[Mine]' 'note=keep me' '' '[RateCalc]' bCalcWTR=1 bCalcERNI=0 nPayAmt=14.11 \
  nChargeAmt=17.57 nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=1.76 nMarginPct=10.00 \
  sCalcMode=Margin | od -c)
[ "$(od -c <"$settings")" = "$expected" ] || fail "the carried-over file was not honoured or kept: $(cat -A "$settings")"
# --- Third run: the keystrokes the Windows program's end-to-end test
# presses too, with the same figures: Alt, Ctrl or Super with a letter types
# nothing; after Enter the caret stands before the text; Right on the Pay
# button chooses Charge.
crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=14.11 nChargeAmt=20.00 nWTRPct=12.07 \
  nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Pay >"$settings"
start_program
main=$(wait_for_window '^KOV$')
keys "$main" Tab Home alt+c ctrl+p super+w alt+shift+e Return
keys "$main" Tab Tab Return 5 Return
keys "$main" Tab Tab Tab Tab Tab Right
close_window "$main" '^KOV$'
about=$(wait_for_window '^About KOV Rate Calculator$')
close_window "$about" '^About KOV Rate Calculator$'
expect_exit_code 0
expected=$(crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=2.58 nChargeAmt=20.00 \
  nWTRPct=512.07 nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Charge | od -c)
[ "$(od -c <"$settings")" = "$expected" ] || fail "the shared keystrokes gave other figures: $(cat -A "$settings")"

# --- Fourth run: ~/.config is a file, so nothing can be saved: after the
# About window the program says so once, naming the file and the reason.
rm -rf "$work/home/.config"
printf 'not a folder\n' >"$work/home/.config"
start_program
main=$(wait_for_window '^KOV$')
close_window "$main" '^KOV$'
about=$(wait_for_window '^About KOV Rate Calculator$')
close_window "$about" '^About KOV Rate Calculator$'
told=$(wait_for_window '^KOV Rate Calculator$')
shoot "$told" linux-save-failed.png
keys "$told" Return
expect_exit_code 0
echo "the unpacked program stays on top, opens its help and closes through the About window"
