#!/usr/bin/env bash
# Compressed-image write benchmark: `gravelmoor-cli write` of an image made by
# the standard tool of FORMAT (xz -T2 -6: several blocks; zstd -3 -T2;
# bzip2 -9) to one drive against `TOOL -dc | dd`, and to four drives against
# the same write to one, on the same data in one run; every drive written
# must hold the uncompressed data afterwards. The same write of the raw data
# to four drives shows what writing four drives costs by itself. See
# bench/README.md.
set -Eeuo pipefail

BENCH_NAME=decoded_write_bench
usage() {
  echo "Usage: bench/decoded_write_bench.sh xz|zst|bz2 [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

FORMAT=${1:-}
case $FORMAT in
  xz)  PACK=(xz -T2 -6 -c);   UNPACK='xz -dc -T2' ;;
  zst) PACK=(zstd -3 -T2 -c -q); UNPACK='zstd -dc -q' ;;
  bz2) PACK=(bzip2 -9 -c);    UNPACK='bzip2 -dc' ;;
  -h|--help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac
shift
bench_parse_args "$@"
bench_require dd cmp "${PACK[0]}" mkfs.ext4 mount umount fallocate
bench_locate_cli
# The image, its compressed copy and four drives' backing files in /dev/shm.
bench_require_space $(( 6 * SIZE ))
bench_scratch

IMAGE=$WORK/data.img
PACKED=$WORK/data.img.$FORMAT
bench_make_data "$IMAGE"
echo "compressing it with ${PACK[*]} ..."
"${PACK[@]}" <"$IMAGE" >"$PACKED"
bench_targets 4
ONE=${TARGETS[0]}

CLI_ARGS=(write --yes "${CLI_OPTS[@]}")
echo "image:   $PACKED ($(stat -c %s "$PACKED") bytes, $SIZE uncompressed)"
echo "drives:  ${TARGETS[*]} (blanked before every run, compared after it)"
bench_header "${CLI_ARGS[*]} IMAGE.$FORMAT DRIVE (x1, x4)"

TOOLS=(ref cli1 cli4 raw4)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_blank_targets
    written=("$ONE")
    case $tool in
      ref)
        # shellcheck disable=SC2016  # expanded by the inner shell
        bench_timed ref "$run" bash -o pipefail -c \
          "$UNPACK"' -- "$1" | dd of="$2" bs=1M oflag=direct iflag=fullblock status=none' ref "$PACKED" "$ONE"
        ;;
      cli1)
        bench_timed cli1 "$run" "$CLI" "${CLI_ARGS[@]}" "$PACKED" "$ONE"
        ;;
      cli4)
        bench_timed cli4 "$run" "$CLI" "${CLI_ARGS[@]}" "$PACKED" "${TARGETS[@]}"
        written=("${TARGETS[@]}")
        ;;
      raw4)
        bench_timed raw4 "$run" "$CLI" "${CLI_ARGS[@]}" "$IMAGE" "${TARGETS[@]}"
        written=("${TARGETS[@]}")
        ;;
    esac
    bench_record "$tool"
    bench_check_equal "$tool, run $run" "$IMAGE" "${written[@]}"
  done
done

bench_table "${TOOLS[@]}"
echo "ref is: $UNPACK IMAGE | dd of=DRIVE bs=1M oflag=direct"
bench_judge_time "cli, one drive / ($UNPACK | dd)" "${BEST[cli1]}" "${BEST[ref]}" 1.05
bench_judge_time "cli, four drives / cli, one drive" "${BEST[cli4]}" "${BEST[cli1]}" 1.10
# Not a target: where four drives take longer than one because writing them
# is the work (tmpfs behind the loop devices, on few cores), the raw image
# takes as long.
printf 'info:   cli, four drives / raw image to four drives = %s\n' \
  "$(awk -v a="${BEST[cli4]}" -v b="${BEST[raw4]}" 'BEGIN { printf "%.3f", a / b }')"
# The threaded xz decoder and the zstd window take their memory beside the
# block pool: 64 MiB at most.
bench_judge_rss cli1 64
bench_judge_rss cli4 64
[ "$WRONG" -eq 0 ] && echo "data:   every drive written equals the uncompressed image after every run"
bench_finish
