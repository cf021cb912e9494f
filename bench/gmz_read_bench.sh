#!/usr/bin/env bash
# Compressed read benchmark: `gravelmoor-cli read` of a loop device into a
# .gmz image (gzip data and the drive's digest) against `gzip -6`, on the
# same data in one run; the image must decompress to the drive and the
# digest must be the drive's. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=gmz_read_bench
usage() {
  echo "Usage: bench/gmz_read_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require cmp gzip zcat md5sum mkfs.ext4 mount umount
bench_locate_cli
# The drive's backing file and the two compressed images in /dev/shm.
bench_require_space $(( 3 * SIZE ))
bench_scratch

DATA=$WORK/data.img
GZ=$WORK/out.gz
GMZ=$WORK/out.gmz
bench_make_data "$DATA"
bench_attach "$DATA" -r
DRIVE=$ATTACHED
DRIVE_MD5=$(md5sum <"$DRIVE" | cut -d' ' -f1)
bench_flush "$DRIVE"

CLI_ARGS=(read --yes "${CLI_OPTS[@]}")
echo "drive:   $DRIVE ($SIZE bytes of ext4, md5 $DRIVE_MD5; uncached before every run)"
bench_header "${CLI_ARGS[*]} $DRIVE OUT.gmz"

# check_image RUN: the CLI's image decompresses to the drive, and its digest
# line is the drive's.
check_image() {
  local digest
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$(bench_out cli "$1")")
  [ "$digest" = "$DRIVE_MD5" ] || wrong "run $1: the CLI printed DISK MD5SUM='$digest', md5sum says $DRIVE_MD5"
  if ! zcat -- "$GMZ" | cmp -- - "$DRIVE" >"$WORK/cmp.out" 2>&1; then
    wrong "run $1: zcat of the CLI's image differs from the drive: $(cat "$WORK/cmp.out")"
  fi
  bench_flush "$DRIVE"
}

TOOLS=(gzip cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_flush "$DRIVE"
    case $tool in
      gzip)
        rm -f -- "$GZ"
        # shellcheck disable=SC2016  # expanded by the inner shell
        bench_timed gzip "$run" bash -c 'gzip -6 <"$1" >"$2"' gzip "$DRIVE" "$GZ"
        ;;
      cli)
        rm -f -- "$GMZ"
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$DRIVE" "$GMZ"
        ;;
    esac
    bench_record "$tool"
    if [ "$tool" = cli ]; then check_image "$run"; fi
  done
done

bench_table "${TOOLS[@]}"
echo "size:   cli's .gmz $(stat -c %s -- "$GMZ" 2>/dev/null || echo '-') bytes, gzip -6's $(stat -c %s -- "$GZ") bytes"
bench_judge_time "cli / gzip -6" "${BEST[cli]}" "${BEST[gzip]}"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "data:   zcat of every .gmz equals the drive, every digest is the drive's md5sum"
bench_finish
