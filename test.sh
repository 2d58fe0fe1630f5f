#!/usr/bin/env bash
# Builds every preset and runs every test suite: native, under the
# sanitizers, and the i686 build under Wine on a virtual display.
# One line per stage, with its time; what the tools print goes to a log per
# stage in build/logs, and a failing stage shows that log's end and its
# path. Ends non-zero on the first failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

usage() {
  cat <<'USAGE'
Usage: ./test.sh [--help]

Builds every preset of the calculator and runs every test suite: the engine
and settings natively and under the sanitizers, the Linux program and its
.deb, the settings fuzzer for 60 s, the Windows program under Wine on a
virtual display of its own, the browser page under Node and in headless
Chromium, and the release built twice for identical bytes.
As root it first installs the Debian packages it needs; as another user it
prints the apt-get line to run.

Writes: build/ in this folder (the presets' build folders, and one log a
stage in build/logs), and in /tmp a throwaway Wine prefix and scratch
folders, both removed at the end. Nothing of yours is touched: a
WINEPREFIX you exported is neither used nor removed.

It prints one line per stage with its time; the last line counts the test
cases run ("N passed, 0 failed"). It stops at the first failure and shows
the end of that stage's log. Its last stage writes the times, counts and
sizes of the run into docs/measurements.md, where those of the last run
measured are, with the day, the machine and its load.
USAGE
}
# Any argument stops the run: --help asks for this text, anything else is
# a mistake that must not start a quarter of an hour of building.
case "$#:${1:-}" in
  0:) ;;
  *:-h | *:--help)
    usage
    exit 0
    ;;
  *)
    echo "test.sh: unknown option '$1'" >&2
    usage >&2
    exit 2
    ;;
esac

cd "$root"
# shellcheck source=scripts/packages.sh
. scripts/packages.sh
# shellcheck source=scripts/wine_prefix.sh
. scripts/wine_prefix.sh
# shellcheck source=scripts/virtual_display.sh
. scripts/virtual_display.sh

mapfile -t windows < <(windows_packages test)
require_packages g++ libgtest-dev libbenchmark-dev clang "${windows[@]}" \
  xvfb xdotool imagemagick x11-utils libchm-bin zip tesseract-ocr \
  qt6-base-dev openbox dpkg-dev file
# The sanitizers' and the fuzzer's runtime, for the clang just installed.
clang_runtime="$(clang_runtime_package)"
require_packages "$clang_runtime"

jobs="$(nproc)"
logs="$root/build/logs"
mkdir -p "$logs"
tests_passed=0
# The page: in the release zip, and its suites under Node.
require_packages emscripten nodejs googletest

