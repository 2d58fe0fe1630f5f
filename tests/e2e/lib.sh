# Helpers for the end-to-end tests: the real program under Wine, found and
# driven with xdotool on the X display the test run provides.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ -n "${DISPLAY:-}" ] || fail "no X display; run through ./test.sh"
command -v xdotool >/dev/null || fail "xdotool is missing"
export WINEDEBUG=-all

work="$(mktemp -d /tmp/ratecalc-e2e.XXXXXX)"
program_pid=""
cleanup_e2e() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup_e2e EXIT

# Starts the program with $work as its folder; extra files may be put there first.
start_program() {
  (cd "$work" && exec "${RATECALC_WINE:-wine}" "$1") &
  program_pid=$!
}

# Runs the command until it succeeds, for up to LIMIT seconds by the clock:
# a count of tries would stretch with the machine's load.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The id of the first visible window whose name matches, in found_window.
window_shown() {
  found_window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
  [ -n "$found_window" ] && return 0
  kill -0 "$program_pid" 2>/dev/null || fail "program ended while waiting for '$1'"
  return 1
}
window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# Prints the id of the visible window whose name matches, waiting up to 60 s
# or the seconds given.
wait_for_window() {
  wait_until "${2:-60}" window_shown "$1" || fail "no window named '$1' appeared"
  sleep 0.3  # let it finish painting, for the screenshots
  echo "$found_window"
}

# Waits until no visible window matches the name.
wait_for_no_window() {
  wait_until 60 window_gone "$1" || fail "window '$1' is still there"
}
# Real key presses into the window, as a person at the keyboard would type.
press_keys() {
  local window="$1"
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --delay 60 "$@"
  sleep 0.3
}

type_text() {
  local window="$1"
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool type --delay 60 "$2"
  sleep 0.2
}

# A picture of the whole display, cropped to what is drawn on it.
screenshot() {
  mkdir -p "$(dirname "$1")"
  import -window root -trim +repage "$1" 2>/dev/null || import -window root "$1"
}

process_ended() { ! kill -0 "$1" 2>/dev/null; }

expect_exit_code() {
  local rc=0
  wait_until 60 process_ended "$program_pid" || fail "the program did not end"
  wait "$program_pid" || rc=$?
  program_pid=""
  [ "$rc" -eq "$1" ] || fail "exit code $rc, expected $1"
}

# Closes the calculator as a person does: Alt+F4 on the main window, then on
# the About window that follows; the program must then end with code 0.
# Optionally takes a screenshot of the About window and runs a check while
# it is open.
close_through_about() {
  local main="$1" about_shot="${2:-}" while_about="${3:-}"
  press_keys "$main" alt+F4
  wait_for_no_window '^KOV$'
  local about
  about=$(wait_for_window '^About KOV Rate Calculator$')
  if [ -n "$about_shot" ]; then screenshot "$about_shot"; fi
  if [ -n "$while_about" ]; then "$while_about"; fi
  press_keys "$about" alt+F4
  expect_exit_code 0
}
