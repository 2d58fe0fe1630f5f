#!/usr/bin/env bash
# run.sh without WINEPREFIX starts the calculator in a prefix of its own under
# the user's data folder, prepared there, and leaves the user's ~/.wine as it
# was.
# Usage: run_prefix.sh RUN_SH
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
run_sh="$(realpath "$1")"

home="$work/home"
mkdir -p "$home/.wine"
echo "the user's own" >"$home/.wine/marker"
listing() { find "$home/.wine" -printf '%p %s %T@\n' | sort; }
before=$(listing)
prefix="$home/.local/share/kov-rate-calculator/wine"
stop_prefix() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; }
trap 'stop_prefix; cleanup_e2e' EXIT

(cd "$work" && exec env -u WINEPREFIX -u XDG_DATA_HOME HOME="$home" "$run_sh" --wine >"$work/run.log" 2>&1) &
program_pid=$!
main=$(wait_for_window '^KOV$' 300) # the first start prepares the prefix
close_through_about "$main"

[ "$(listing)" = "$before" ] || fail "run.sh touched ~/.wine"
[ -f "$prefix/.kovratecalc-prepared" ] || fail "no prepared prefix at $prefix: $(cat "$work/run.log")"
[ -f "$prefix/drive_c/windows/Fonts/sserife.fon" ] || fail "the prefix lacks the dialog font"
[ -f "$work/KOVRateCalc.ini" ] || fail "no settings file in the folder run.sh was started from"
echo "run.sh used a prefix of its own and left ~/.wine alone"
