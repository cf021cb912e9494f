#!/usr/bin/env bash
# End-to-end test of `gravelmoor-cli write` and `verify` on real block
# devices: loop devices that this script attaches to temporary files (one
# of them partitioned, with an ext4 file system it mounts on a folder of
# its own) and always unmounts and detaches again. It never opens any
# other device.
#
# Usage: test_write_loop.sh PATH-TO-gravelmoor-cli
# Exit status: 0 every check passed, 1 a check failed, 77 skipped (not root,
# or no loop devices or tools on this machine).
set -Eeuo pipefail

# shellcheck source=tests/e2e/e2e_checks.sh
source "$(dirname "$0")/e2e_checks.sh"
# Not a multiple of the 1 MiB block size, so the last block is a short one.
readonly DEVICE_BYTES=$(( 12 * 1024 * 1024 + 256 * 1024 ))
readonly CLI_TIMEOUT=${GM_E2E_CLI_TIMEOUT:-60}


[ $# -eq 1 ] || die "usage: $0 PATH-TO-gravelmoor-cli"
CLI=$1
[ -x "$CLI" ] || die "not an executable: $CLI"
[ "$(id -u)" -eq 0 ] || skip "needs root to attach loop devices and mount"
for tool in losetup sfdisk partx mkfs.ext4 mount umount mountpoint blockdev md5sum cmp gzip setsid timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -e /dev/loop-control ] || skip "no /dev/loop-control (loop driver not loaded)"

SCRATCH_NAME=test_write_loop
SCRATCH_FAIL=1
# shellcheck source=scripts/scratch.sh
source "$(dirname "$0")/../../scripts/scratch.sh"
# Besides scratch.sh's own loop device: the other loop devices and the mount.
LOOPS=()
MOUNTED=""
cleanup_all() {
  local dev
  [ -z "$MOUNTED" ] || umount "$MOUNTED" 2>/dev/null || umount -l "$MOUNTED" 2>/dev/null || true
  MOUNTED=""
  for dev in "${LOOPS[@]}"; do losetup -d "$dev" 2>/dev/null || echo "$SCRATCH_NAME: could not detach $dev" >&2; done
  LOOPS=()
  scratch_cleanup
}
trap cleanup_all EXIT

WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-write.XXXXXX")

# attach FILE [losetup options]: sets ATTACHED to the loop device now backed
# by FILE (a new file of DEVICE_BYTES zero bytes).
attach() {
  local file=$1
  shift
  truncate -s "$DEVICE_BYTES" "$file"
  ATTACHED=$(losetup --find --show "$@" "$file") || skip "no loop device could be attached"
  LOOPS+=("$ATTACHED")
}

# run_cli NAME ARGS...: the CLI in the C locale with no terminal at all;
# sets RC, OUT and ERR (files).
run_cli() {
  local name=$1
  shift
  OUT=$WORK/$name.out
  ERR=$WORK/$name.err
  RC=0
  LC_ALL=C timeout --kill-after=5 "$CLI_TIMEOUT" setsid -w "$CLI" "$@" </dev/null >"$OUT" 2>"$ERR" &
  CHILD_PID=$!
  wait "$CHILD_PID" || RC=$?
  CHILD_PID=""
}

show() { sed 's/^/    /' "$OUT" "$ERR"; }

# expect NAME RC [LINE...]: the exit status, and each LINE as a whole line
# of the log.
expect() {
  local name=$1 want=$2 line ok=1
  shift 2
  [ "$RC" -eq "$want" ] || ok=0
  for line in "$@"; do grep -q -F -x -- "$line" "$OUT" || ok=0; done
  if [ "$ok" -eq 1 ]; then
    pass "$name: exit $want${1:+, says \"$1\"}"
  else
    fail "$name: exit $RC (want $want), output:"
    show
  fi
}

# holds NAME DEVICE FILE: the device holds exactly the file's bytes.
holds() {
  blockdev --flushbufs "$2"
  if cmp -s -- "$2" "$3"; then pass "$1: $2 equals $(basename "$3")"; else fail "$1: $2 differs from $3"; fi
}

unchanged() {
  blockdev --flushbufs "$2"
  if [ "$(md5sum <"$2")" = "$3" ]; then pass "$1: $2 unchanged"; else fail "$1: $2 changed"; fi
}

IMG=$WORK/image.gmi
OTHER=$WORK/other.gmi
head -c "$DEVICE_BYTES" /dev/urandom >"$IMG"
head -c "$DEVICE_BYTES" /dev/urandom >"$OTHER"
attach "$WORK/a.bin"
LOOP_A=$ATTACHED
attach "$WORK/b.bin"
LOOP_B=$ATTACHED
echo "attached $LOOP_A and $LOOP_B"

echo "without a terminal and without --yes the answer is No"
zeros=$(md5sum <"$LOOP_A")
run_cli no-yes write "$IMG" "$LOOP_A"
expect no-yes 1 "[ERROR] the write was not confirmed; no drive was written."
unchanged no-yes "$LOOP_A" "$zeros"
grep -q -F -x "$LOOP_A ($DEVICE_BYTES)" "$ERR" && pass "no-yes: the drive is listed with its size" ||
  fail "no-yes: no line '$LOOP_A ($DEVICE_BYTES)' in: $(cat "$ERR")"

