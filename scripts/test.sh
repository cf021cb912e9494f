#!/usr/bin/env bash
# Sets the machine up, builds every flavour and runs every test:
#   1. Linux build, all tests (unit tests and the loop-device end-to-end test)
#   2. Linux build with AddressSanitizer + UBSan, all tests
#   3. Linux build with ThreadSanitizer, the engine tests
#   4. Windows x64 cross build (MinGW-w64), all tests under Wine
# Stops at the first failure and says which stage failed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}

bash scripts/setup.sh

stage() { printf '\n==== %s ====\n' "$*"; }

# Every build here treats warnings as errors (a packager's build does not).
configure_and_build() {  # DIR [cmake args...]
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DGM_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

stage "Linux build and tests"
configure_and_build build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build/linux --output-on-failure -j "$JOBS" --timeout 900

stage "Linux tests under AddressSanitizer + UBSan"
configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DGM_SANITIZE=address
# The long tests (label "long") ran natively above; under the sanitizers
# they would take far longer and find nothing the short ones do not.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$JOBS" --timeout 900 -LE long

stage "Engine and job runner tests under ThreadSanitizer"
cmake -S "$ROOT" -B build/tsan -G Ninja -DGM_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGM_SANITIZE=thread >/dev/null
cmake --build build/tsan -j "$JOBS" --target engine_tests jobs_tests
# Newer kernels randomise mappings more than this TSan runtime accepts;
# setarch -R turns address randomisation off for the test run only.
for program in engine/engine_tests jobs/jobs_tests; do
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 setarch "$(uname -m)" -R "build/tsan/tests/$program" \
    --gtest_filter=-Long*
done

stage "Windows build and tests under Wine"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh "$ROOT/build/windows/wineprefix"
configure_and_build build/windows -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
# The window test opens real windows: a virtual X display of our own for the
# whole stage, there before Wine's desktop process starts.
XVFB_PID=
if command -v Xvfb >/dev/null 2>&1; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    sleep 1
    break
  done
fi
# One Wine server and its services for all test programs, started here with
# no terminal or pipe of ours: services that a test program started would
# inherit CTest's output pipe and keep it open after the program ended.
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true; [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true' EXIT
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir build/windows --output-on-failure --timeout 600

stage "All tests passed"
