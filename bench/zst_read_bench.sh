#!/usr/bin/env bash
# Compressed read benchmark: `gravelmoor-cli read` of a drive into a .zst
# (level 3, every core, the drive's MD5 on the way) against `zstd -3 -T2`
# of the same drive to a file (no digest), on the same data in one run. The
# CLI's image must decompress to the drive, its digest must be the drive's,
# and it may be at most 1% larger than zstd's. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=zst_read_bench
usage() {
  echo "Usage: bench/zst_read_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require cmp zstd md5sum mkfs.ext4 mount umount
bench_locate_cli
# The drive's backing file and the two compressed images in /dev/shm.
bench_require_space $(( 3 * SIZE ))
bench_scratch

DATA=$WORK/data.img
REF=$WORK/ref.zst
OUT=$WORK/out.zst
bench_make_data "$DATA"
bench_attach "$DATA" -r
DRIVE=$ATTACHED
DRIVE_MD5=$(md5sum <"$DRIVE" | cut -d' ' -f1)
bench_flush "$DRIVE"

CLI_ARGS=(read --yes "${CLI_OPTS[@]}")
echo "drive:   $DRIVE ($SIZE bytes of ext4, md5 $DRIVE_MD5; uncached before every run)"
bench_header "${CLI_ARGS[*]} $DRIVE OUT.zst"

# check_image RUN: the CLI's image decompresses to the drive, and its digest
# line is the drive's.
check_image() {
  local digest
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$(bench_out cli "$1")")
  [ "$digest" = "$DRIVE_MD5" ] || wrong "run $1: the CLI printed DISK MD5SUM='$digest', md5sum says $DRIVE_MD5"
  if ! zstd -dc -q -- "$OUT" | cmp -- - "$DRIVE" >"$WORK/cmp.out" 2>&1; then
    wrong "run $1: zstd -d of the CLI's image differs from the drive: $(cat "$WORK/cmp.out")"
  fi
  bench_flush "$DRIVE"
}

TOOLS=(zstd cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_flush "$DRIVE"
    case $tool in
      zstd)
        rm -f -- "$REF"
        bench_timed zstd "$run" zstd -3 -T2 -q -f -o "$REF" -- "$DRIVE"  # -f: the drive is a block device
        ;;
      cli)
        rm -f -- "$OUT"
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$DRIVE" "$OUT"
        ;;
    esac
    bench_record "$tool"
    if [ "$tool" = cli ]; then check_image "$run"; fi
  done
done

bench_table "${TOOLS[@]}"
CLI_SIZE=$(stat -c %s -- "$OUT" 2>/dev/null || echo 0)
REF_SIZE=$(stat -c %s -- "$REF")
bench_judge_time "cli / zstd -3 -T2" "${BEST[cli]}" "${BEST[zstd]}" 1.15
bench_judge_ratio size "cli's .zst / zstd's ($CLI_SIZE / $REF_SIZE bytes)" "$CLI_SIZE" "$REF_SIZE" 1.01
bench_judge_rss cli 64
[ "$WRONG" -eq 0 ] && echo "data:   zstd -d of every .zst equals the drive, every digest is the drive's md5sum"
bench_finish
