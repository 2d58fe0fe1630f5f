# shellcheck shell=bash
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

# Whether this host can start 32-bit x86 programs, as the released program
# and 32-bit Wine are. Some virtual machines cannot, and Wine cannot be asked
# before it is installed, so a 96-byte 32-bit Linux program that only exits
# with code 42 is started instead. It is written into the build folder,
# which has to allow running programs anyway. The answer is kept.
host_runs_32bit() {
  if [ -z "${RATECALC_HOST_32BIT:-}" ]; then
    local folder probe
    folder="$(dirname "${BASH_SOURCE[0]}")/../build"
    mkdir -p "$folder"
    probe=$(mktemp "$folder/probe-32bit.XXXXXX")
    # ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10%b%b%b%b%b' \
      '\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0' \
      '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10' \
      '\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' \
      '\270\1\0\0\0\273\52\0\0\0' '\315\200' >"$probe"
    chmod +x "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    if [ "$rc" -eq 42 ]; then RATECALC_HOST_32BIT=yes; else RATECALC_HOST_32BIT=no; fi
    export RATECALC_HOST_32BIT
  fi
  [ "$RATECALC_HOST_32BIT" = yes ]
}

# What building and running the Windows program needs on this host: the
# help compiler; the MinGW compiler and the Wine for the build this host runs (see
# choose_wine in scripts/wine_prefix.sh); and what the prefix preparation
# puts into a prefix, Wine's own fonts and the host's help viewer.
# Usage: windows_packages run|test, "test" adding what the test suites need
# beyond run.sh (GoogleTest's sources, which the Windows suites are built
# from, among them). Prints one package a line.
windows_packages() {
  printf '%s\n' cmake make fp-utils wine fonts-wine xchm
  if [ "$1" = test ]; then printf '%s\n' googletest; fi
  if host_runs_32bit; then
    printf '%s\n' g++-mingw-w64-i686 binutils-mingw-w64-i686 wine32:i386
  else
    # The x86-64 build under 64-bit Wine carries the program and its suites
    # instead; the tests still build the i686 release, and run the engine's
    # suite as 32-bit Linux code under qemu.
    printf '%s\n' g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
    if [ "$1" = test ]; then
      printf '%s\n' g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-multilib qemu-user-static
    fi
  fi
}

# The sanitizers' and libFuzzer's runtime for the installed clang: its
# package carries clang's major version (libclang-rt-14-dev with Debian 12's
# clang 14).
clang_runtime_package() {
  local version
  version=$(clang -dumpversion) || return 1
  printf 'libclang-rt-%s-dev\n' "${version%%.*}"
}
