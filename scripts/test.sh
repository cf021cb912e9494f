#!/usr/bin/env bash
# Sets the machine up, builds every flavour and runs every test:
#   1. Linux build with AddressSanitizer + UBSan (-O1): every test, the
#      loop-device end-to-end tests and the 4 GiB streams among them
#   2. Linux build with ThreadSanitizer: the engine and job runner tests
#   3. Windows x64 cross build (MinGW-w64): both programs and the tests of
#      the Windows code (device, volume and window adapters, the run-time
#      zlib binding, the user's locale), run under Wine with the window test
#      and one end-to-end job; the portable code's tests ran in stage 1
# Stops at the first failure and says which stage failed. At the end, or at
# the failure, a table gives each stage's wall-clock and CPU seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}

# ---- stage clock ---------------------------------------------------------
STAGE_NAMES=()
STAGE_WALL=()
STAGE_CPU=()
STAGE=""
STAGE_T0=0
STAGE_C0=0
SCRIPT_T0=$(date +%s)
# CPU seconds (user + system, in clock ticks) of the finished child processes.
cpu_ticks() { awk '{ print $16 + $17 }' "/proc/$$/stat"; }
stage_end() {
  [ -n "$STAGE" ] || return 0
  STAGE_NAMES+=("$STAGE")
  STAGE_WALL+=($(($(date +%s) - STAGE_T0)))
  STAGE_CPU+=($((($(cpu_ticks) - STAGE_C0) / $(getconf CLK_TCK))))
  STAGE=""
}
stage() {
  stage_end
  printf '\n==== %s ====\n' "$*"
  STAGE=$*
  STAGE_T0=$(date +%s)
  STAGE_C0=$(cpu_ticks)
}
stage_table() {
  local failed=$STAGE i
  stage_end
  printf '\n%-44s %7s %7s\n' "stage" "wall s" "CPU s"
  for i in "${!STAGE_NAMES[@]}"; do
    printf '%-44s %7d %7d\n' "${STAGE_NAMES[$i]}" "${STAGE_WALL[$i]}" "${STAGE_CPU[$i]}"
  done
  printf '%-44s %7d\n' "total" "$(($(date +%s) - SCRIPT_T0))"
  [ -z "$failed" ] || printf 'FAILED in stage: %s\n' "$failed"
}

XVFB_PID=
WINE_STARTED=
on_exit() {
  local rc=$?
  if [ -n "$WINE_STARTED" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  [ "$rc" -eq 0 ] && STAGE=""
  stage_table
}
trap on_exit EXIT

# Every build here treats warnings as errors (a packager's build does not),
# and compiles the libraries as unity builds.
configure_and_build() {  # DIR [cmake args...] [-- targets...]
  local dir=$1 args=() targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S "$ROOT" -B "$dir" -G Ninja -DGM_WERROR=ON -DGM_UNITY=ON "${args[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j "$JOBS" --target "${targets[@]}"
  else
    cmake --build "$dir" -j "$JOBS"
  fi
}

stage "set-up (packages)"
bash scripts/setup.sh

# ---- 1. Linux, AddressSanitizer + UBSan ----------------------------------
# The one native build: -O1 keeps the sanitizers' cost low both to compile
# and to run, -g1 gives their reports file and line.
stage "Linux ASan+UBSan: build"
configure_and_build build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DGM_SANITIZE=address
stage "Linux ASan+UBSan: tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$JOBS" --timeout 900

# ---- 2. Linux, ThreadSanitizer --------------------------------------------
stage "Linux TSan: build engine and job tests"
configure_and_build build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DGM_SANITIZE=thread -- engine_tests jobs_tests
stage "Linux TSan: tests"
# Newer kernels randomise mappings more than this TSan runtime accepts;
# setarch -R turns address randomisation off for the test run only. The
# engine tests run as two shards beside the job tests, each into its own
# log, shown when it fails. The device adapters' loop-device tests start no
# threads of their own: the native build ran them.
tsan_runs=("engine_tests 0" "engine_tests 1" "jobs_tests 0")
tsan_pids=()
for run in "${tsan_runs[@]}"; do
  read -r program shard <<<"$run"
  shards=1
  [ "$program" = engine_tests ] && shards=2
  GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    setarch "$(uname -m)" -R "build/tsan/tests/${program%_tests}/$program" --gtest_filter='-Long*:Posix*' \
    >"build/tsan/$program.$shard.log" 2>&1 &
  tsan_pids+=($!)
done
tsan_failed=0
for i in "${!tsan_runs[@]}"; do
  read -r program shard <<<"${tsan_runs[$i]}"
  log="build/tsan/$program.$shard.log"
  if wait "${tsan_pids[$i]}"; then
    grep -E '^\[  (PASSED|SKIPPED) ' "$log" | sed "s/^/$program ($shard): /"
  else
    cat "$log"
    echo "$program (shard $shard) FAILED under ThreadSanitizer"
    tsan_failed=1
  fi
done
[ "$tsan_failed" -eq 0 ]

# ---- 3. Windows x64 (MinGW-w64) under Wine -------------------------------
stage "Windows: build"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh "$ROOT/build/windows/wineprefix"
configure_and_build build/windows -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" -DGM_PORTABLE_TESTS=OFF

stage "Windows: tests under Wine"
# The window test opens real windows: a virtual X display of our own for the
# whole stage, there before Wine's desktop process starts.
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
WINE_STARTED=1
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir build/windows --output-on-failure --timeout 600

stage_end
printf '\n==== All tests passed ====\n'
