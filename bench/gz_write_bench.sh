#!/usr/bin/env bash
# Compressed write benchmark: `gravelmoor-cli write` of a gzip image (made by
# `gzip -6`) to a loop device against `zcat | dd`, on the same data in one
# run; the drive must hold the uncompressed data afterwards. See
# bench/README.md.
set -Eeuo pipefail

BENCH_NAME=gz_write_bench
usage() {
  echo "Usage: bench/gz_write_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require dd cmp gzip zcat mkfs.ext4 mount umount fallocate
bench_locate_cli
# The image, its gzip (smaller) and the drive's backing file in /dev/shm.
bench_require_space $(( 3 * SIZE ))
bench_scratch

IMAGE=$WORK/data.img
GZ=$WORK/data.gz
bench_make_data "$IMAGE"
echo "compressing it with gzip -6 ..."
gzip -6 <"$IMAGE" >"$GZ"
bench_targets 1
DRIVE=${TARGETS[0]}

# The name does not end in .gmz, so the CLI is told that it is compressed.
CLI_ARGS=(write --yes --compress "${CLI_OPTS[@]}")
echo "image:   $GZ ($(stat -c %s "$GZ") bytes, $SIZE uncompressed)"
echo "drive:   $DRIVE (blanked before every run, compared after it)"
bench_header "${CLI_ARGS[*]} IMAGE.gz $DRIVE"

TOOLS=(zcat-dd cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_blank_targets
    case $tool in
      zcat-dd)
        # shellcheck disable=SC2016  # expanded by the inner shell
        bench_timed zcat-dd "$run" bash -o pipefail -c \
          'zcat -- "$1" | dd of="$2" bs=1M oflag=direct iflag=fullblock' zcat-dd "$GZ" "$DRIVE"
        ;;
      cli)
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$GZ" "$DRIVE"
        ;;
    esac
    bench_record "$tool"
    bench_check_equal "$tool, run $run" "$IMAGE" "$DRIVE"
  done
done

bench_table "${TOOLS[@]}"
bench_judge_time "cli / (zcat | dd)" "${BEST[cli]}" "${BEST[zcat-dd]}"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "data:   the drive equals the uncompressed image after every run"
bench_finish
