#!/usr/bin/env bash
# Another program holds the settings file open: without any sharing while
# the calculator starts (the stored figures must survive the run), and
# sharing reading and writing but not deletion while it saves (the new
# figures must land).
# Usage: settings_held.sh KOVRateCalc.exe hold_file.exe
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
holder_exe="$(realpath "$2")"
crlf() { printf '%s\r\n' "$@"; }

holder_pid=""
stop_holder() {
  if [ -n "$holder_pid" ]; then kill "$holder_pid" 2>/dev/null || true; wait "$holder_pid" 2>/dev/null || true; fi
  holder_pid=""
}
trap 'stop_holder; cleanup_e2e' EXIT

# Opens the settings file from another program with the given sharing.
hold_settings() {
  rm -f "$work/held.log"
  (cd "$work" && exec "${RATECALC_WINE:-wine}" "$holder_exe" KOVRateCalc.ini "$1" "$2" >"$work/held.log") &
  holder_pid=$!
  for _ in $(seq 300); do
    grep -q held "$work/held.log" 2>/dev/null && return 0
    kill -0 "$holder_pid" 2>/dev/null || fail "the holding program ended early"
    sleep 0.1
  done
  fail "the holding program did not open the file"
}

# --- Locked without sharing at start-up, released before the run ends.
crlf '[RateCalc]' bCalcWTR=1 bCalcERNI=0 nPayAmt=14.11 nChargeAmt=17.57 nWTRPct=12.07 \
  nERNIPct=13.80 nMarginAmt=1.76 nMarginPct=10.00 sCalcMode=Margin >"$work/KOVRateCalc.ini"
stored=$(od -c <"$work/KOVRateCalc.ini")
hold_settings none 4
start_program "$exe"
main=$(wait_for_window '^KOV$')
wait "$holder_pid" || fail "the holding program failed"
holder_pid=""
close_through_about "$main"
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$stored" ] || fail "figures stored in a briefly locked file were overwritten:"$'\n'"$actual"

# --- Held open without delete sharing while the program saves.
crlf '[Mine]' 'note=keep me' >"$work/KOVRateCalc.ini"
start_program "$exe"
main=$(wait_for_window '^KOV$')
press_keys "$main" Tab                # from the pay field to the charge
type_text "$main" 20
press_keys "$main" Tab Tab Tab Tab Tab Tab   # on to the margin percentage
type_text "$main" 10
press_keys "$main" Return
hold_settings readwrite 60
close_through_about "$main"
stop_holder
expected=$(crlf '[Mine]' 'note=keep me' '[RateCalc]' bCalcWTR=1 bCalcERNI=1 nPayAmt=14.11 \
  nChargeAmt=20.00 nWTRPct=12.07 nERNIPct=13.80 nMarginAmt=2.00 nMarginPct=10.00 sCalcMode=Pay | od -c)
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$expected" ] || fail "a save while the file was held open was lost:"$'\n'"$actual"
ls "$work" | grep -q '\.tmp$' && fail "temporary file left behind"
echo "held settings file end-to-end test passed"
