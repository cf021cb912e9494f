#!/usr/bin/env bash
# Job runner benchmark: `gravelmoor-cli read` (a job of the job runner:
# start stamp, drive list, volumes, the read engine, summary lines) against
# the read engine alone (bench/bare_read.cpp), both reading the same loop
# device into a raw image. The runner must add no measurable time; both
# images must equal the drive and both digests must be md5sum's. See
# bench/README.md.
set -Eeuo pipefail

BENCH_NAME=runner_bench
usage() {
  echo "Usage: bench/runner_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require cmp md5sum mkfs.ext4 mount umount
bench_locate_cli
BARE=$(dirname "$CLI")/../bench/bare_read
if [ ! -x "$BARE" ]; then
  echo "building $BARE ..."
  cmake --build "$(dirname "$CLI")/.." -j2 --target bare_read
fi
[ -x "$BARE" ] || die "no bare_read beside the CLI: $BARE"
# The drive's backing file and the two images in /dev/shm.
bench_require_space $(( 3 * SIZE ))
bench_scratch

DATA=$WORK/data.img
IMG_BARE=$WORK/bare.gmi
IMG_CLI=$WORK/cli.gmi
bench_make_data "$DATA"
bench_attach "$DATA" -r
DRIVE=$ATTACHED
DRIVE_MD5=$(md5sum <"$DRIVE" | cut -d' ' -f1)
bench_flush "$DRIVE"

CLI_ARGS=(read --yes "${CLI_OPTS[@]}")
echo "drive:   $DRIVE ($SIZE bytes of ext4, md5 $DRIVE_MD5; uncached before every run)"
bench_header "${CLI_ARGS[*]} $DRIVE OUT.gmi   against   bare_read $DRIVE OUT.gmi"

# check_image TOOL RUN IMAGE: the image is the drive and the digest line
# is the drive's.
check_image() {
  local digest
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$(bench_out "$1" "$2")")
  [ "$digest" = "$DRIVE_MD5" ] || wrong "run $2: $1 printed DISK MD5SUM='$digest', md5sum says $DRIVE_MD5"
  cmp -s -- "$3" "$DRIVE" || wrong "run $2: the image of $1 differs from the drive"
  rm -f -- "$3"
  bench_flush "$DRIVE"
}

TOOLS=(bare cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  for tool in "${ORDER[@]}"; do
    bench_flush "$DRIVE"
    case $tool in
      bare) bench_timed bare "$run" "$BARE" "$DRIVE" "$IMG_BARE" ;;
      cli) bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$DRIVE" "$IMG_CLI" ;;
    esac
    bench_record "$tool"
    if [ "$tool" = bare ]; then check_image bare "$run" "$IMG_BARE"; else check_image cli "$run" "$IMG_CLI"; fi
  done
done

bench_table "${TOOLS[@]}"
bench_judge_time "cli / bare engine" "${BEST[cli]}" "${BEST[bare]}"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "data:   every image equals the drive, every digest is the drive's md5sum"
bench_finish
