#!/usr/bin/env bash
# Compressed images on several cores: `gravelmoor-cli read` of a loop
# device holding a file system of real files into a .gmz (digest included)
# against `pigz -6 -p N`, and `gravelmoor-cli write` of that .gmz to a
# second loop device against `pigz -d | dd`, on the same data in one run.
# The image must be one gzip member that inflates to the drive, within 1% of
# gzip -6's size; the digest must be md5sum's; the written drive must equal
# the source. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=pdeflate_bench
BENCH_COUNT_NAME=THREADS
BENCH_COUNT=2
usage() {
  echo "Usage: bench/pdeflate_bench.sh [options] [THREADS]"
  echo "  THREADS        compression threads of both tools (default: 2)"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

readonly READ_RATIO=1.05   # cli read / pigz -6 -p N
readonly WRITE_RATIO=1.0   # cli write / pigz -d | dd
readonly SIZE_RATIO=1.01   # cli's .gmz / gzip -6's

bench_parse_args "$@"
THREADS=$BENCH_COUNT
bench_require cmp pigz gzip md5sum mkfs.ext4 mount umount dd
bench_locate_cli
# The source, the target and three compressed images in /dev/shm.
bench_require_space $(( 4 * SIZE ))
bench_scratch

DATA=$WORK/data.img
CLI_GMZ=$WORK/cli.gmz
PIGZ_GZ=$WORK/pigz.gz
bench_make_data "$DATA"
bench_attach "$DATA" -r
DRIVE=$ATTACHED
DRIVE_MD5=$(md5sum <"$DRIVE" | cut -d' ' -f1)
bench_targets 1
TARGET=${TARGETS[0]}
bench_flush "$DRIVE"

echo "drive:   $DRIVE ($SIZE bytes of ext4, md5 $DRIVE_MD5; uncached before every run), target $TARGET"
echo "threads: $THREADS compression threads for both tools"
bench_header "read --yes --compress --threads $THREADS DRIVE OUT.gmz; write --yes OUT.gmz TARGET"

# check_read RUN: the digest line is the drive's and the image inflates to it.
check_read() {
  local digest
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$(bench_out cli-read "$1")")
  [ "$digest" = "$DRIVE_MD5" ] || wrong "run $1: the CLI printed DISK MD5SUM='$digest', md5sum says $DRIVE_MD5"
  if ! gzip -t -- "$CLI_GMZ" || ! gzip -dc -- "$CLI_GMZ" | cmp -s -- - "$DRIVE"; then
    wrong "run $1: the CLI's image does not inflate to the drive"
  fi
  bench_flush "$DRIVE"
}

READERS=(pigz-read cli-read)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${READERS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_flush "$DRIVE"
    case $tool in
      pigz-read)
        # shellcheck disable=SC2016  # expanded by the inner shell
        bench_timed "$tool" "$run" bash -c 'pigz -6 -p "$1" <"$2" >"$3"' pigz "$THREADS" "$DRIVE" "$PIGZ_GZ"
        ;;
      cli-read)
        rm -f -- "$CLI_GMZ"
        bench_timed "$tool" "$run" "$CLI" read --yes --compress --threads "$THREADS" "$DRIVE" "$CLI_GMZ"
        ;;
    esac
    bench_record "$tool"
    if [ "$tool" = cli-read ]; then check_read "$run"; fi
  done
done

WRITERS=(pigz-write cli-write)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${WRITERS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_blank_targets
    case $tool in
      pigz-write)
        # shellcheck disable=SC2016  # expanded by the inner shell
        bench_timed "$tool" "$run" bash -c \
          'pigz -d -c "$1" | dd of="$2" bs=1M oflag=direct iflag=fullblock status=none' pigz "$CLI_GMZ" "$TARGET"
        ;;
      cli-write) bench_timed "$tool" "$run" "$CLI" write --yes "$CLI_GMZ" "$TARGET" ;;
    esac
    bench_record "$tool"
    bench_check_equal "$tool run $run" "$DRIVE" "$TARGET"
  done
done

bench_table "${READERS[@]}" "${WRITERS[@]}"
GZIP_SIZE=$(gzip -6 -c <"$DRIVE" | wc -c)
CLI_SIZE=$(stat -c %s -- "$CLI_GMZ")
echo "size:   cli's .gmz $CLI_SIZE bytes, pigz -6's $(stat -c %s -- "$PIGZ_GZ"), gzip -6's $GZIP_SIZE"
bench_judge_time "read: cli / pigz -6 -p $THREADS" "${BEST[cli-read]}" "${BEST[pigz-read]}" "$READ_RATIO"
bench_judge_time "write: cli / pigz -d | dd" "${BEST[cli-write]}" "${BEST[pigz-write]}" "$WRITE_RATIO"
bench_judge_time "size: cli / gzip -6" "$CLI_SIZE" "$GZIP_SIZE" "$SIZE_RATIO"
bench_judge_rss cli-read
[ "$WRONG" -eq 0 ] && echo "data:   every image inflates to the drive, every digest is md5sum's, the target equals the drive"
bench_finish
