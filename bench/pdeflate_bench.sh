#!/usr/bin/env bash
# Compressed-image benchmark: `gravelmoor-cli read` of a loop device holding
# a file system of real files into a .gmz (digest included) against
# `pigz -6 -p N`, and `gravelmoor-cli write` of that .gmz to a second loop
# device against `pigz -d | dd`, on the same data in one run.
# See bench/README.md. Needs root (losetup, mount), pigz, gzip, mkfs.ext4.
set -Eeuo pipefail

usage() {
  cat <<'EOF'
Usage: bench/pdeflate_bench.sh [options] [THREADS]
  THREADS        compression threads of both tools (default: 2)
  --cli PATH     gravelmoor-cli to measure
                 (default: BUILD-DIR/cli/gravelmoor-cli, built with cmake if missing)
  --build-dir D  build tree for the default CLI (default: build/linux)
  --size BYTES   size of the file system; K/M/G suffixes are powers of 1024 (default: 1G)
  --runs N       runs of each tool, interleaved; the best time counts (default: 1)
  --strict       exit 3 when a target is missed (otherwise only PASS/FAIL is printed)
  -h, --help     this text
Exit status: 0 done, 1 wrong result (an image or a drive differs, a tool failed),
2 usage or setup error, 3 a target missed with --strict.
EOF
}

readonly READ_RATIO=1.05   # cli read / pigz -6 -p N
readonly WRITE_RATIO=1.0   # cli write / pigz -d | dd
readonly SIZE_SLACK=0.01   # cli's .gmz against gzip -6's size

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=""
BUILD_DIR=$ROOT/build/linux
SIZE_ARG=1G
RUNS=1
STRICT=0
THREADS=2

die() { echo "pdeflate_bench: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --cli) [ $# -ge 2 ] || die "--cli needs a value"; CLI=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || die "--build-dir needs a value"; BUILD_DIR=$2; shift 2 ;;
    --size) [ $# -ge 2 ] || die "--size needs a value"; SIZE_ARG=$2; shift 2 ;;
    --runs) [ $# -ge 2 ] || die "--runs needs a value"; RUNS=$2; shift 2 ;;
    --strict) STRICT=1; shift ;;
    -h|--help) usage; exit 0 ;;
    [0-9]*) THREADS=$1; shift ;;
    *) usage >&2; exit 2 ;;
  esac
done

[[ $THREADS =~ ^[1-9][0-9]*$ ]] && [ "$THREADS" -le 64 ] || die "THREADS must be 1 to 64"
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "bad --runs: $RUNS"
SIZE=$(numfmt --from=iec "$SIZE_ARG" 2>/dev/null) || die "bad --size: $SIZE_ARG"
[ "$SIZE" -ge $(( 64 * 1024 * 1024 )) ] && [ $(( SIZE % 4096 )) -eq 0 ] ||
  die "--size must be a multiple of 4096 and at least 64M"

[ "$(id -u)" -eq 0 ] || die "needs root (losetup, mount)"
for tool in losetup mount umount mkfs.ext4 pigz gzip dd cmp md5sum numfmt; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed (scripts/setup.sh installs it)"
done

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
fi

# The source and target drives and all images live in /dev/shm.
need=$(( 4 * SIZE + 64 * 1024 * 1024 ))
avail=$(df --output=avail -B1 /dev/shm | tail -n 1 | tr -d ' ')
[ "$avail" -ge "$need" ] || die "/dev/shm has $avail bytes free, needs $need"

# Clean-up on every way out: the child being timed, the mount, both loop
# devices and the scratch folder.
WORK=""
MNT=""
LOOPS=()
CHILD_PID=""
cleanup() {
  trap - ERR
  set +eE
  if [ -n "$CHILD_PID" ]; then
    kill -TERM "$CHILD_PID" 2>/dev/null
    wait "$CHILD_PID" 2>/dev/null
  fi
  if [ -n "$MNT" ] && mountpoint -q "$MNT"; then umount "$MNT" || echo "pdeflate_bench: could not unmount $MNT" >&2; fi
  for dev in "${LOOPS[@]}"; do
    losetup -d "$dev" || echo "pdeflate_bench: could not detach $dev" >&2
  done
  [ -n "$WORK" ] && rm -rf -- "$WORK"
}
trap cleanup EXIT
trap 'echo "pdeflate_bench: unexpected failure at line $LINENO" >&2; exit 2' ERR
trap 'exit 130' INT
trap 'exit 143' TERM

WORK=$(mktemp -d /dev/shm/gm-pdeflate-bench.XXXXXX)
SOURCE=$WORK/source.img
TARGET=$WORK/target.img
MNT=$WORK/mnt

echo "building a $(numfmt --to=iec "$SIZE") ext4 file system of real files (/usr/share, then /usr/lib, until full) ..."
truncate -s "$SIZE" "$SOURCE"
mkfs.ext4 -q -F "$SOURCE"
mkdir "$MNT"
mount -o loop "$SOURCE" "$MNT"
for dir in /usr/share /usr/lib; do
  cp -a "$dir" "$MNT/" 2>/dev/null || true  # stops where the file system is full
done
used=$(df --output=used -B1 "$MNT" | tail -n 1 | tr -d ' ')
umount "$MNT"
MNT=""

SRC_DEV=$(losetup --find --show "$SOURCE")
LOOPS+=("$SRC_DEV")
truncate -s "$SIZE" "$TARGET"
DST_DEV=$(losetup --find --show "$TARGET")
LOOPS+=("$DST_DEV")

