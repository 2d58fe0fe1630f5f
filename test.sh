#!/usr/bin/env bash
# Builds every preset and runs every test suite: native, under the
# sanitizers, and the i686 build under Wine on a virtual display.
# Ends non-zero on the first failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$root"
# shellcheck source=scripts/packages.sh
. scripts/packages.sh
# shellcheck source=scripts/wine_prefix.sh
. scripts/wine_prefix.sh

mapfile -t windows < <(windows_packages test)
require_packages g++ libgtest-dev libbenchmark-dev clang libclang-rt-14-dev "${windows[@]}" \
  xvfb xdotool imagemagick x11-utils libchm-bin zip tesseract-ocr \
  qt6-base-dev openbox dpkg-dev file

jobs="$(nproc)"
# Only what this script made is removed or stopped: a WINEPREFIX the user
# exported (run.sh's documentation suggests one) is never touched.
test_prefix=""
cleanup() {
  if [ -n "${fuzz_dir:-}" ]; then rm -rf "$fuzz_dir"; fi
  if [ -n "$test_prefix" ]; then
    WINEPREFIX="$test_prefix" wineserver -k 2>/dev/null || true
    rm -rf "$test_prefix"
  fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# Configures, builds (plus any extra targets named) and runs the suites.
run_preset() {
  local preset="$1"
  shift
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" >/dev/null
  for target in "$@"; do cmake --build --preset "$preset" --target "$target" >/dev/null; done
  ctest --preset "$preset"
}

run_preset native
build/native/bench/value_text_bench --benchmark_min_time=0.001 >/dev/null 2>&1
run_preset native-asan

# The Linux program on Qt 6: its window driven in-process, its .deb read and
# unpacked, and the unpacked program on a display of its own with openbox.
run_preset linux

echo "== fuzz (settings reader, 60 s)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" >/dev/null
fuzz_dir="$(mktemp -d)"
mkdir "$fuzz_dir/corpus"
(cd "$fuzz_dir" && "$root/build/fuzz/tests/fuzz/settings_fuzz" -max_total_time=60 -max_len=4096 \
  -dict="$root/tests/fuzz/settings.dict" corpus "$root/tests/fuzz/corpus" >fuzz.log 2>&1) || { tail -40 "$fuzz_dir/fuzz.log"; exit 1; }
tail -1 "$fuzz_dir/fuzz.log"
rm -rf "$fuzz_dir"
fuzz_dir=""

# A virtual display of our own unless one is given, and a Wine prefix that
# nothing on this machine has touched.
if [ -z "${DISPLAY:-}" ]; then
  display_number=""
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display_number=$n; break; }
  done
  if [ -z "$display_number" ]; then
    echo "No free X display number from :90 to :130 for the virtual display." >&2
    echo "Stop an unused Xvfb, or run with DISPLAY set to a display of your own." >&2
    exit 1
  fi
  Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display_number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

# Wine runs the released i686 program wherever the host can start 32-bit
# programs. Some virtual machines cannot; there the same sources built for
# x86-64 carry the Windows suites, and the i686 release is still built.
choose_wine
windows_preset=$RATECALC_PRESET
[ "$windows_preset" = win32 ] ||
  echo "This host cannot start 32-bit programs: the Windows suites run on the x86-64 build."
# A prefix that nothing on this machine has touched, prepared as run.sh
# prepares the user's, so that the tests see what users see.
test_prefix="$(mktemp -d /tmp/ratecalc-wine.XXXXXX)"
export WINEPREFIX="$test_prefix" WINEDEBUG=-all
prepare_wine_prefix
# Wine draws the window frames itself, so screenshots show the captions even
# on a display without a window manager.
"$RATECALC_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w

run_preset "$windows_preset"
# The released program's size and its floating-point flags need no Wine.
if [ "$windows_preset" != win32 ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$jobs" --target KOVRateCalc >/dev/null
  ctest --preset win32 -R '^(program_size|sse2_flags_.*)$'
fi
# Without Wine for i686, the i686 arithmetic is shown by the engine's own
# suite built for 32-bit x86 Linux with the same flags, under qemu.
if [ "$windows_preset" != win32 ]; then run_preset linux-i686; fi
echo "== reproducible release (two more builds)"
tests/release/reproducible.sh
echo "All test suites passed."
