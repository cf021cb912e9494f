#!/usr/bin/env bash
# Write benchmark: `gravelmoor-cli write` of one raw image to four loop
# devices at once against four `dd` started together, on the same data in
# one run; every drive must hold the image afterwards. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=write_bench
readonly DRIVES=4
usage() {
  echo "Usage: bench/write_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require dd cmp mkfs.ext4 mount umount fallocate
bench_locate_cli
# The image and the backing files of the drives live in /dev/shm.
bench_require_space $(( (1 + DRIVES) * SIZE ))
bench_scratch

IMAGE=$WORK/data.img
bench_make_data "$IMAGE"
bench_targets "$DRIVES"

CLI_ARGS=(write --yes "${CLI_OPTS[@]}")
echo "image:   $IMAGE ($SIZE bytes of ext4)"
echo "drives:  ${TARGETS[*]} (blanked before every run, compared after it)"
bench_header "${CLI_ARGS[*]} IMAGE ${TARGETS[*]}"

TOOLS=(dd cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_blank_targets
    case $tool in
      dd)
        bench_begin dd "$run"
        for k in "${!TARGETS[@]}"; do
          bench_start "$k" dd if="$IMAGE" of="${TARGETS[$k]}" bs=1M oflag=direct
        done
        bench_end
        ;;
      cli)
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$IMAGE" "${TARGETS[@]}"
        ;;
    esac
    bench_record "$tool"
    bench_check_equal "$tool, run $run" "$IMAGE" "${TARGETS[@]}"
  done
done

bench_table "${TOOLS[@]}"
bench_judge_time "cli / $DRIVES x dd" "${BEST[cli]}" "${BEST[dd]}"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "data:   every drive equals the image after every run"
bench_finish
