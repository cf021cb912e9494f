#!/usr/bin/env bash
# Read benchmark: `gravelmoor-cli read` of a loop device against `dd` (the
# copy alone) and `md5sum` (the digest alone) on the same data in one run.
# See bench/README.md. Needs root (losetup) and /usr/bin/time (package `time`).
set -Eeuo pipefail

usage() {
  cat <<'EOF'
Usage: bench/read_bench.sh [options]
  --cli PATH     gravelmoor-cli to measure
                 (default: BUILD-DIR/cli/gravelmoor-cli, built with cmake if missing)
  --build-dir D  build tree for the default CLI (default: build/linux)
  --size BYTES   size of the loop device; K/M/G suffixes are powers of 1024
                 (default: 1G; must be a multiple of 512)
  --runs N       runs of each tool, interleaved; the best time counts (default: 3)
  --buffer MIB   pass --buffer MIB to the CLI (pool of MIB blocks of 1 MiB;
                 the CLI's default is 16)
  --strict       exit 3 when a target is missed (otherwise only PASS/FAIL is printed)
  -h, --help     this text
Exit status: 0 done, 1 wrong result (digest or image differs, CLI failed),
2 usage or setup error, 3 a target missed with --strict.
EOF
}

readonly TARGET_RATIO=1.1
readonly RSS_SLACK_MIB=32
readonly DEFAULT_BLOCKS=16

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=""
BUILD_DIR=$ROOT/build/linux
SIZE_ARG=1G
RUNS=3
BUFFER=""
STRICT=0

die() { echo "read_bench: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --cli) [ $# -ge 2 ] || die "--cli needs a value"; CLI=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || die "--build-dir needs a value"; BUILD_DIR=$2; shift 2 ;;
    --size) [ $# -ge 2 ] || die "--size needs a value"; SIZE_ARG=$2; shift 2 ;;
    --runs) [ $# -ge 2 ] || die "--runs needs a value"; RUNS=$2; shift 2 ;;
    --buffer) [ $# -ge 2 ] || die "--buffer needs a value"; BUFFER=$2; shift 2 ;;
    --strict) STRICT=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done

SIZE=$(numfmt --from=iec "$SIZE_ARG" 2>/dev/null) || die "bad --size: $SIZE_ARG"
if [ "$SIZE" -le 0 ] || [ $(( SIZE % 512 )) -ne 0 ]; then
  die "--size must be a positive multiple of 512"
fi
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "bad --runs: $RUNS"
if [ -n "$BUFFER" ]; then
  [[ $BUFFER =~ ^[1-9][0-9]*$ ]] || die "bad --buffer: $BUFFER"
fi

[ "$(id -u)" -eq 0 ] || die "needs root (losetup)"
for tool in losetup blockdev dd md5sum cmp numfmt; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed"
done
[ -x /usr/bin/time ] || die "/usr/bin/time is missing (Debian package 'time'; scripts/setup.sh installs it)"

if [ -z "$CLI" ]; then
  CLI=$BUILD_DIR/cli/gravelmoor-cli
  if [ ! -x "$CLI" ]; then
    echo "building $CLI ..."
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
      cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target gravelmoor-cli
  fi
fi
[ -x "$CLI" ] || die "not an executable: $CLI"

# Times of an unoptimised or instrumented build say nothing about the product.
BUILD_INFO="unknown (no CMakeCache.txt beside the binary)"
CACHE=$(dirname "$CLI")/../CMakeCache.txt
if [ -f "$CACHE" ]; then
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$CACHE")
  sanitize=$(sed -n 's/^GM_SANITIZE:STRING=//p' "$CACHE")
  BUILD_INFO="${build_type:-no build type}, sanitizers: ${sanitize:-none}"
  case ${build_type:-} in
    Release|RelWithDebInfo|MinSizeRel) ;;
    *) BUILD_INFO="$BUILD_INFO  (WARNING: not an optimised build)" ;;
  esac
  if [ -n "$sanitize" ] && [ "$sanitize" != none ]; then
    BUILD_INFO="$BUILD_INFO  (WARNING: sanitizer build)"
  fi
