#!/usr/bin/env bash
# test.sh leaves a Wine prefix the user exported alone, even when it fails
# before it has made its own: here the build fails at once, through a cmake
# that only says so.
# Usage: user_prefix.sh TEST_SH
set -euo pipefail
test_sh="$(realpath "$1")"
work="$(mktemp -d /tmp/ratecalc-user-prefix.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/users-prefix"
mkdir -p "$prefix/drive_c"
echo "the user's own" >"$prefix/marker"
mkdir "$work/bin"
cat >"$work/bin/cmake" <<EOF
#!/bin/sh
touch "$work/cmake-called"
exit 1
EOF
chmod +x "$work/bin/cmake"

rc=0
env PATH="$work/bin:$PATH" WINEPREFIX="$prefix" "$test_sh" >"$work/test.log" 2>&1 || rc=$?
[ -f "$work/cmake-called" ] || fail "test.sh ended before its first build: $(tail -5 "$work/test.log")"
[ "$rc" -ne 0 ] || fail "test.sh passed with a cmake that fails"
[ "$(cat "$prefix/marker" 2>/dev/null)" = "the user's own" ] || fail "test.sh removed the user's WINEPREFIX"
[ -d "$prefix/drive_c" ] || fail "test.sh emptied the user's WINEPREFIX"
echo "a failing test.sh left the user's WINEPREFIX as it was"
