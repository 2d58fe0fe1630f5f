# shellcheck shell=bash
# Sourced by run.sh: hands a page to the desktop's browser and returns at
# once, or prints the page's path where there is no browser to hand it to.

open_page() {
  local page="$1"
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xdg-open >/dev/null; then
    echo "Opening $page in your browser."
    # Some openers run the browser in the foreground: it gets neither the
    # terminal nor this script's end, and outlives both.
    nohup xdg-open "$page" </dev/null >/dev/null 2>&1 &
  else
    echo "No browser to open it here. The page is $page:"
    echo "open it in any browser, on this machine or another; it needs nothing else."
  fi
}