fi

# Backing file, dd's image and the CLI's image all live in /dev/shm.
need=$(( 3 * SIZE + 64 * 1024 * 1024 ))
avail=$(df --output=avail -B1 /dev/shm | tail -n 1 | tr -d ' ')
[ "$avail" -ge "$need" ] || die "/dev/shm has $avail bytes free, needs $need"

SCRATCH_NAME=read_bench
SCRATCH_FAIL=2
# shellcheck source=scripts/scratch.sh
source "$ROOT/scripts/scratch.sh"

WORK=$(mktemp -d /dev/shm/gm-read-bench.XXXXXX)
BACKING=$WORK/backing.bin
IMG=$WORK/dd.img
IMG2=$WORK/cli.img

echo "filling $(numfmt --to=iec "$SIZE") of random data ..."
if [ "$SIZE" -lt 2147483648 ] && command -v openssl >/dev/null 2>&1; then
  openssl rand -out "$BACKING" "$SIZE"
else
  head -c "$SIZE" /dev/urandom >"$BACKING"
fi
[ "$(stat -c %s "$BACKING")" -eq "$SIZE" ] || die "backing file has the wrong size"

LOOP_DEV=$(losetup --find --show "$BACKING")
DEV_SIZE=$(blockdev --getsize64 "$LOOP_DEV")
[ "$DEV_SIZE" -eq "$SIZE" ] || die "$LOOP_DEV is $DEV_SIZE bytes, expected $SIZE"

CLI_ARGS=(read --yes)
BLOCKS=$DEFAULT_BLOCKS
if [ -n "$BUFFER" ]; then
  CLI_ARGS+=(--buffer "$BUFFER")
  [ "$BUFFER" -gt "$BLOCKS" ] && BLOCKS=$BUFFER
fi

echo "device:  $LOOP_DEV ($DEV_SIZE bytes, backed by /dev/shm)"
echo "cli:     $CLI ${CLI_ARGS[*]} $LOOP_DEV IMG2"
echo "build:   $BUILD_INFO"
echo "runs:    $RUNS of each tool, interleaved, best time counts"
echo

# timed NAME RUN CMD...: runs CMD under /usr/bin/time -v, stdout and stderr
# to $WORK/NAME.RUN.{out,err}; sets T to the wall time in seconds. The
# command runs in the background so that INT and TERM reach this script.
timed() {
  local name=$1 run=$2 t0 t1 rc=0
  shift 2
  t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$WORK/$name.$run.time" "$@" \
    </dev/null >"$WORK/$name.$run.out" 2>"$WORK/$name.$run.err" &
  CHILD_PID=$!
  wait "$CHILD_PID" || rc=$?
  t1=$EPOCHREALTIME
  CHILD_PID=""
  if [ "$rc" -ne 0 ]; then
    echo "read_bench: $name (run $run) failed with exit status $rc:" >&2
    sed 's/^/  /' "$WORK/$name.$run.out" "$WORK/$name.$run.err" >&2
    exit 1
  fi
  T=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}

max_rss_kib() {
  sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$1"
}

# User + system CPU seconds from a /usr/bin/time -v report.
cpu_seconds() {
  awk -F': ' '/^[[:space:]]*(User|System) time \(seconds\)/ { s += $2 } END { printf "%.2f", s }' "$1"
}

declare -A BEST=()
declare -A BEST_CPU=()
declare -A TIMES=()
CLI_RSS_KIB=0
REF_MD5=""
WRONG=0
TOOLS=(dd md5sum cli)