# Only what this script made is removed or stopped: a WINEPREFIX the user
# exported (run.sh's documentation suggests one) is never touched.
test_prefix=""
cleanup() {
  if [ -n "${scratch:-}" ]; then rm -rf "$scratch"; fi
  if [ -n "$test_prefix" ]; then
    WINEPREFIX="$test_prefix" wineserver -k 2>/dev/null || true
    rm -rf "$test_prefix"
  fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
scratch="$(mktemp -d /tmp/ratecalc-test.XXXXXX)"
# This run's stages, kept apart until it has passed: a test.sh that a test
# starts must not mix its stages in.
stages="$scratch/stages.txt"

# Test cases in a log of `ctest --verbose`: a GoogleTest program's own count
# ("2: [  PASSED  ] 26 tests.", 2 being its CTest number), and one for any
# other test program that passed.
count_test_cases() {
  awk '
    /^[0-9]+: \[  PASSED  \] [0-9]+ tests?\.$/ { id = $1; sub(":", "", id); cases[id] = $5 }
    /Test +#[0-9]+: .* Passed +[0-9.]+ sec$/ {
      for (i = 1; i <= NF; i++) if ($i ~ /^#[0-9]+:$/) { id = substr($i, 2); sub(":", "", id); passed[id] = 1 }
    }
    END { for (id in passed) total += (id in cases) ? cases[id] : 1; print total + 0 }
  ' "$1"
}

# Runs one stage: "NAME ... ok, 12 s". Its output goes to its own log
# (last_log), whose end is shown, with the path, when it fails. A CTest run
# (with --verbose, for the counts) adds its test cases to the total. Errors
# inside a function run as a stage do not end it by themselves (set -e is
# off there): such functions chain their steps with &&.
stage() {
  local name="$1"
  shift
  local log="$logs/${name//[^A-Za-z0-9.-]/_}.log" start=$SECONDS
  last_log=$log
  printf '%s ... ' "$name"
  if ! "$@" >"$log" 2>&1; then
    echo "FAILED after $((SECONDS - start)) s; the end of its log:"
    tail -n 40 "$log" | sed 's/^/  | /'
    echo "The whole log: $log"
    exit 1
  fi
  local programs cases="${one_case:-}"
  programs=$(sed -n 's/^[0-9]*% tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' "$log")
  if [ -n "$programs" ]; then
    cases=$(count_test_cases "$log")
    tests_passed=$((tests_passed + cases))
    echo "ok, $cases test cases in $programs programs, $((SECONDS - start)) s"
  else
    echo "ok, $((SECONDS - start)) s"
  fi
  # For scripts/measure.sh: name, seconds, test cases, programs, load.
  printf '%s|%s|%s|%s|%s\n' "$name" "$((SECONDS - start))" "$cases" "$programs" \
    "$(cut -d' ' -f1 /proc/loadavg)" >>"$stages"
}

# A stage that is itself one test program (a script, the fuzzer): one case.
test_stage() {
  one_case=1 stage "$@"
  tests_passed=$((tests_passed + 1))
}

# Configures and builds a preset (plus any extra targets named) and runs
# its suites, a stage each.
run_preset() {
  local preset="$1"
  shift
  stage "$preset: configure" cmake --preset "$preset"
  stage "$preset: build" cmake --build --preset "$preset" -j "$jobs"
  for target in "$@"; do
    stage "$preset: build $target" cmake --build --preset "$preset" --target "$target"
  done
  stage "$preset: tests" ctest --preset "$preset" --verbose
}

run_preset native
stage "native: benchmarks run" build/native/bench/value_text_bench --benchmark_min_time=0.001
run_preset native-asan

# The Linux program on Qt 6: its window driven in-process, its .deb read and
# unpacked, and the unpacked program on a display of its own with openbox.
run_preset linux
sed -n 's/^[0-9]*: the package carries .*; \(lintian .*\)$/  \1/p' "$last_log"

# The fuzzer's own closing line is summed up: runs made, nothing found.
fuzz_settings_reader() {
  mkdir -p "$scratch/corpus" &&
    (cd "$scratch" && "$root/build/fuzz/tests/fuzz/settings_fuzz" -max_total_time=60 -max_len=4096 \
    -dict="$root/tests/fuzz/settings.dict" corpus "$root/tests/fuzz/corpus")
}
stage "fuzz: configure" cmake --preset fuzz
stage "fuzz: build" cmake --build --preset fuzz -j "$jobs"
test_stage "fuzz: settings reader, 60 s" fuzz_settings_reader
sed -n 's/^Done \([0-9]*\) runs in .*/  \1 inputs read, none failed/p' "$last_log"

# A virtual display of our own unless one is given, on a free number, and a
# Wine prefix that nothing on this machine has touched.
if [ -z "${DISPLAY:-}" ]; then stage "virtual display" start_virtual_display 1280x1024x24; fi

# Wine runs the released i686 program wherever the host can start 32-bit
# programs. Some virtual machines cannot; there the same sources built for
# x86-64 carry the Windows suites, and the i686 release is still built.
choose_wine
windows_preset=$RATECALC_PRESET
[ "$windows_preset" = win32 ] ||
  echo "This host cannot start 32-bit programs: the Windows suites run on the x86-64 build."

# A new prefix for every run, prepared as run.sh prepares the user's, so
# that the tests see what users see; removed at the end.
make_test_prefix() {
  # Wine draws the window frames itself, so screenshots show the captions
  # even on a display without a window manager.
  prepare_wine_prefix &&
    "$RATECALC_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
    wineserver -w
}
# Wine and the help viewer it starts are desktop programs of the host: they
# get a data folder of test.sh's own, which must stay as it was, so that
# nothing of the user's desktop data is touched. Wine's menu builder would
# otherwise add menu entries and file types there for the test prefix.
data_home="$scratch/data-home"
mkdir -p "$data_home"
export XDG_DATA_HOME="$data_home" WINEDLLOVERRIDES="winemenubuilder.exe=d"
test_prefix="$(mktemp -d /tmp/ratecalc-wine.XXXXXX)"
export WINEPREFIX="$test_prefix" WINEDEBUG=-all
stage "Wine prefix, new for this run" make_test_prefix
run_preset "$windows_preset"
untouched_data_home() {
  local written
  written=$(find "$data_home" -mindepth 1)
  [ -z "$written" ] || { echo "the Windows suites wrote into XDG_DATA_HOME: $written"; return 1; }
}
test_stage "$windows_preset: desktop data untouched" untouched_data_home

# The released program's size and its floating-point flags need no Wine.
if [ "$windows_preset" != win32 ]; then
  stage "win32: configure" cmake --preset win32
  stage "win32: build" cmake --build --preset win32 -j "$jobs" --target KOVRateCalc
  stage "win32: size and flags" ctest --preset win32 --verbose -R '^(program_size|sse2_flags_.*)$'
fi
# The page: the engine's suites in WebAssembly under Node, then the page in
# headless Chromium, which says SKIPPED where no browser could be installed.
(require_packages chromium chromium-driver python3-selenium) ||
  echo "web: Chromium or Selenium could not be installed; the page's browser tests are skipped."
run_preset web
if grep -q 'page_in_browser .*Skipped' "$last_log"; then
  echo "  the page's browser tests were SKIPPED: no headless Chromium with Selenium here"
fi

# Without Wine for i686, the i686 arithmetic is shown by the engine's own
# suite built for 32-bit x86 Linux with the same flags, under qemu.
if [ "$windows_preset" != win32 ]; then run_preset linux-i686; fi
test_stage "release: the README's command, twice, same bytes" tests/release/reproducible.sh
test_stage "release: a build without the help compiler" tests/release/no_help_compiler.sh
# The figures this run decided, into docs/measurements.md, while the Wine
# prefix is still there.
cp "$stages" "$logs/stages.txt"
stage "measurements" scripts/measure.sh --wine-prefix "$test_prefix"
echo "All test suites passed."
echo "$tests_passed passed, 0 failed"
