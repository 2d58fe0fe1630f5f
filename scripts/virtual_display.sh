# shellcheck shell=bash
# Sourced by test.sh and the desktop session test: an Xvfb on a display
# number that it picks itself among the free ones (-displayfd), so that it
# never takes another user's display on a shared machine. It writes the
# number once it accepts connections, which is waited for up to LIMIT
# seconds. Sets DISPLAY, and xvfb_pid for the caller to stop.
# Usage: start_virtual_display WIDTHxHEIGHTxDEPTH [LIMIT]
start_virtual_display() {
  local number_file deadline=$((SECONDS + ${2:-60}))
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  until grep -q '^[0-9][0-9]*$' "$number_file"; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      rm -f "$number_file"
      echo "Xvfb did not start within ${2:-60} s" >&2
      return 1
    fi
    sleep 0.1
  done
  DISPLAY=":$(cat "$number_file")"
  export DISPLAY
  rm -f "$number_file"
}
