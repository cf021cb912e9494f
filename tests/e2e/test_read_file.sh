#!/usr/bin/env bash
# End-to-end read of a regular file standing in for a drive, for both builds:
#   test_read_file.sh [RUNNER] CLI
# RUNNER is how the CLI is started (wine for the Windows build, nothing
# natively). Checks the image, the printed digest, the byte count, and that
# an existing image is never replaced without a Yes.
set -euo pipefail
RUNNER=()
if [ $# -eq 2 ]; then RUNNER=("$1"); shift; fi
CLI=$1
WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-file.XXXXXX")
trap 'rm -rf -- "$WORK"' EXIT
cd "$WORK"

fail() { echo "FAIL: $*" >&2; exit 1; }
run_cli() { "${RUNNER[@]}" "$CLI" "$@" </dev/null >out.txt 2>err.txt; }

# 5 MiB + 1234 bytes: the last block is short and not a sector multiple.
head -c $((5 * 1048576 + 1234)) /dev/urandom >drive.bin
size=$(stat -c %s drive.bin)
sum=$(md5sum drive.bin | cut -d' ' -f1)

run_cli read drive.bin image.gmi || fail "read exited $?: $(cat out.txt err.txt)"
cmp -s drive.bin image.gmi || fail "the image differs from the drive"
grep -qx "DISK MD5SUM=$sum" <(tr -d '\r' <out.txt) || fail "digest line missing or wrong: $(cat out.txt)"
grep -qx "drive.bin - $size bytes dumped." <(tr -d '\r' <out.txt) || fail "byte count line missing"
! grep -q '^\[\(WARNING\|ERROR\)\]' out.txt || fail "unexpected warnings: $(cat out.txt)"

mkdir sub
run_cli read --md5sum drive.bin sub/fs.gmi || fail "read --md5sum exited $?: $(cat out.txt)"
grep -qx "$sum fs.gmi" <(tr -d '\r' <sub/fs.gmi.md5sum) || fail "the .md5sum names more than the image: $(cat sub/fs.gmi.md5sum)"

printf 'keep me' >old.gmi
rc=0; run_cli read drive.bin old.gmi || rc=$?
[ "$rc" -eq 1 ] || fail "an existing image without --yes exited $rc, not 1"
[ "$(cat old.gmi)" = "keep me" ] || fail "an existing image was changed without a Yes"
grep -q "^\[ERROR\] can't create file old.gmi." out.txt || fail "no error line for the refused image"
grep -qF "old.gmi already exists. 上書きしますか？ [y/N] N (no terminal" err.txt ||
  fail "the question does not name the file: $(cat err.txt)"

run_cli read --yes drive.bin old.gmi || fail "read --yes exited $?"
cmp -s drive.bin old.gmi || fail "--yes did not replace the image with the drive's bytes"

rc=0; run_cli read drive.bin || rc=$?
[ "$rc" -eq 2 ] || fail "a usage error exited $rc, not 2"
grep -q "missing IMAGE" err.txt || fail "a missing image is not named: $(cat err.txt)"

rc=0; run_cli read drive.bin new.gmi extra.gmi || rc=$?
[ "$rc" -eq 2 ] || fail "an extra operand exited $rc, not 2"
grep -q 'too many arguments: "extra.gmi"' err.txt || fail "no 'too many arguments': $(cat err.txt)"
[ ! -e new.gmi ] || fail "a usage error created the image"

rc=0; run_cli read drive.bin ./drive.bin || rc=$?
[ "$rc" -eq 1 ] || fail "the drive as its own image exited $rc, not 1"
grep -q "the image ./drive.bin is the drive itself." <(tr -d '\r' <out.txt) || fail "not refused as the drive itself: $(cat out.txt)"
cmp -s drive.bin image.gmi || fail "the drive changed"
echo "PASS: read of a file as a drive"
