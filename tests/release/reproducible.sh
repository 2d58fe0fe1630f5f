#!/usr/bin/env bash
# The README's release command, run as written in two fresh copies of the
# sources, in folders of different depth and a while apart, makes the same
# program, help file and zip byte for byte, and the zip's text files read
# in Notepad. Slow: it builds the release twice (without the tests or Wine).
# Usage: tests/release/reproducible.sh [SOURCE_FOLDER]
set -euo pipefail
root="$(realpath "${1:-$(dirname "${BASH_SOURCE[0]}")/../..}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The working tree as it is, committed or not; the time stamps come from the
# last commit, as a build in the checkout itself takes them.
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
  export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
  copy_sources() { (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 cp --parents -t "$1"); }
else
  copy_sources() { cp -a "$root/." "$1"; }
fi

# Both copies first, so that an edit during the builds cannot tell them apart.
for folder in "$work/one" "$work/second/build/folder"; do
  mkdir -p "$folder/src"
  copy_sources "$folder/src"
done
# The one indented line of the README that starts the release.
release_command=$(sed -n 's/^    \(cmake --workflow .*\)$/\1/p' "$root/README.md")
[ "$(printf '%s\n' "$release_command" | wc -l)" -eq 1 ] && [ -n "$release_command" ] ||
  fail "the README gives no single release command: '$release_command'"
build() {
  (cd "$1/src" && eval "$release_command") >"$work/build.log" 2>&1 ||
    { tail -30 "$work/build.log"; fail "'$release_command' failed in $1/src"; }
}
build "$work/one"
sleep 2
build "$work/second/build/folder"
one="$work/one/src/build/release"
second="$work/second/build/folder/src/build/release"

for file in app/KOVRateCalc.exe app/KOVRateCalc.chm KOVRateCalc-*.zip; do
  first=$(cd "$one" && ls $file)
  cmp "$one/$first" "$second/$first" || fail "$first differs between the two builds"
done
(cd "$one" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not verify"

# The zip's README is read in Notepad: plain text, CRLF lines of at most 78
# characters, naming the version that was built.
zip_name=$(cd "$one" && ls KOVRateCalc-*.zip)
version=${zip_name#KOVRateCalc-}
version=${version%-win*.zip}
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$one/$zip_name")
readme="$work/unpacked/README.txt"
[ -s "$readme" ] || fail "the zip has no README.txt"
! grep -n -e '\*\*' -e '`' -e '](' -e '@[A-Za-z_]*@' "$readme" ||
  fail "README.txt has markdown or an unfilled placeholder (lines above)"
for text in "$work/unpacked"/*.txt; do
  LC_ALL=C awk '!/\r$/ { print FILENAME ":" FNR ": no CRLF"; bad = 1 }
    length($0) > 79 { print FILENAME ":" FNR ": longer than 78"; bad = 1 }
    END { exit bad }' "$text" || fail "$(basename "$text") has lines Notepad shows badly"
done
grep -qF "$version" "$readme" || fail "README.txt does not name version $version"
# It explains every file the zip carries, and the route to run this
# program on Linux.
for named in $(cd "$work/unpacked" && ls | grep -vx README.txt) './run.sh --wine'; do
  grep -qF -- "$named" "$readme" || fail "README.txt does not mention $named"
done
echo "the README's release command gave the same program, help file and zip twice;"
echo "its text files read in Notepad"
