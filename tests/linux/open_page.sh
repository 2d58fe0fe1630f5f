#!/usr/bin/env bash
# run.sh --web's last step, row by row: where a browser can be started the
# page is handed to it and the script returns while the browser still runs,
# with none of its messages; elsewhere the page's path is printed.
# Usage: open_page.sh
set -euo pipefail
opener_script="$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../scripts/open_page.sh")"
work=$(mktemp -d)
trap 'if [ -s "$work/browser.pid" ]; then kill "$(cat "$work/browser.pid")" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/no-bin"
# A browser that stays in the foreground and talks, as some openers do.
cat >"$work/bin/xdg-open" <<'BROWSER'
#!/bin/sh
echo $$ >"$OPENED.pid"
printf '%s\n' "$1" >"$OPENED"
echo "browser chatter"
echo "browser warning" >&2
exec sleep 60
BROWSER
chmod +x "$work/bin/xdg-open"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# DISPLAY | PATH | output (extended regex, whole text) | handed to the browser
rows=(
  ":5|$work/bin:$PATH|Opening $work/p\.html in your browser\.|yes"
  "|$work/bin:$PATH|No browser to open it here\. The page is $work/p\.html: open it in any browser.*|no"
  ":5|$work/no-bin|No browser to open it here\. The page is $work/p\.html: .*|no"
)
for row in "${rows[@]}"; do
  IFS='|' read -r display path out handed <<<"$row"
  rm -f "$work/opened" "$work/opened.pid"
  code=0
  timeout 20 env -u WAYLAND_DISPLAY DISPLAY="$display" PATH="$path" OPENED="$work/opened" \
    "$BASH" -c '. "$1" && open_page "$2"' - "$opener_script" "$work/p.html" \
    >"$work/out" 2>&1 || code=$?
  got=$(tr '\n' ' ' <"$work/out" | sed 's/ *$//')
  [ "$code" = 0 ] || fail "DISPLAY '$display': ended with $code, not 0 at once"
  [[ "$got" =~ ^${out}$ ]] || fail "DISPLAY '$display': printed '$got'"
  if [ "$handed" = yes ]; then
    # The browser starts on its own time; it must get the page, and still run.
    deadline=$((SECONDS + 20))
    until [ -s "$work/opened" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.1; done
    grep -qx "$work/p.html" "$work/opened" 2>/dev/null || fail "the browser was not given the page"
    cp "$work/opened.pid" "$work/browser.pid" 2>/dev/null || true
    kill -0 "$(cat "$work/browser.pid" 2>/dev/null)" 2>/dev/null || fail "the browser did not outlive the script"
    kill "$(cat "$work/browser.pid")" 2>/dev/null || true
  elif [ -e "$work/opened" ]; then
    fail "DISPLAY '$display': a browser was started"
  fi
done
[ "$failures" = 0 ] || exit 1
echo "${#rows[@]} ways run.sh --web ends: handed over at once, or the page's path printed"