echo "source:  $SRC_DEV ($(numfmt --to=iec "$SIZE"), $(numfmt --to=iec "$used") of files)"
echo "target:  $DST_DEV"
echo "cli:     $CLI ($BUILD_INFO)"
echo "threads: $THREADS   runs: $RUNS (best time counts)   cores: $(nproc)   load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# timed NAME RUN CMD...: runs CMD (a shell command line) and sets T to its
# wall time in seconds; in the background, so that INT and TERM reach us.
timed() {
  local name=$1 run=$2 t0 t1 rc=0
  shift 2
  t0=$EPOCHREALTIME
  bash -c "$1" </dev/null >"$WORK/$name.$run.out" 2>"$WORK/$name.$run.err" &
  CHILD_PID=$!
  wait "$CHILD_PID" || rc=$?
  t1=$EPOCHREALTIME
  CHILD_PID=""
  if [ "$rc" -ne 0 ]; then
    echo "pdeflate_bench: $name (run $run) failed with exit status $rc:" >&2
    sed 's/^/  /' "$WORK/$name.$run.out" "$WORK/$name.$run.err" >&2
    exit 1
  fi
  T=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}

declare -A BEST=()
keep_best() {  # TOOL
  if [ -z "${BEST[$1]:-}" ] || awk -v a="$T" -v b="${BEST[$1]}" 'BEGIN { exit !(a < b) }'; then BEST[$1]=$T; fi
}

PIGZ_IMG=$WORK/pigz.gz
CLI_IMG=$WORK/cli.gmz
for (( run = 1; run <= RUNS; run++ )); do
  timed pigz-read "$run" "pigz -6 -p $THREADS < $SRC_DEV > $PIGZ_IMG"; keep_best pigz-read
  rm -f -- "$CLI_IMG"
  timed cli-read "$run" "'$CLI' read --yes --compress --threads $THREADS $SRC_DEV $CLI_IMG"; keep_best cli-read
done
for (( run = 1; run <= RUNS; run++ )); do
  timed pigz-write "$run" \
    "pigz -d -c $CLI_IMG | dd of=$DST_DEV bs=1M oflag=direct iflag=fullblock status=none"
  keep_best pigz-write
  timed cli-write "$run" "'$CLI' write --yes $CLI_IMG $DST_DEV"; keep_best cli-write
done

WRONG=0
echo "checking the results (gzip -6 for its size, md5sum, zcat, cmp) ..."
GZIP_SIZE=$(gzip -6 -c <"$SRC_DEV" | wc -c)
SRC_MD5=$(md5sum <"$SRC_DEV" | cut -d' ' -f1)
CLI_MD5=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$WORK/cli-read.1.out")
if [ "$CLI_MD5" != "$SRC_MD5" ]; then
  echo "pdeflate_bench: the CLI printed DISK MD5SUM='$CLI_MD5', md5sum says $SRC_MD5" >&2; WRONG=1
fi
if ! gzip -t "$CLI_IMG" || ! gzip -dc "$CLI_IMG" | cmp -s - "$SRC_DEV"; then
  echo "pdeflate_bench: the CLI's image does not inflate to the drive" >&2; WRONG=1
fi
if ! cmp -s "$SRC_DEV" "$DST_DEV"; then
  echo "pdeflate_bench: the written drive differs from the source" >&2; WRONG=1
fi

CLI_SIZE=$(stat -c %s "$CLI_IMG")
PIGZ_SIZE=$(stat -c %s "$PIGZ_IMG")
mib_s() { awk -v s="$SIZE" -v t="$1" 'BEGIN { if (t > 0) printf "%.0f", s / 1048576 / t; else print "-" }'; }
printf '\n%-12s %10s %8s\n' step "best (s)" "MiB/s"
for tool in pigz-read cli-read pigz-write cli-write; do
  printf '%-12s %10s %8s\n' "$tool" "${BEST[$tool]}" "$(mib_s "${BEST[$tool]}")"
done
printf '\n%-12s %12s\n' image bytes
printf '%-12s %12s\n' "gzip -6" "$GZIP_SIZE" "pigz -6" "$PIGZ_SIZE" cli "$CLI_SIZE"
echo

MISSED=0
# check NAME VALUE LIMIT: one line with its verdict; a value above the limit misses.
check() {
  local verdict=PASS
  if ! awk -v r="$2" -v t="$3" 'BEGIN { exit !(r <= t) }'; then verdict=FAIL; MISSED=1; fi
  printf '%-34s = %s   (target <= %s)   %s\n' "$1" "$2" "$3" "$verdict"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
check "read:  cli / pigz -6 -p $THREADS" "$(ratio "${BEST[cli-read]}" "${BEST[pigz-read]}")" "$READ_RATIO"
check "write: cli / pigz -d | dd" "$(ratio "${BEST[cli-write]}" "${BEST[pigz-write]}")" "$WRITE_RATIO"
check "size:  cli / gzip -6" "$(ratio "$CLI_SIZE" "$GZIP_SIZE")" "$(awk -v t="$SIZE_SLACK" 'BEGIN { print 1 + t }')"
echo

if [ "$WRONG" -ne 0 ]; then
  echo "results: WRONG (see above)"
  exit 1
fi
echo "results: the image inflates to the drive, the digest is md5sum's, the written drive equals the source"
if [ "$STRICT" -eq 1 ] && [ "$MISSED" -ne 0 ]; then exit 3; fi
exit 0
