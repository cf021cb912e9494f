#!/usr/bin/env bash
# Erase benchmark: `gravelmoor-cli erase` of one loop device with method 1
# (one pass of zeros) and method 3 (one random pass) against `dd` from
# /dev/zero, on the same device in one run. See bench/README.md.
set -Eeuo pipefail

BENCH_NAME=erase_bench
usage() {
  echo "Usage: bench/erase_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require dd cmp fallocate
bench_locate_cli
bench_require_space "$SIZE"
bench_scratch
bench_targets 1
DRIVE=${TARGETS[0]}
MIB_COUNT=$(( SIZE / 1048576 ))

echo "drive:   $DRIVE ($SIZE bytes, blanked with random bytes before every run)"
bench_header "erase --yes --method 1|3 ${CLI_OPTS[*]} $DRIVE"

TOOLS=(dd m1 m3)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    # Every run starts from a drive that holds something other than zeros.
    dd if=/dev/urandom of="${TARGET_FILES[0]}" bs=1M count="$MIB_COUNT" conv=notrunc status=none
    bench_flush "$DRIVE"
    case $tool in
      dd) bench_timed dd "$run" dd if=/dev/zero of="$DRIVE" bs=1M count="$MIB_COUNT" oflag=direct ;;
      m1) bench_timed m1 "$run" "$CLI" erase --yes --method 1 "${CLI_OPTS[@]}" "$DRIVE" ;;
      m3) bench_timed m3 "$run" "$CLI" erase --yes --method 3 "${CLI_OPTS[@]}" "$DRIVE" ;;
    esac
    bench_record "$tool"
    if [ "$tool" != m3 ] && ! cmp -s -n "$SIZE" /dev/zero "$DRIVE"; then
      wrong "$tool, run $run: the drive does not hold zeros afterwards"
    fi
    bench_flush "$DRIVE"
  done
done

bench_table "${TOOLS[@]}"
bench_judge_time "method 1 / dd" "${BEST[m1]}" "${BEST[dd]}"
bench_judge_time "method 3 / dd" "${BEST[m3]}" "${BEST[dd]}" 1.25
bench_judge_rss m1
bench_judge_rss m3
[ "$WRONG" -eq 0 ] && echo "data:   the drive held zeros after every dd and method 1 run"
bench_finish
