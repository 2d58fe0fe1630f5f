#!/usr/bin/env bash
# Another program holds the settings file open: without any sharing while
# the calculator starts (the stored figures must survive the run), and
# sharing reading and writing but not deletion while it saves (the new
# figures must land).
# Usage: settings_held.sh KOVRateCalc.exe hold_file.exe close_windows.exe
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$(realpath "$1")"
holder_exe="$(realpath "$2")"
closer_exe="$(realpath "$3")"
crlf() { printf '%s\r\n' "$@"; }

holder_pid=""
stop_holder() {
  if [ -n "$holder_pid" ]; then kill "$holder_pid" 2>/dev/null || true; wait "$holder_pid" 2>/dev/null || true; fi
  holder_pid=""
}
trap 'stop_holder; if [ -n "${first_pid:-}" ]; then kill "$first_pid" 2>/dev/null || true; fi; cleanup_e2e' EXIT

# Opens the settings file from another program with the given sharing.
hold_settings() {
  rm -f "$work/held.log"
  (cd "$work" && exec "${RATECALC_WINE:-wine}" "$holder_exe" KOVRateCalc.ini "$1" "$2" >"$work/held.log") &
  holder_pid=$!
  wait_until 60 holding || fail "the holding program did not open the file"
}
holding() {
  grep -q held "$work/held.log" 2>/dev/null && return 0
  kill -0 "$holder_pid" 2>/dev/null || fail "the holding program ended early"
  return 1
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

# --- Held open without delete sharing while two copies of the program
# save at the same moment: the file is one copy's save, whole.
crlf '[Mine]' 'note=keep me' >"$work/KOVRateCalc.ini"
# Starts a copy, types a charge and a 10 % margin into it; its window and
# process are left in copy_window and copy_pid.
new_main_window() {
  main=$(xdotool search --onlyvisible --name '^KOV$' 2>/dev/null | grep -vx "${1:-none}" | head -1) || true
  [ -n "$main" ]
}
start_copy() {
  local known="$1" main=""
  start_program "$exe"
  wait_until 60 new_main_window "$known" || fail "the copy's window did not appear"
  sleep 0.3
  press_keys "$main" Tab                # from the pay field to the charge
  type_text "$main" "$2"
  press_keys "$main" Tab Tab Tab Tab Tab Tab   # on to the margin percentage
  type_text "$main" 10
  press_keys "$main" Return
  copy_window=$main
  copy_pid=$program_pid
}
start_copy "" 20
first=$copy_window first_pid=$copy_pid
start_copy "$first" 30
second_pid=$copy_pid
hold_settings readwrite 60
# Closed as the window manager closes them, both at once: the main windows,
# then the two About windows, so that the two saves run together.
close_all() { "${RATECALC_WINE:-wine}" "$closer_exe" "$1" >/dev/null || fail "no window '$1' to close"; }
close_all KOV
two_about_windows() {
  [ "$(xdotool search --onlyvisible --name '^About KOV Rate Calculator$' 2>/dev/null | wc -l)" -eq 2 ]
}
wait_until 60 two_about_windows || fail "the two About windows did not both appear"
close_all 'About KOV Rate Calculator'
for pid in "$first_pid" "$second_pid"; do
  wait_until 60 process_ended "$pid" || fail "a copy did not end"
  wait "$pid" || fail "a copy ended with a failure"
done
program_pid=""
stop_holder
saved_by() {
  crlf '[Mine]' 'note=keep me' '[RateCalc]' bCalcWTR=1 bCalcERNI=1 "nPayAmt=$1" \
    "nChargeAmt=$2" nWTRPct=12.07 nERNIPct=13.80 "nMarginAmt=$3" nMarginPct=10.00 sCalcMode=Pay | od -c
}
actual=$(od -c <"$work/KOVRateCalc.ini")
[ "$actual" = "$(saved_by 14.11 20.00 2.00)" ] || [ "$actual" = "$(saved_by 21.17 30.00 3.00)" ] ||
  fail "two saves while the file was held open left neither whole:"$'\n'"$actual"
ls "$work" | grep -qE '\.(tmp|redo)$' && fail "temporary file left behind"
echo "held settings file end-to-end test passed"
