#!/usr/bin/env bash
# Compare benchmark: `gravelmoor-cli verify` of one raw image with four loop
# devices at once against four `cmp` started together, on the same data in
# one run; both must find every drive equal. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=compare_bench
readonly DRIVES=4
usage() {
  echo "Usage: bench/compare_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require cmp mkfs.ext4 mount umount
bench_locate_cli
# The image and the backing files of the drives live in /dev/shm.
bench_require_space $(( (1 + DRIVES) * SIZE ))
bench_scratch

IMAGE=$WORK/data.img
bench_make_data "$IMAGE"
bench_targets "$DRIVES" "$IMAGE" -r

CLI_ARGS=(verify "${CLI_OPTS[@]}")
echo "image:   $IMAGE ($SIZE bytes of ext4)"
echo "drives:  ${TARGETS[*]} (read-only copies of the image, uncached before every run)"
bench_header "${CLI_ARGS[*]} IMAGE ${TARGETS[*]}"

# check_verdicts RUN: the CLI checked every drive over its whole length and
# called it OK.
check_verdicts() {
  local out dev
  out=$(bench_out cli "$1")
  for dev in "${TARGETS[@]}"; do
    grep -qxF -- "$dev - $SIZE bytes checked." "$out" || wrong "run $1: no '$SIZE bytes checked' for $dev"
    grep -qxF -- "  $dev - OK" "$out" || wrong "run $1: $dev is not OK"
  done
}

TOOLS=(cmp cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_flush "${TARGETS[@]}"
    # A drive found different ends the script: cmp and the CLI exit 1.
    case $tool in
      cmp)
        bench_begin cmp "$run"
        for k in "${!TARGETS[@]}"; do
          bench_start "$k" cmp -- "$IMAGE" "${TARGETS[$k]}"
        done
        bench_end
        ;;
      cli)
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$IMAGE" "${TARGETS[@]}"
        check_verdicts "$run"
        ;;
    esac
    bench_record "$tool"
  done
done

bench_table "${TOOLS[@]}"
bench_judge_time "cli / $DRIVES x cmp" "${BEST[cli]}" "${BEST[cmp]}"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "data:   cmp and the CLI found every drive equal in every run"
bench_finish
