#!/usr/bin/env bash
# Measures what the builds decide and writes it into docs/measurements.md,
# between its two "measure.sh" markers: the size of each build folder
# present, of the .deb, the release zip, the program, its help file and the
# page, the program's sections and the libraries it imports, the Wine
# prefix, and the test cases and time of each stage of test.sh's last run.
# A figure it cannot measure here (its build is absent) keeps its row; a
# figure that has not changed keeps its row and date, so a run that finds
# nothing new leaves the file as it was. Only reads the builds, so it may
# follow the release without changing what the release made.
# Usage: scripts/measure.sh [--wine-prefix DIR] [--build DIR] [--doc FILE]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
doc="$root/docs/measurements.md"
prefix="${XDG_DATA_HOME:-$HOME/.local/share}/kov-rate-calculator/wine"
while [ $# -gt 0 ]; do
  [ $# -gt 1 ] || { echo "$0: $1 needs a value" >&2; exit 2; }
  case "$1" in
    --wine-prefix) prefix="$2" ;;
    --build) build="$2" ;;
    --doc) doc="$2" ;;
    *)
      echo "Usage: $0 [--wine-prefix DIR] [--build DIR] [--doc FILE]" >&2
      exit 2
      ;;
  esac
  shift 2
done
begin='<!-- measure.sh: begin -->'
end='<!-- measure.sh: end -->'
if ! grep -qxF "$begin" "$doc" || ! grep -qxF "$end" "$doc"; then
  echo "$doc has no '$begin' and '$end' lines to write between" >&2
  exit 1
fi

today=$(date -u +%Y-%m-%d)
machine="$(nproc) cores, $(uname -m)"
keys=() values=() whens=()
row() { keys+=("$1") values+=("$2") whens+=("${3:-$today}"); }
# 1234567 as 1,234,567.
grouped() {
  local n="$1" out=""
  while [ "${#n}" -gt 3 ]; do
    out=",${n: -3}$out"
    n=${n:0:${#n}-3}
  done
  echo "$n$out"
}
bytes() { echo "$(grouped "$(stat -c %s "$1")") bytes"; }
megabytes() { echo "$(du -sm "$1" | cut -f1) MB"; }

for folder in native native-asan linux linux-run linux-package fuzz web web-run \
  linux-i686 win32 win32-run win64 win64-run release; do
  if [ -d "$build/$folder" ]; then row "\`build/$folder\`" "$(megabytes "$build/$folder")"; fi
done
for deb in "$build"/linux-package/kov-rate-calculator_*.deb; do
  if [ -f "$deb" ]; then row "the .deb, \`$(basename "$deb")\`" "$(bytes "$deb")"; fi
done
release="$build/release"
for zip in "$release"/KOVRateCalc-*-win32.zip; do
  if [ -f "$zip" ]; then row "the release zip" "$(bytes "$zip")"; fi
done
for file in "$release/app/KOVRateCalc.exe" "$release/app/KOVRateCalc.chm" \
  "$release/web-page/KOVRateCalc.html"; do
  if [ -f "$file" ]; then row "\`$(basename "$file")\` in the zip" "$(bytes "$file")"; fi
done
exe="$release/app/KOVRateCalc.exe"
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$release/CMakeCache.txt" 2>/dev/null || true)
if [ -f "$exe" ] && [ -x "$objdump" ]; then
  # A stripped image keeps eight characters of a section name: .eh_fram.
  while read -r _ name size _; do
    case "$name" in
      .text | .rdata | .rsrc | .eh_fram*)
        row "\`KOVRateCalc.exe\` section \`${name/.eh_fram*/.eh_frame}\`" "$(grouped $((0x$size))) bytes"
        ;;
    esac
  done < <("$objdump" -h "$exe")
  imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }' | LC_ALL=C sort -f | paste -sd, - |
    sed 's/,/, /g')
  row "\`KOVRateCalc.exe\` imports" "$imports"
fi
if [ -d "$prefix/drive_c" ]; then row "a Wine prefix as \`run.sh --wine\` prepares it" "$(megabytes "$prefix")"; fi

# test.sh's last run, one line a stage: name, seconds, test cases,
# programs, load at its end.
stages="$build/logs/stages.txt"
stage_rows=0
if [ -s "$stages" ]; then
  stage_rows=1
  run_day=$(date -u -r "$stages" +%Y-%m-%d)
  total_seconds=0 total_cases=0
  while IFS='|' read -r name seconds cases programs load; do
    total_seconds=$((total_seconds + seconds))
    [ -n "$cases" ] || continue
    total_cases=$((total_cases + cases))
    what="$cases test case"
    [ "$cases" = 1 ] || what+="s"
    if [ -n "$programs" ]; then what+=" in $programs programs"; fi
    row "\`test.sh\`: $name" "$what, $seconds s" "$run_day, $machine, load $load"
  done <"$stages"
  row "\`test.sh\`: every stage together" "$total_cases test cases, $((total_seconds / 60)) min $((total_seconds % 60)) s" \
    "$run_day, $machine, load $(tail -1 "$stages" | cut -d'|' -f5)"
fi

# The rows written before, by their first cell.
declare -A old_rows=()
old_order=()
while IFS= read -r line; do
  key=$(awk -F' [|] ' '{ sub(/^[|] /, ""); print $1 }' <<<"$line")
  old_rows[$key]=$line
  old_order+=("$key")
done < <(sed -n "/^$begin\$/,/^$end\$/p" "$doc" | grep '^| ' | tail -n +2)

declare -A measured=() written=()
for i in "${!keys[@]}"; do measured[${keys[$i]}]=$i; done
# A measured figure's row; unchanged, it keeps its date.
measured_row() {
  local i="${measured[$1]}"
  local old="${old_rows[$1]:-}" line="| $1 | ${values[$i]} | ${whens[$i]} |"
  if [[ "$old" == "| $1 | ${values[$i]} | "* ]]; then line=$old; fi
  echo "$line"
  written[$1]=1
}
block=$(mktemp)
trap 'rm -f "$block"' EXIT
{
  echo "$begin"
  echo "| what | figure | measured |"
  echo "|---|---|---|"
  # The rows in the order they had, then the figures new to the file.
  for key in "${old_order[@]}"; do
    if [ -n "${measured[$key]:-}" ]; then
      measured_row "$key"
    elif [ "$stage_rows" = 0 ] || [[ "$key" != '`test.sh`:'* ]]; then
      # Not measurable here; a new run of test.sh replaces all the last one's.
      echo "${old_rows[$key]}"
    fi
  done
  for key in "${keys[@]}"; do
    [ -n "${written[$key]:-}" ] || measured_row "$key"
  done
  echo "$end"
} >"$block"
awk -v begin="$begin" -v end="$end" -v block="$block" '
  $0 == begin { while ((getline line < block) > 0) print line; skip = 1; next }
  $0 == end { skip = 0; next }
  !skip' "$doc" >"$doc.new"
mv "$doc.new" "$doc"
echo "$((${#keys[@]})) figures measured into $doc"
