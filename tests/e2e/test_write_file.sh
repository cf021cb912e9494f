#!/usr/bin/env bash
# End-to-end write and verify with regular files standing in for drives,
# for both builds:
#   test_write_file.sh [RUNNER] CLI
# RUNNER is how the CLI is started (wine for the Windows build, nothing
# natively). Checks the drives' bytes, the summary, the exit statuses, and
# that nothing is written without a Yes or when the job is refused.
set -euo pipefail
RUNNER=()
if [ $# -eq 2 ]; then RUNNER=("$1"); shift; fi
CLI=$1
WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-write-file.XXXXXX")
trap 'rm -rf -- "$WORK"' EXIT
cd "$WORK"

fail() { echo "FAIL: $*" >&2; exit 1; }
run_cli() { "${RUNNER[@]}" "$CLI" "$@" </dev/null >out.txt 2>err.txt; }
has_line() { grep -qxF -- "$1" <(tr -d '\r' <out.txt); }

# 3 MiB + 1234 bytes: the last block is short and not a sector multiple.
size=$((3 * 1048576 + 1234))
head -c "$size" /dev/urandom >image.gmi
truncate -s "$size" d1.bin d2.bin
zeros=$(md5sum <d1.bin)

rc=0; run_cli write image.gmi d1.bin d2.bin || rc=$?
[ "$rc" -eq 1 ] || fail "a write without --yes and without a terminal exited $rc, not 1"
[ "$(md5sum <d1.bin)" = "$zeros" ] || fail "a drive was written without a Yes"
grep -qF "d1.bin ($size)" err.txt || fail "the drive is not listed with its size: $(cat err.txt)"

run_cli write --yes --verify image.gmi d1.bin d2.bin || fail "write --verify exited $?: $(cat out.txt err.txt)"
cmp -s image.gmi d1.bin && cmp -s image.gmi d2.bin || fail "a drive differs from the image"
has_line "  d1.bin - DISK WRITE=OK, VERIFY=OK" && has_line "  d2.bin - DISK WRITE=OK, VERIFY=OK" || fail "no OK summary: $(cat out.txt)"

# One byte made other than it was (the image is random: a fixed byte would
# be the same as the image's one time in 256).
byte=$(od -An -tu1 -j 2000000 -N 1 d2.bin | tr -d ' ')
printf "\\$(printf '%03o' $(( byte ^ 0xff )))" | dd of=d2.bin bs=1 seek=2000000 conv=notrunc status=none
cmp -s image.gmi d2.bin && fail "the drive was not changed"
rc=0; run_cli verify image.gmi d1.bin d2.bin || rc=$?
[ "$rc" -eq 1 ] || fail "verify of a changed drive exited $rc, not 1"
has_line "  d1.bin - VERIFY=OK" && has_line "  d2.bin - VERIFY=NG" || fail "wrong summary: $(cat out.txt)"

before=$(md5sum <d1.bin)
rc=0; run_cli write --yes image.gmi d1.bin ./d1.bin || rc=$?
[ "$rc" -eq 1 ] || fail "one drive under two names exited $rc, not 1"
has_line "[ERROR] d1.bin and ./d1.bin are the same drive: give each drive once." || fail "$(cat out.txt)"
rc=0; run_cli write --yes image.gmi d1.bin image.gmi || rc=$?
[ "$rc" -eq 1 ] || fail "the image as a drive exited $rc, not 1"
has_line "[ERROR] can't write disk image.gmi: it is the image file itself." || fail "$(cat out.txt)"
rc=0; run_cli write --yes image.gmi d1.bin d2.bin d1.bin d2.bin d1.bin || rc=$?
[ "$rc" -eq 2 ] || fail "five drives exited $rc, not 2"
[ "$(md5sum <d1.bin)" = "$before" ] || fail "a refused write changed a drive"
# The Windows program reads an .xz image only with liblzma's DLL beside it,
# and the build puts none there: the write is refused, naming the DLL.
if [ ${#RUNNER[@]} -gt 0 ]; then
  xz -1 -c image.gmi >image.xz
  rc=0; run_cli write --yes image.xz d1.bin || rc=$?
  [ "$rc" -eq 1 ] || fail "an .xz image without liblzma's DLL exited $rc, not 1"
  has_line "[ERROR] can't read image.xz: the xz library (liblzma.dll) is needed to read .xz images and was not \
found." || fail "$(cat out.txt)"
  [ "$(md5sum <d1.bin)" = "$before" ] || fail "a refused .xz write changed a drive"
fi
echo "PASS: write and verify of files as drives"
