#!/usr/bin/env bash
# Zips the release files into OUT.zip, at its top, in name order, each dated
# UNIX_TIME and readable by all, without the builder's user, group or access
# times, and writes SHA256SUMS beside it: the same files give the same bytes.
# Usage: ZIP_PROGRAM=zip make_release.sh OUT.zip UNIX_TIME FILE...
# (zip itself reads options from a variable named ZIP.)
set -euo pipefail
out="$1"
time="$2"
shift 2
zip="${ZIP_PROGRAM:-}"
[ -n "$zip" ] && [ "${zip%-NOTFOUND}" = "$zip" ] || {
  echo "The release zip needs Info-ZIP's zip (Debian package zip)." >&2
  exit 1
}
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$@" "$stage/"
chmod 644 "$stage"/*
touch -d "@$time" "$stage"/*
rm -f "$out"
(cd "$stage" && LC_ALL=C ls | TZ=UTC "$zip" -X -D -q -@ "$out")
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >SHA256SUMS)
