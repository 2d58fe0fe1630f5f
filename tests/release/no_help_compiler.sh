#!/usr/bin/env bash
# Without the help compiler on the PATH the Windows program still
# configures and builds, configuring says once that the help file will be
# missing, and the release refuses to be made without it.
# Usage: tests/release/no_help_compiler.sh [SOURCE_FOLDER]
set -euo pipefail
root="$(realpath "${1:-$(dirname "${BASH_SOURCE[0]}")/../..}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A PATH with every program of this one but chmcmd.
mkdir "$work/bin"
IFS=: read -r -a folders <<<"$PATH"
for folder in "${folders[@]}"; do
  for program in "$folder"/*; do
    name=$(basename "$program")
    [ "$name" != chmcmd ] && [ -x "$program" ] && [ ! -e "$work/bin/$name" ] &&
      ln -s "$program" "$work/bin/$name"
  done
done
export PATH="$work/bin"
! command -v chmcmd >/dev/null || fail "chmcmd is still on the PATH"

cmake -S "$root" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >"$work/configure.log" 2>&1 ||
  fail "configuring without chmcmd failed: $(tail -20 "$work/configure.log")"
[ "$(grep -c 'No help compiler (chmcmd)' "$work/configure.log")" -eq 1 ] ||
  fail "configuring did not say once that the help file will be missing"
cmake --build "$work/build" -j 2 >"$work/build.log" 2>&1 ||
  fail "the build without chmcmd failed: $(tail -20 "$work/build.log")"
[ -f "$work/build/app/KOVRateCalc.exe" ] || fail "no program was built"
[ ! -e "$work/build/app/KOVRateCalc.chm" ] || fail "a help file appeared from nowhere"
rc=0
cmake --build "$work/build" --target package >"$work/package.log" 2>&1 || rc=$?
[ "$rc" -ne 0 ] || fail "the release was made without its help file"
grep -q 'not made without the help file' "$work/package.log" ||
  fail "the refusal does not say why: $(tail -5 "$work/package.log")"
! ls "$work/build"/KOVRateCalc-*.zip >/dev/null 2>&1 || fail "a zip was left behind"
echo "without chmcmd the program built, and the release was refused with its reason"
