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
# Wine's own messages go to the prefix's log (wine_prefix_log); the terminal
# gets a line before and after, with the prefix's size, or where to look.
prepare_wine_prefix() {
  local stamp="$WINEPREFIX/.kovratecalc-prepared"
  if [ "$(cat "$stamp" 2>/dev/null)" = "$RATECALC_PREFIX_VERSION" ]; then return 0; fi
  echo "Preparing the Wine prefix $WINEPREFIX (once; its size is in docs/measurements.md)..."
  mkdir -p "$WINEPREFIX"
  local log
  log=$(wine_prefix_log)
  prefix_step env WINEDEBUG=-all "$RATECALC_WINE" wineboot -i || return 1
  prefix_step wineserver -w || return 1

  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  prefix_step cp /usr/share/wine/fonts/sserife.fon /usr/share/wine/fonts/marlett.ttf "$fonts/" ||
    return 1

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
  opener_windows=$(WINEDEBUG=-all "$RATECALC_WINE" winepath -w "$opener" 2>>"$log" | tr -d '\r')
  if [ -z "$opener_windows" ]; then
    echo "Preparing the Wine prefix failed: Wine found no Windows path for $opener" >&2
    echo "Wine's messages are in $log" >&2
    return 1
  fi
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
  prefix_step env WINEDEBUG=-all "$RATECALC_WINE" regedit /S "$settings" || return 1
  prefix_step wineserver -w || return 1
  rm -f "$settings"
  echo "$RATECALC_PREFIX_VERSION" >"$stamp"
  local kilobytes
  kilobytes=$(du -sk "$WINEPREFIX" | cut -f1)
  echo "The Wine prefix is ready: $((kilobytes / 1024)) MB in $WINEPREFIX."
}

# Runs one step of the preparation with its messages in the log; a failure
# says where they are.
prefix_step() {
  local log
  log=$(wine_prefix_log)
  "$@" >>"$log" 2>&1 && return 0
  echo "Preparing the Wine prefix failed in: $*" >&2
  echo "Wine's messages are in $log" >&2
  return 1
}

# Where the scripts keep what Wine and the tools they start have to say, so
# that the terminal shows only what the user needs to know.
wine_prefix_log() {
  printf '%s\n' "$WINEPREFIX/kovratecalc.log"
}
