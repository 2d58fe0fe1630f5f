#!/usr/bin/env bash
# The .deb read without installing it: the files it carries, the libraries
# it declares, its menu entry, manual page, changelog, copyright, metainfo,
# the program's hardening and lintian's verdict; then unpacked into
# UNPACK_FOLDER for the desktop session test to start the program there.
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
  ./usr/share/doc/kov-rate-calculator/copyright \
  ./usr/share/doc/kov-rate-calculator/changelog.gz \
  ./usr/share/man/man1/kov-rate-calculator.1.gz \
  ./usr/share/metainfo/org.kovratecalc.kov_rate_calculator.metainfo.xml; do
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
# F1 needs nothing from outside the package.
[ -z "$(dpkg-deb -f "$deb" Recommends)" ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
long=$(dpkg-deb -f "$deb" Description | awk 'length > 80')
[ -z "$long" ] || fail "description lines longer than 80 characters: $long"
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
grep -q '^Keywords=.*;' "$desktop" || fail "the menu entry has no keywords"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "the menu entry is not valid"
fi

# The documents Debian asks for: the manual page renders without warnings
# and names the options; the changelog is of this version; the copyright
# is machine-readable with a dated notice; the metainfo describes the
# program and shows a screenshot.
doc="$unpack/usr/share/doc/kov-rate-calculator"
man_text=$(MANWIDTH=80 man --warnings -l "$unpack/usr/share/man/man1/kov-rate-calculator.1.gz" 2>&1)
for part in NAME SYNOPSIS OPTIONS --help --version ENVIRONMENT XDG_CONFIG_HOME FILES KOVRateCalc.ini; do
  grep -q -- "$part" <<<"$man_text" || fail "the manual page lacks $part"
done
! grep -q 'warning' <<<"$man_text" || fail "the manual page has faults: $man_text"
version=$(dpkg-deb -f "$deb" Version)
zcat "$doc/changelog.gz" | head -1 | grep -Fq "kov-rate-calculator ($version) " ||
  fail "the changelog's first entry is not version $version"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
zcat "$doc/changelog.gz" | grep -Fq " -- $maintainer  " || fail "the changelog is not signed by $maintainer"
head -1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "the copyright file is not machine-readable"
grep -Eq '^Copyright: [0-9]{4}' "$doc/copyright" || fail "the copyright file has no dated notice"
metainfo="$unpack/usr/share/metainfo/org.kovratecalc.kov_rate_calculator.metainfo.xml"
for part in '<description>' '<screenshot type="default">' '<image>https://' \
  '<launchable type="desktop-id">kov-rate-calculator.desktop</launchable>' \
  "<release version=\"$version\""; do
  grep -Fq "$part" "$metainfo" || fail "the metainfo lacks $part"
done
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "the metainfo is not valid"
fi

# The program as Debian hardens it: position-independent, full RELRO with
# immediate binding, fortified functions and the stack protector.
program="$unpack/usr/bin/kov-rate-calculator"
readelf -h "$program" | grep -q 'Type: *DYN' || fail "the program is not position-independent"
readelf -lW "$program" | grep -q GNU_RELRO || fail "the program has no RELRO segment"
readelf -d "$program" | grep -Eq 'FLAGS.*(BIND_NOW|NOW)' || fail "the program does not bind at once"
symbols=$(readelf --dyn-syms -W "$program")
grep -Eq '__[a-z]+_chk' <<<"$symbols" || fail "the program calls no fortified function"
grep -q '__stack_chk_fail' <<<"$symbols" || fail "the program has no stack protector"
# It answers --version without a display, as the package's version.
env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version | grep -Fqx "kov-rate-calculator $version" ||
  fail "the program does not answer --version with $version"

# lintian, where installed, finds nothing to warn of. A package built
# without a Maintainer set carries a stand-in address, which only the
# builder can mend: that alone is let pass. The last line says which of
# the three ways the check ran.
lintian_ran="lintian not installed, not run"
if command -v lintian >/dev/null; then
  suppress=()
  lintian_ran="lintian found nothing"
  if [ "$maintainer" = "KOV Rate Calculator developers <nobody@invalid>" ]; then
    suppress=(--suppress-tags "bogus-mail-host,bogus-mail-host-in-debian-changelog")
    lintian_ran="lintian found nothing, not asked about the stand-in Maintainer (bogus-mail-host):"
    lintian_ran+=" configure with DEBEMAIL=\"Name <address>\" set to have it checked too"
  fi
  verdict=$(lintian -EIL +pedantic "${suppress[@]}" "$deb" 2>&1 | grep -v 'root privileges' || true)
  ! grep -Eq '^[EW]: ' <<<"$verdict" || fail "lintian: $verdict"
fi
echo "the package carries the program, its files, its documents and its dependencies; $lintian_ran"
