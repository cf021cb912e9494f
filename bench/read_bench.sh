#!/usr/bin/env bash
# Read benchmark: `gravelmoor-cli read` of a loop device against `dd` (the
# copy alone) and `md5sum` (the digest alone) on the same data in one run.
# See bench/README.md. Needs root (losetup) and /usr/bin/time (package `time`).
set -Eeuo pipefail

BENCH_NAME=read_bench
usage() {
  echo "Usage: bench/read_bench.sh [options]"
  bench_options_help
}
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

bench_parse_args "$@"
bench_require dd md5sum cmp
bench_locate_cli
# Backing file, dd's image and the CLI's image all live in /dev/shm.
bench_require_space $(( 3 * SIZE ))
bench_scratch

BACKING=$WORK/backing.bin
IMG=$WORK/dd.img
IMG2=$WORK/cli.img

echo "filling $(numfmt --to=iec "$SIZE") of random data ..."
if [ "$SIZE" -lt 2147483648 ] && command -v openssl >/dev/null 2>&1; then
  openssl rand -out "$BACKING" "$SIZE"
else
  head -c "$SIZE" /dev/urandom >"$BACKING"
fi
[ "$(stat -c %s "$BACKING")" -eq "$SIZE" ] || die "backing file has the wrong size"
bench_attach "$BACKING" -r
DEV=$ATTACHED

CLI_ARGS=(read --yes "${CLI_OPTS[@]}")
echo "device:  $DEV ($SIZE bytes, backed by /dev/shm)"
bench_header "${CLI_ARGS[*]} $DEV IMG2"

REF_MD5=""
TOOLS=(dd md5sum cli)
for (( run = 1; run <= RUNS; run++ )); do
  bench_order "$run" "${TOOLS[@]}"
  # md5sum reads dd's image, so dd runs first in the first round.
  [ "$run" -eq 1 ] && ORDER=("${TOOLS[@]}")
  for tool in "${ORDER[@]}"; do
    bench_flush "$DEV"
    case $tool in
      dd)
        rm -f -- "$IMG"
        bench_timed dd "$run" dd if="$DEV" of="$IMG" bs=1M iflag=direct
        ;;
      md5sum)
        bench_timed md5sum "$run" md5sum "$IMG"
        sum=$(cut -d' ' -f1 "$(bench_out md5sum "$run")")
        if [ -z "$REF_MD5" ]; then
          REF_MD5=$sum
        elif [ "$sum" != "$REF_MD5" ]; then
          wrong "md5sum of dd's image changed between runs ($REF_MD5, $sum)"
        fi
        ;;
      cli)
        rm -f -- "$IMG2"
        bench_timed cli "$run" "$CLI" "${CLI_ARGS[@]}" "$DEV" "$IMG2"
        ;;
    esac
    bench_record "$tool"
  done
done

# The CLI's digest of every run against md5sum's digest of dd's image.
for (( run = 1; run <= RUNS; run++ )); do
  digest=$(sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$(bench_out cli "$run")")
  if [ "$digest" != "$REF_MD5" ]; then
    wrong "run $run: CLI printed DISK MD5SUM='$digest', md5sum says $REF_MD5"
  fi
done
if ! cmp -- "$IMG" "$IMG2" >"$WORK/cmp.out" 2>&1; then
  wrong "the CLI's image differs from dd's: $(cat "$WORK/cmp.out")"
fi

bench_table "${TOOLS[@]}"
SLOWEST=$(awk -v d="${BEST[dd]}" -v m="${BEST[md5sum]}" 'BEGIN { print (d > m ? d : m) }')
bench_judge_time "cli / max(dd, md5sum)" "${BEST[cli]}" "$SLOWEST"
bench_judge_rss cli
[ "$WRONG" -eq 0 ] && echo "digest: cli = md5sum = $REF_MD5"
bench_finish
