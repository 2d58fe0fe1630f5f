#!/usr/bin/env bash
# The built help file is a real Compiled HTML Help file holding every page
# that its contents, its index and its project name.
# Usage: help_file.sh KOVRateCalc.chm HELP_SOURCE_FOLDER
set -euo pipefail
chm="$1"
sources="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(head -c 4 "$chm")" = "ITSF" ] || fail "$chm does not start with the ITSF signature"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
extract_chmLib "$chm" "$out" >/dev/null || fail "extract_chmLib cannot read $chm"
for system_file in '#SYSTEM' '#TOPICS' '#WINDOWS' 'index.hhk'; do
  [ -e "$out/$system_file" ] || fail "$system_file missing: no contents, index or window"
done

pages=$( (grep -o 'name="Local" value="[^"]*"' "$sources/contents.hhc" "$sources/index.hhk" |
  sed 's/.*value="//; s/"$//'; sed -n '/^\[FILES\]/,/^\[/p' "$sources/KOVRateCalc.hhp" |
  grep -v '^\[') | sort -u)
count=0
for page in $pages; do
  [ -s "$out/$page" ] || fail "$page is not in the help file"
  cmp -s "$out/$page" "$sources/$page" || fail "$page differs from its source"
  count=$((count + 1))
done
[ "$count" -ge 9 ] || fail "only $count pages found"
grep -q 'KOV Rate Calculator Help' "$out/#SYSTEM" || fail "the title is missing"
echo "help file holds all $count pages"
