#!/usr/bin/env bash
# Checksum benchmark: `gravelmoor-cli checksum` of a raw image against
# `md5sum IMAGE`, and of the same data gzip-compressed against
# `zcat IMAGE.gz | md5sum`, on the same data in one run. See bench/README.md.
# Needs /usr/bin/time (package `time`); no root.
set -Eeuo pipefail

usage() {
  cat <<'USAGE'
Usage: bench/checksum_bench.sh [options]
  --cli PATH     gravelmoor-cli to measure
                 (default: BUILD-DIR/cli/gravelmoor-cli, built with cmake if missing)
  --build-dir D  build tree for the default CLI (default: build/linux)
  --size BYTES   size of the raw image; K/M/G suffixes are powers of 1024
                 (default: 1G)
  --runs N       runs of each tool, interleaved; the best time counts (default: 3)
  --strict       exit 3 when a target is missed (otherwise only PASS/FAIL is printed)
  -h, --help     this text
Exit status: 0 done, 1 wrong result (a digest differs, a tool failed),
2 usage or setup error, 3 a target missed with --strict.
USAGE
}

readonly TARGET_RATIO=1.1
readonly RSS_SLACK_MIB=32
readonly POOL_BLOCKS=4  # the checksum task's pool: 4 blocks of 1 MiB

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=""
BUILD_DIR=$ROOT/build/linux
SIZE_ARG=1G
RUNS=3
STRICT=0

die() { echo "checksum_bench: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --cli) [ $# -ge 2 ] || die "--cli needs a value"; CLI=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || die "--build-dir needs a value"; BUILD_DIR=$2; shift 2 ;;
    --size) [ $# -ge 2 ] || die "--size needs a value"; SIZE_ARG=$2; shift 2 ;;
    --runs) [ $# -ge 2 ] || die "--runs needs a value"; RUNS=$2; shift 2 ;;
    --strict) STRICT=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done

SIZE=$(numfmt --from=iec "$SIZE_ARG" 2>/dev/null) || die "bad --size: $SIZE_ARG"
[ "$SIZE" -gt 0 ] || die "--size must be positive"
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "bad --runs: $RUNS"
for tool in md5sum gzip zcat numfmt openssl; do
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

# The raw image and its compressed copy both live in /dev/shm.
need=$(( 2 * SIZE + 64 * 1024 * 1024 ))
avail=$(df --output=avail -B1 /dev/shm | tail -n 1 | tr -d ' ')
[ "$avail" -ge "$need" ] || die "/dev/shm has $avail bytes free, needs $need"

SCRATCH_NAME=checksum_bench
SCRATCH_FAIL=2
# shellcheck source=scripts/scratch.sh
source "$ROOT/scripts/scratch.sh"

WORK=$(mktemp -d /dev/shm/gm-checksum-bench.XXXXXX)
RAW=$WORK/image.gmi
GZ=$WORK/image.gz

# Like a used drive: half random (incompressible) data, half text, in
# 64 MiB stretches that alternate, so the inflate side meets both kinds.
echo "filling $(numfmt --to=iec "$SIZE") of data (half random, half text) ..."
chunk=$(( 64 * 1024 * 1024 ))
left=$SIZE
n=0
: >"$RAW"
while [ "$left" -gt 0 ]; do
  this=$(( left < chunk ? left : chunk ))
  if [ $(( n % 2 )) -eq 0 ]; then
    openssl rand "$this" >>"$RAW"
  else
    seq -f 'sector %012g of a text file system, nothing but words and numbers' 1 "$(( this / 40 + 1 ))" |
      head -c "$this" >>"$RAW" || true
  fi
  left=$(( left - this ))
  n=$(( n + 1 ))
done
[ "$(stat -c %s "$RAW")" -eq "$SIZE" ] || die "the image has the wrong size"
# -n: no name or time in the header, as a compressed image has it.
echo "compressing it with gzip -6 -n ..."
gzip -6 -n -c "$RAW" >"$GZ"
GZ_SIZE=$(stat -c %s "$GZ")

echo "raw:     $RAW ($SIZE bytes)"
echo "gz:      $GZ ($GZ_SIZE bytes, gzip -6 -n)"
echo "cli:     $CLI checksum [--compress] IMAGE"
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
    echo "checksum_bench: $name (run $run) failed with exit status $rc:" >&2
    sed 's/^/  /' "$WORK/$name.$run.out" "$WORK/$name.$run.err" >&2
    exit 1
  fi
  T=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}

max_rss_kib() {
  sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$1"
}

cpu_seconds() {
  awk -F': ' '/^[[:space:]]*(User|System) time \(seconds\)/ { s += $2 } END { printf "%.2f", s }' "$1"
}

