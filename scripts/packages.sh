# Sourced by run.sh and test.sh: installs the Debian packages a script needs,
# or, without root, prints the one command that would.

# Packages given as name or name:arch; prints those not installed.
missing_packages() {
  local pkg
  for pkg in "$@"; do
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
      printf '%s\n' "$pkg"
    fi
  done
}

require_packages() {
  local missing
  missing=$(missing_packages "$@" | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0

  local needs_i386=0
  case " $missing" in *:i386*) needs_i386=1 ;; esac
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: $missing" >&2
    echo "Install them as root with:" >&2
    if [ "$needs_i386" -eq 1 ]; then
      echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y $missing" >&2
    else
      echo "  apt-get update && apt-get install -y $missing" >&2
    fi
    exit 1
  fi
  echo "Installing: $missing"
  if [ "$needs_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq $missing >/dev/null
}

# The cross toolchains and the Windows runtime that run.sh and the Wine tests
# need; the x86-64 ones serve hosts that cannot start 32-bit programs.
WIN32_PACKAGES=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 wine wine32:i386 wine64)

# What scripts/wine_prefix.sh puts into a prefix: Wine's own fonts and the
# host's help viewer.
WINE_PREFIX_PACKAGES=(fonts-wine xchm)
