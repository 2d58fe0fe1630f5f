# shellcheck shell=bash
# Sourced by run.sh and test.sh: picks the Wine loader this host can run and
# prepares a Wine prefix so that the calculator looks and helps as it does on
# Windows. Preparing takes a while the first time; a stamp in the prefix
# makes every later start skip it.

# What the preparation does; a prefix stamped with another version is
# prepared again.
RATECALC_PREFIX_VERSION="kovratecalc-prefix 2"

# Sets RATECALC_WINE (the loader), RATECALC_PRESET (the build it runs) and,
# for a prefix still to be made, WINEARCH. The released program is 32-bit;
# hosts that cannot start 32-bit programs run the same sources built for
# x86-64. Decided as the packages were (host_runs_32bit in
# scripts/packages.sh), so that the Wine chosen is the one installed.
choose_wine() {
  if host_runs_32bit; then
    RATECALC_WINE=/usr/lib/wine/wine RATECALC_PRESET=win32 WINEARCH=win32
  else
    RATECALC_WINE=/usr/lib/wine/wine64 RATECALC_PRESET=win64 WINEARCH=win64
  fi
  export RATECALC_WINE RATECALC_PRESET WINEARCH
}

# Prepares $WINEPREFIX (made if missing) once:
# - the dialog font: Wine's own "MS Sans Serif" (sserife.fon) and Marlett,
#   from Debian's fonts-wine, copied into the prefix: Debian's Wine does not
#   find its own font folder, so without them it draws the templates in a
#   wider host font and the caption buttons as letters;
# - F1: KOVRateCalc.chm opens in the host's xchm, through the file type's
#   "open" command, as the shell on Windows opens it in the help viewer
#   (Wine's own viewer needs an HTML engine that Debian does not ship).
prepare_wine_prefix() {
  local stamp="$WINEPREFIX/.kovratecalc-prepared"
  if [ "$(cat "$stamp" 2>/dev/null)" = "$RATECALC_PREFIX_VERSION" ]; then return 0; fi
  echo "Preparing the Wine prefix $WINEPREFIX (once)..."
  mkdir -p "$WINEPREFIX"
  WINEDEBUG=-all "$RATECALC_WINE" wineboot -i >/dev/null 2>&1
  wineserver -w

  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/sserife.fon /usr/share/wine/fonts/marlett.ttf "$fonts/"

  local opener="$WINEPREFIX/kovratecalc-open-help"
  cat >"$opener" <<'EOF'
#!/bin/sh
# Opens a help file that Wine's shell hands over with its Windows path: the
# prefix's drive links, beside this script, lead to the same file.
prefix=$(cd "$(dirname "$0")" && pwd -P)
file="$1"
case "$file" in
  [A-Za-z]:\\*)
    drive=$(printf '%s' "${file%%:*}" | tr 'A-Z' 'a-z')
    file="$prefix/dosdevices/$drive:$(printf '%s' "${file#?:}" | tr '\\' /)" ;;
esac
exec /usr/bin/xchm "$file"
EOF
  chmod +x "$opener"
  local opener_windows
  opener_windows=$(WINEDEBUG=-all "$RATECALC_WINE" winepath -w "$opener" 2>/dev/null | tr -d '\r')
  opener_windows=${opener_windows//\\/\\\\}

  local settings="$WINEPREFIX/kovratecalc.reg"
  cat >"$settings" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]
"MS Sans Serif"="sserife.fon"
"Marlett (TrueType)"="marlett.ttf"

[HKEY_CLASSES_ROOT\\.chm]
@="chm.file"

[HKEY_CLASSES_ROOT\\chm.file\\shell\\open\\command]
@="\\"$opener_windows\\" \\"%1\\""
EOF
  WINEDEBUG=-all "$RATECALC_WINE" regedit /S "$settings" >/dev/null 2>&1
  wineserver -w
  rm -f "$settings"
  echo "$RATECALC_PREFIX_VERSION" >"$stamp"
}