echo "a raw image to two drives"
run_cli two write --yes "$IMG" "$LOOP_A" "$LOOP_B"
expect two 0 "  $LOOP_A - DISK WRITE=OK" "  $LOOP_B - DISK WRITE=OK"
holds two "$LOOP_A" "$IMG"
holds two "$LOOP_B" "$IMG"

echo "write, then the compare pass"
run_cli verify-pass write --yes --verify "$OTHER" "$LOOP_A"
expect verify-pass 0 "$LOOP_A - $DEVICE_BYTES bytes checked." "  $LOOP_A - DISK WRITE=OK, VERIFY=OK"
holds verify-pass "$LOOP_A" "$OTHER"

echo "write, then the MD5 read-back"
digest=$(md5sum <"$IMG" | cut -d' ' -f1)
run_cli md5 write --yes --md5-verify "$IMG" "$LOOP_A" "$LOOP_B"
expect md5 0 "IMAGE MD5SUM=$digest" "$LOOP_A MD5SUM=$digest" "$LOOP_B MD5SUM=$digest" "  $LOOP_A - DISK WRITE=OK, MD5SUM CHECK=OK"

echo "differences only, on a drive that already holds the image"
run_cli diff-only write --yes --diff-only "$IMG" "$LOOP_A"
expect diff-only 0 "$LOOP_A - 0 bytes wrote (skip=$DEVICE_BYTES)." "  $LOOP_A - DISK WRITE=OK"

echo "a gzip file (with its name inside) written byte for byte"
cp -- "$OTHER" "$WORK/payload.bin"
gzip -6 "$WORK/payload.bin"
run_cli gz write --yes --compress "$WORK/payload.bin.gz" "$LOOP_B"
expect gz 0 "  $LOOP_B - DISK WRITE=OK"
holds gz "$LOOP_B" "$OTHER"

echo "verify: an identical drive and a changed one"
run_cli verify-same verify "$IMG" "$LOOP_A"
expect verify-same 0 "  $LOOP_A - VERIFY=OK"
run_cli restore write --yes "$IMG" "$LOOP_B"
expect restore 0 "  $LOOP_B - DISK WRITE=OK"
# 16 bytes 3 bytes into the sixth MiB: one 512-byte sector differs.
printf 'GRAVELMOOR-E2E!!' | dd of="$LOOP_B" bs=1 seek=$(( 5 * 1024 * 1024 + 3 )) conv=notrunc,fsync status=none
run_cli verify-changed verify "$IMG" "$LOOP_A" "$LOOP_B"
expect verify-changed 1 "  $LOOP_A - VERIFY=OK" "  $LOOP_B - VERIFY=NG" \
  "[WARNING] $LOOP_B - compare mismatch" "[WARNING] $LOOP_B - 00500000-005001FF"

echo "five drives, and one drive under two names"
before_a=$(md5sum <"$LOOP_A")
run_cli five write --yes "$OTHER" "$LOOP_A" "$LOOP_B" "$LOOP_A" "$LOOP_B" "$LOOP_A"
expect five 2
grep -q "too many drives: 5 given" "$ERR" && pass "five: says why" || fail "five: $(cat "$ERR")"
ln -s "$LOOP_A" "$WORK/alias"
run_cli twice write --yes "$OTHER" "$LOOP_A" "$WORK/alias"
expect twice 1 "[ERROR] $LOOP_A and $WORK/alias are the same drive: give each drive once."
unchanged twice "$LOOP_A" "$before_a"

echo "a drive with a mounted partition"
attach "$WORK/c.bin" --partscan
LOOP_C=$ATTACHED
echo 'start=2048, type=83' | sfdisk -q "$LOOP_C" >/dev/null
[ -b "${LOOP_C}p1" ] || partx -a "$LOOP_C" 2>/dev/null || true
[ -b "${LOOP_C}p1" ] || skip "the partition ${LOOP_C}p1 did not show up"
mkfs.ext4 -q -F "${LOOP_C}p1"
mkdir "$WORK/mnt"
# Read-only: the file system writes nothing of its own, so the device's
# digest shows exactly what the CLI did.
mount -o ro "${LOOP_C}p1" "$WORK/mnt"
MOUNTED=$WORK/mnt
before_c=$(md5sum <"$LOOP_C")
run_cli mounted write --yes "$OTHER" "$LOOP_A" "$LOOP_C"
expect mounted 1
grep -q -F "[ERROR] can't write disk $LOOP_C: " "$OUT" && pass "mounted: refused" || { fail "mounted: not refused"; show; }
if grep -q '^WRITE ' "$OUT"; then fail "mounted: the write started"; else pass "mounted: the write never started"; fi
unchanged mounted "$LOOP_C" "$before_c"
unchanged mounted "$LOOP_A" "$before_a"
mountpoint -q "$WORK/mnt" && pass "mounted: still mounted" || fail "mounted: no longer mounted"

finish write_loop
