#!/usr/bin/env bash
# What only a real display with a window manager shows, on the program as
# unpacked from its package: the window stays on top, carries its icons,
# opens the help with F1 in the user's viewer, and closes through the About
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

display_number=""
for n in $(seq 131 170); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display_number=$n; break; }
done
[ -n "$display_number" ] || { echo "FAIL: no free X display number from :131 to :170" >&2; exit 1; }
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done

# The end-to-end helpers (fail, work, wait_for_window, expect_exit_code)
# need the display first; the program is started here, natively.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
trap 'cleanup_e2e; stop_display' EXIT

# The user's viewer is xdg-open; this one notes what it was asked to open.
mkdir -p "$work/bin" "$work/home"
cat >"$work/bin/xdg-open" <<'VIEWER'
#!/bin/sh
printf '%s\n' "$1" >>"$HOME/opened"
VIEWER
chmod +x "$work/bin/xdg-open"

keys() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  shift
  xdotool key --delay 60 "$@"
  sleep 0.3
}
on_top() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
# Alt+F4 until the window named is gone: on a busy machine a key can arrive
# before the window manager has handed the window the focus. Pressed again
# only while that window is still there, so it never reaches the next one.
close_window() {
  for _ in 1 2 3; do
    keys "$1" alt+F4
    for _ in $(seq 50); do
      xdotool search --onlyvisible --name "$2" >/dev/null || return 0
      sleep 0.1
    done
  done
  fail "Alt+F4 did not close the window named '$2'"
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
if [ -n "$shots" ]; then
  mkdir -p "$shots"
  import -frame -window "$main" "$shots/linux-main-pay.png"
fi
keys "$main" F1
for _ in $(seq 50); do [ -s "$work/home/opened" ] && break; sleep 0.1; done
opened=$(cat "$work/home/opened" 2>/dev/null || true)
[ "$opened" = "file://$root/usr/share/kov-rate-calculator/help/index.html" ] ||
  fail "F1 opened '$opened', not the help the package carries"

keys "$main" Escape
xdotool search --onlyvisible --name '^KOV$' >/dev/null || fail "Escape closed the window"
close_window "$main" '^KOV$'
about=$(wait_for_window '^About KOV Rate Calculator$')
xdotool search --onlyvisible --name '^KOV$' >/dev/null && fail "the main window is still shown"
on_top "$about" || fail "the About window is not kept on top"
[ ! -e "$settings" ] || fail "figures saved before the About window was closed"
if [ -n "$shots" ]; then import -frame -window "$about" "$shots/linux-about.png"; fi
keys "$about" Escape
xdotool search --onlyvisible --name '^About' >/dev/null || fail "Escape closed the About window"
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
if [ -n "$shots" ]; then import -frame -window "$told" "$shots/linux-save-failed.png"; fi
keys "$told" Return
expect_exit_code 0
echo "the unpacked program stays on top, opens its help and closes through the About window"
