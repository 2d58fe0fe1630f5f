#!/usr/bin/env bash
# The .deb read without installing it: the files it carries, the libraries
# it declares, its menu entry; then unpacked into UNPACK_FOLDER for the
# desktop session test to start the program from there.
# Usage: deb_contents.sh PACKAGE.deb UNPACK_FOLDER
set -euo pipefail
deb="$1"
unpack="$2"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/kov-rate-calculator \
  ./usr/share/applications/kov-rate-calculator.desktop \
  ./usr/share/icons/hicolor/48x48/apps/kov-rate-calculator.png \
  ./usr/share/icons/hicolor/256x256/apps/kov-rate-calculator.png \
  ./usr/share/kov-rate-calculator/about.bmp \
  ./usr/share/kov-rate-calculator/help/index.html \
  ./usr/share/kov-rate-calculator/help/help.css \
  ./usr/share/doc/kov-rate-calculator/copyright; do
  grep -qx "$path" <<<"$listing" || fail "the package lacks $path"
done
# Nothing outside /usr, so that removing the package leaves nothing behind.
outside=$(grep -v '^\./usr/' <<<"$listing" | grep -v '^\./$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
# Every help page the sources have.
for page in "$(dirname "${BASH_SOURCE[0]}")"/../../docs/help/*.html; do
  grep -qx "./usr/share/kov-rate-calculator/help/$(basename "$page")" <<<"$listing" ||
    fail "the package lacks the help page $(basename "$page")"
done

depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -Fqx "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = kov-rate-calculator ] || fail "wrong package name"
# Maintainer scripts would be the one way to leave files behind.
control=$(dpkg-deb -I "$deb")
for script in preinst postinst prerm postrm; do
  ! grep -q " $script\$" <<<"$control" || fail "the package has a $script script"
done

rm -rf "$unpack"
mkdir -p "$unpack"
dpkg-deb -x "$deb" "$unpack"
desktop="$unpack/usr/share/applications/kov-rate-calculator.desktop"
grep -qx 'Exec=kov-rate-calculator' "$desktop" || fail "the menu entry does not start the program"
grep -qx 'Icon=kov-rate-calculator' "$desktop" || fail "the menu entry has not the program's icon"
for size in 48 256; do
  file "$unpack/usr/share/icons/hicolor/${size}x${size}/apps/kov-rate-calculator.png" |
    grep -q "PNG image data, $size x $size" || fail "the $size pixel icon is not $size pixels"
done
echo "the package carries the program, its files and its dependencies"
