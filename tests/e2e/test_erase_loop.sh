#!/usr/bin/env bash
# End-to-end test of `gravelmoor-cli erase` on real block devices: loop
# devices that this script attaches to temporary files (one of them
# partitioned, with an ext4 file system it mounts on a folder of its own)
# and always unmounts and detaches again. It never opens any other device.
#
# Usage: test_erase_loop.sh PATH-TO-gravelmoor-cli
# Exit status: 0 every check passed, 1 a check failed, 77 skipped (not root,
# or no loop devices or tools on this machine).
set -Eeuo pipefail

SCRATCH_NAME=test_erase_loop
# Not a multiple of the 1 MiB block size, so the last block is a short one.
readonly DEVICE_BYTES=$(( 6 * 1024 * 1024 + 256 * 1024 ))
E2E_TOOLS="od"
# shellcheck source=tests/e2e/e2e_loops.sh
source "$(dirname "$0")/e2e_loops.sh"

# filled NAME DEVICE BYTE: every byte of the device is BYTE (two hex digits).
filled() {
  blockdev --flushbufs "$2"
  if cmp -s -n "$DEVICE_BYTES" -- "$2" <(head -c "$DEVICE_BYTES" /dev/zero | tr '\0' "\\$(printf '%03o' "0x$3")"); then
    pass "$1: $2 holds 0x$3 only"
  else
    fail "$1: $2 does not hold 0x$3 only"
  fi
}

attach "$WORK/a.bin" random
LOOP_A=$ATTACHED
attach "$WORK/b.bin" random
LOOP_B=$ATTACHED
NAME_A=$(disk_name "$LOOP_A")
NAME_B=$(disk_name "$LOOP_B")
echo "attached $LOOP_A ($NAME_A) and $LOOP_B ($NAME_B)"

echo "without a terminal and without --yes the answer is No"
before_a=$(md5sum <"$LOOP_A")
run_cli no-yes erase "$LOOP_A"
expect no-yes 1 "[ERROR] the erase was not confirmed; no drive was erased."
unchanged no-yes "$LOOP_A" "$before_a"
grep -q -F "$LOOP_A ($DEVICE_BYTES)" "$ERR" && pass "no-yes: the drive is listed with its size" ||
  fail "no-yes: no line '$LOOP_A ($DEVICE_BYTES)' in: $(cat "$ERR")"

echo "method 1 on two drives at once"
run_cli zero erase --yes "$LOOP_A" "$LOOP_B"
expect zero 0 "ERASE $NAME_A, $NAME_B" "ERASE Method: Fill zero(0x00)." "$NAME_A - PASS 1/1, WRITE 0x00." \
  "$NAME_B - $DEVICE_BYTES bytes wrote." "  $NAME_A - ERASE=OK" "  $NAME_B - ERASE=OK"
filled zero "$LOOP_A" 00
filled zero "$LOOP_B" 00

echo "method 3 (random) on two drives at once"
run_cli random erase --yes --method 3 "$LOOP_A" "$LOOP_B"
expect random 0 "ERASE Method: Fill random." "$NAME_A - PASS 1/1, WRITE RANDOM-1." "  $NAME_A - ERASE=OK" "  $NAME_B - ERASE=OK"
blockdev --flushbufs "$LOOP_A" "$LOOP_B"
# Random bytes: about one in 256 is zero; far more means the drive was not
# written. Each drive is seeded with the clock's tick plus its slot, so two
# threads that start a tick apart may write the same sequence: each drive is
# checked on its own.
for loop in "$LOOP_A" "$LOOP_B"; do
  zero_bytes=$(od -An -v -tx1 "$loop" | tr -s ' ' '\n' | grep -c '^00$' || true)
  if [ "$zero_bytes" -lt $(( DEVICE_BYTES / 128 )) ]; then pass "random: $loop no longer holds zeros"; else
    fail "random: $loop still holds $zero_bytes zero bytes"; fi
done

echo "a verification pass, and write-differences-only on a drive that needs nothing"
run_cli verify erase --yes --method 17 "$LOOP_A"
expect verify 0 "$NAME_A - PASS 2/2, VERIFY 0x00." "$NAME_A - $DEVICE_BYTES bytes wrote." "  $NAME_A - ERASE=OK"
run_cli diff-only erase --yes --diff-only "$LOOP_A"
expect diff-only 0 "$NAME_A - 0 bytes wrote (skip=$DEVICE_BYTES)." "  $NAME_A - ERASE=OK"

echo "a drive with a mounted partition: the job unmounts it and erases the whole drive"
attach_mounted "$WORK/c.bin" "$WORK/mnt"
LOOP_C=$ATTACHED
NAME_C=$(disk_name "$LOOP_C")
run_cli mounted erase --yes "$LOOP_C"
expect mounted 0 "Volume $PARTITION lock...OK." "Volume $PARTITION unmount...OK." "  $NAME_C - ERASE=OK"
filled mounted "$LOOP_C" 00
if mountpoint -q "$WORK/mnt"; then fail "mounted: mounted again"; else pass "mounted: left unmounted"; fi

echo "a file system on the whole disk, mounted: the job unmounts it and erases the drive"
attach_superfloppy "$WORK/s.bin" "$WORK/sf"
NAME_S=$(disk_name "$ATTACHED")
run_cli superfloppy erase --yes "$ATTACHED"
expect superfloppy 0 "Volume $ATTACHED unmount...OK." "  $NAME_S - ERASE=OK"
filled superfloppy "$ATTACHED" 00

finish erase_loop
