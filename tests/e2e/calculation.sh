#!/usr/bin/env bash
# A person at the keyboard: the road of one calculation typed with real keys,
# closing through the About window, the settings file written; then a start
# from a hand-written settings file that must be honoured and kept.
# Usage: calculation.sh KOVRateCalc.exe SCREENSHOT_FOLDER
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
shots="$2"
crlf() { printf '%s\r\n' "$@"; }

# --- First run: no settings file; Pay mode, charge 20, margin 10 %.
start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" Tab                # the pay field has the focus; on to the charge
type_text "$main" 20
press_keys "$main" Tab Tab Tab Tab Tab Tab   # WTR, WTR %, ER NI, ER NI %, margin, margin %
type_text "$main" 10
press_keys "$main" Return
screenshot "$shots/main-pay.png"
xdotool search --onlyvisible --name '^About' >/dev/null 2>&1 && fail "About window shown too early"
not_saved_yet() {
  [ ! -f "$work/KOVRateCalc.ini" ] || fail "settings saved before the About window was closed"
}
close_through_about "$main" "$shots/about.png" not_saved_yet

expected=$(crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=14.11 nChargeAmt=20.00 nWTRPct=12.07 \
  nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Pay | od -c)
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$expected" ] || fail "settings file differs:"$'\n'"$actual"

# --- Second run: Charge mode with ER NI off, from the user's own file.
crlf '[Mine]' 'note=keep me' '' '[RateCalc]' bCalcWTR=1 bCalcERNI=0 nPayAmt=14.11 \
  nChargeAmt=0.00 nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=0.00 nMarginPct=10.00 \
  sCalcMode=Charge >"$work/KOVRateCalc.ini"
start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" Return             # charge from pay 14.11, WTR only, 10 % margin
screenshot "$shots/main-charge.png"
# Tab to the selected mode button (Charge), then Down selects Margin.
press_keys "$main" Tab Tab Tab Tab Tab Tab Tab Tab Down
screenshot "$shots/main-margin.png"
close_through_about "$main"

expected=$(crlf '[Mine]' 'note=keep me' '' '[RateCalc]' bCalcWTR=1 bCalcERNI=0 nPayAmt=14.11 \
  nChargeAmt=17.57 nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=1.76 nMarginPct=10.00 \
  sCalcMode=Margin | od -c)
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$expected" ] || fail "hand-written settings not honoured or not kept:"$'\n'"$actual"
# --- Third run: the keystrokes both front ends must take alike, from the
# worked example. Alt, Ctrl or Super with a letter types nothing; after
# Enter the caret stands before the field's text, so a 5 typed then goes in
# front; the arrow keys move through the controls as one group, choosing a
# mode button they reach.
crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=14.11 nChargeAmt=20.00 nWTRPct=12.07 \
  nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Pay >"$work/KOVRateCalc.ini"
start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" Tab Home alt+c ctrl+p super+w alt+shift+e Return  # in the charge field
press_keys "$main" Tab Tab Return     # WTR, WTR %: Enter there
type_text "$main" 5
press_keys "$main" Return             # WTR 512.07
press_keys "$main" Tab Tab Tab Tab Tab Right   # on to the Pay button; Right chooses Charge
close_through_about "$main"

expected=$(crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=2.58 nChargeAmt=20.00 \
  nWTRPct=512.07 nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Charge | od -c)
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$expected" ] || fail "the shared keystrokes gave other figures:"$'\n'"$actual"
echo "calculation end-to-end test passed"