declare -A BEST=()
declare -A BEST_CPU=()
declare -A TIMES=()
declare -A RSS_KIB=([cli-raw]=0 [cli-gz]=0)
REF_MD5=$(md5sum "$RAW" | cut -c1-32)
WRONG=0
TOOLS=(md5sum cli-raw zcat cli-gz)

# check_digest NAME RUN DIGEST: the digest a tool printed against md5sum's.
check_digest() {
  if [ "$3" != "$REF_MD5" ]; then
    echo "checksum_bench: $1 (run $2) gave '$3', md5sum of the raw image is $REF_MD5" >&2
    WRONG=1
  fi
}

for (( run = 1; run <= RUNS; run++ )); do
  # Rotate the order so that no tool always runs first or last.
  for (( k = 0; k < ${#TOOLS[@]}; k++ )); do
    tool=${TOOLS[$(( (run - 1 + k) % ${#TOOLS[@]} ))]}
    case $tool in
      md5sum)
        timed "$tool" "$run" md5sum "$RAW"
        check_digest "$tool" "$run" "$(cut -c1-32 "$WORK/$tool.$run.out")"
        ;;
      zcat)
        timed "$tool" "$run" bash -c 'set -o pipefail; zcat "$1" | md5sum' zcat "$GZ"
        check_digest "$tool" "$run" "$(cut -c1-32 "$WORK/$tool.$run.out")"
        ;;
      cli-raw|cli-gz)
        if [ "$tool" = cli-raw ]; then image=$RAW; opt=--no-compress; else image=$GZ; opt=--compress; fi
        timed "$tool" "$run" "$CLI" checksum "$opt" "$image"
        check_digest "$tool" "$run" "$(sed -n 's/^IMAGE MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$WORK/$tool.$run.out")"
        rss=$(max_rss_kib "$WORK/$tool.$run.time")
        [ "${rss:-0}" -gt "${RSS_KIB[$tool]}" ] && RSS_KIB[$tool]=$rss
        ;;
    esac
    TIMES[$tool]="${TIMES[$tool]:-}${TIMES[$tool]:+ }$T"
    if [ -z "${BEST[$tool]:-}" ] || awk -v a="$T" -v b="${BEST[$tool]}" 'BEGIN { exit !(a < b) }'; then
      BEST[$tool]=$T
      BEST_CPU[$tool]=$(cpu_seconds "$WORK/$tool.$run.time")
    fi
  done
done

mib_s() { awk -v s="$SIZE" -v t="$1" 'BEGIN { if (t > 0) printf "%.0f", s / 1048576 / t; else print "-" }'; }

# MiB/s are of the raw data in both cases; cpu: user + system seconds of
# the best run (above the wall time: more than one core was used).
printf '%-8s %10s %10s %9s   %s\n' tool "best (s)" "MiB/s" "cpu (s)" "all runs (s)"
for tool in "${TOOLS[@]}"; do
  printf '%-8s %10s %10s %9s   %s\n' "$tool" "${BEST[$tool]}" "$(mib_s "${BEST[$tool]}")" \
    "${BEST_CPU[$tool]}" "${TIMES[$tool]}"
done
echo

MISSED=0
# verdict LABEL CLI-TOOL REFERENCE-TOOL
verdict() {
  local ratio result
  ratio=$(awk -v c="${BEST[$2]}" -v r="${BEST[$3]}" 'BEGIN { printf "%.3f", c / r }')
  if awk -v r="$ratio" -v t="$TARGET_RATIO" 'BEGIN { exit !(r <= t) }'; then result=PASS; else result=FAIL; MISSED=1; fi
  printf '%-6s %s / %s = %s   (target <= %s)   %s\n' "$1" "$2" "$3" "$ratio" "$TARGET_RATIO" "$result"
}
verdict "raw:" cli-raw md5sum
verdict "gz:" cli-gz zcat

LIMIT_MIB=$(( POOL_BLOCKS + RSS_SLACK_MIB ))
for tool in cli-raw cli-gz; do
  rss_mib=$(awk -v k="${RSS_KIB[$tool]}" 'BEGIN { printf "%.1f", k / 1024 }')
  if [ "${RSS_KIB[$tool]}" -le $(( LIMIT_MIB * 1024 )) ]; then result=PASS; else result=FAIL; MISSED=1; fi
  echo "rss:   $tool peak = $rss_mib MiB   (limit $POOL_BLOCKS x 1 MiB pool + $RSS_SLACK_MIB MiB = $LIMIT_MIB MiB)   $result"
done

if [ "$WRONG" -ne 0 ]; then
  echo "digest: WRONG (see above)"
  exit 1
fi
echo "digest: cli (raw and gz) = md5sum = zcat | md5sum = $REF_MD5"
if [ "$STRICT" -eq 1 ] && [ "$MISSED" -ne 0 ]; then
  exit 3
fi
exit 0