for (( run = 1; run <= RUNS; run++ )); do
  # Rotate the order so that no tool always runs first or last.
  for (( k = 0; k < 3; k++ )); do
    tool=${TOOLS[$(( (run - 1 + k) % 3 ))]}
    # md5sum reads dd's image, so dd runs first in the first round.
    if [ "$run" -eq 1 ]; then tool=${TOOLS[$k]}; fi
    case $tool in
      dd)
        rm -f -- "$IMG"
        timed dd "$run" dd if="$LOOP_DEV" of="$IMG" bs=1M iflag=direct
        ;;
      md5sum)
        timed md5sum "$run" md5sum "$IMG"
        sum=$(cut -d' ' -f1 "$WORK/md5sum.$run.out")
        if [ -z "$REF_MD5" ]; then
          REF_MD5=$sum
        elif [ "$sum" != "$REF_MD5" ]; then
          echo "read_bench: md5sum of dd's image changed between runs ($REF_MD5, $sum)" >&2
          WRONG=1
        fi
        ;;
      cli)
        rm -f -- "$IMG2"
        timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$LOOP_DEV" "$IMG2"
        rss=$(max_rss_kib "$WORK/cli.$run.time")
        [ "${rss:-0}" -gt "$CLI_RSS_KIB" ] && CLI_RSS_KIB=$rss
        ;;
    esac
    TIMES[$tool]="${TIMES[$tool]:-}${TIMES[$tool]:+ }$T"
    if [ -z "${BEST[$tool]:-}" ] || awk -v a="$T" -v b="${BEST[$tool]}" 'BEGIN { exit !(a < b) }'; then
      BEST[$tool]=$T
      BEST_CPU[$tool]=$(cpu_seconds "$WORK/$tool.$run.time")
    fi
  done
done

# The CLI's digest of every run against md5sum's digest of dd's image.
for (( run = 1; run <= RUNS; run++ )); do
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$WORK/cli.$run.out")
  if [ "$digest" != "$REF_MD5" ]; then
    echo "read_bench: run $run: CLI printed DISK MD5SUM='$digest', md5sum says $REF_MD5" >&2
    WRONG=1
  fi
done
if ! cmp -- "$IMG" "$IMG2" >"$WORK/cmp.out" 2>&1; then
  echo "read_bench: the CLI's image differs from dd's: $(cat "$WORK/cmp.out")" >&2
  WRONG=1
fi

mib_s() { awk -v s="$SIZE" -v t="$1" 'BEGIN { if (t > 0) printf "%.0f", s / 1048576 / t; else print "-" }'; }

# cpu: user + system seconds of the best run; above the wall time means the
# tool used more than one core.
printf '%-8s %10s %10s %9s   %s\n' tool "best (s)" "MiB/s" "cpu (s)" "all runs (s)"
for tool in "${TOOLS[@]}"; do
  printf '%-8s %10s %10s %9s   %s\n' "$tool" "${BEST[$tool]}" "$(mib_s "${BEST[$tool]}")" \
    "${BEST_CPU[$tool]}" "${TIMES[$tool]}"
done
echo

MISSED=0
RATIO=$(awk -v c="${BEST[cli]}" -v d="${BEST[dd]}" -v m="${BEST[md5sum]}" \
  'BEGIN { x = (d > m ? d : m); printf "%.3f", c / x }')
if awk -v r="$RATIO" -v t="$TARGET_RATIO" 'BEGIN { exit !(r <= t) }'; then
  verdict=PASS
else
  verdict=FAIL; MISSED=1
fi
echo "time:  cli / max(dd, md5sum) = $RATIO   (target <= $TARGET_RATIO)   $verdict"

LIMIT_MIB=$(( BLOCKS + RSS_SLACK_MIB ))
RSS_MIB=$(awk -v k="$CLI_RSS_KIB" 'BEGIN { printf "%.1f", k / 1024 }')
if [ "$CLI_RSS_KIB" -le $(( LIMIT_MIB * 1024 )) ]; then
  verdict=PASS
else
  verdict=FAIL; MISSED=1
fi
echo "rss:   cli peak = $RSS_MIB MiB   (limit $BLOCKS x 1 MiB pool + $RSS_SLACK_MIB MiB = $LIMIT_MIB MiB)   $verdict"

if [ "$WRONG" -ne 0 ]; then
  echo "digest: WRONG (see above)"
  exit 1
fi
echo "digest: cli = md5sum = $REF_MD5"
if [ "$STRICT" -eq 1 ] && [ "$MISSED" -ne 0 ]; then
  exit 3
fi
exit 0
