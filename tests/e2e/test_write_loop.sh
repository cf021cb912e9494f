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

SCRATCH_NAME=test_write_loop
# Not a multiple of the 1 MiB block size, so the last block is a short one.
readonly DEVICE_BYTES=$(( 12 * 1024 * 1024 + 256 * 1024 ))
E2E_TOOLS="gzip zcat sha256sum"
# shellcheck source=tests/e2e/e2e_loops.sh
source "$(dirname "$0")/e2e_loops.sh"

IMG=$WORK/image.gmi
OTHER=$WORK/other.gmi
head -c "$DEVICE_BYTES" /dev/urandom >"$IMG"
head -c "$DEVICE_BYTES" /dev/urandom >"$OTHER"
attach "$WORK/a.bin" zero
LOOP_A=$ATTACHED
attach "$WORK/b.bin" zero
LOOP_B=$ATTACHED
NAME_A=$(disk_name "$LOOP_A")
NAME_B=$(disk_name "$LOOP_B")
echo "attached $LOOP_A ($NAME_A) and $LOOP_B ($NAME_B)"

echo "without a terminal and without --yes the answer is No"
zeros=$(md5sum <"$LOOP_A")
run_cli no-yes write "$IMG" "$LOOP_A"
expect no-yes 1 "[ERROR] the write was not confirmed; no drive was written."
unchanged no-yes "$LOOP_A" "$zeros"
grep -q -F "$LOOP_A ($DEVICE_BYTES)" "$ERR" && pass "no-yes: the drive is listed with its size" ||
  fail "no-yes: no line '$LOOP_A ($DEVICE_BYTES)' in: $(cat "$ERR")"

echo "a raw image to two drives"
run_cli two write --yes "$IMG" "$LOOP_A" "$LOOP_B"
expect two 0 "WRITE $IMG => $NAME_A, $NAME_B" "  file size=$DEVICE_BYTES bytes." "  $NAME_A - DISK WRITE=OK" \
  "  $NAME_B - DISK WRITE=OK"
if grep -q 'MD5SUM' "$OUT"; then fail "two: a digest without the MD5 check"; else pass "two: no digest"; fi
holds two "$LOOP_A" "$IMG"
holds two "$LOOP_B" "$IMG"

echo "write, then the compare pass"
run_cli verify-pass write --yes --verify "$OTHER" "$LOOP_A"
expect verify-pass 0 "$NAME_A - $DEVICE_BYTES bytes checked." "  $NAME_A - DISK WRITE=OK, VERIFY=OK"
holds verify-pass "$LOOP_A" "$OTHER"

echo "write, then the MD5 read-back"
digest=$(md5sum <"$IMG" | cut -d' ' -f1)
run_cli md5 write --yes --md5-verify "$IMG" "$LOOP_A" "$LOOP_B"
expect md5 0 "IMAGE MD5SUM=$digest" "$NAME_A MD5SUM=$digest" "$NAME_B MD5SUM=$digest" "  $NAME_A - DISK WRITE=OK, MD5SUM CHECK=OK"

echo "a .gmz checked against the published SHA-256 of its data"
gzip -n -c "$OTHER" >"$WORK/other.gmz"
(cd "$WORK" && zcat other.gmz | sha256sum | sed 's/-$/other.gmz/' >SHA256SUMS)
run_cli check write --yes --check "$WORK/SHA256SUMS" "$WORK/other.gmz" "$LOOP_A"
expect check 0 "the SHA-256 of the image data matches $WORK/SHA256SUMS." "  $NAME_A - DISK WRITE=OK, IMAGE CHECK=OK"
holds check "$LOOP_A" "$OTHER"
run_cli restore-a write --yes "$IMG" "$LOOP_A"
expect restore-a 0 "  $NAME_A - DISK WRITE=OK"

echo "differences only, on a drive that already holds the image"
run_cli diff-only write --yes --diff-only "$IMG" "$LOOP_A"
expect diff-only 0 "$NAME_A - 0 bytes wrote (skip=$DEVICE_BYTES)." "  $NAME_A - DISK WRITE=OK"

echo "a gzip file (with its name inside) written byte for byte"
cp -- "$OTHER" "$WORK/payload.bin"
gzip -6 "$WORK/payload.bin"
run_cli gz write --yes --compress "$WORK/payload.bin.gz" "$LOOP_B"
expect gz 0 "  $NAME_B - DISK WRITE=OK"
holds gz "$LOOP_B" "$OTHER"

echo "verify: an identical drive and a changed one"
run_cli verify-same verify "$IMG" "$LOOP_A"
expect verify-same 0 "  $NAME_A - VERIFY=OK"
run_cli restore write --yes "$IMG" "$LOOP_B"
expect restore 0 "  $NAME_B - DISK WRITE=OK"
# 16 bytes 3 bytes into the sixth MiB: one 512-byte sector differs.
printf 'GRAVELMOOR-E2E!!' | dd of="$LOOP_B" bs=1 seek=$(( 5 * 1024 * 1024 + 3 )) conv=notrunc,fsync status=none
run_cli verify-changed verify "$IMG" "$LOOP_A" "$LOOP_B"
expect verify-changed 1 "VERIFY $IMG <=> $NAME_A, $NAME_B" "  file size=$DEVICE_BYTES bytes." \
  "  $NAME_A - VERIFY=OK" "  $NAME_B - VERIFY=NG" \
  "[WARNING] $NAME_B - compare mismatch" "[WARNING] $NAME_B - 00500000-005001FF"

echo "five drives, and one drive under two names"
before_a=$(md5sum <"$LOOP_A")
run_cli five write --yes "$OTHER" "$LOOP_A" "$LOOP_B" "$LOOP_A" "$LOOP_B" "$LOOP_A"
expect five 2
grep -q "too many drives: 5 given" "$ERR" && pass "five: says why" || fail "five: $(cat "$ERR")"
ln -s "$LOOP_A" "$WORK/alias"
run_cli twice write --yes "$OTHER" "$LOOP_A" "$WORK/alias"
expect twice 1 "[ERROR] $LOOP_A and $WORK/alias are the same drive: give each drive once."
unchanged twice "$LOOP_A" "$before_a"

echo "a drive with a mounted partition, with --share-read: no volume is touched, the write is refused"
attach_mounted "$WORK/c.bin" "$WORK/mnt"
LOOP_C=$ATTACHED
NAME_C=$(disk_name "$LOOP_C")
echo 'precious' >"$WORK/mnt/file.txt"
sync
before_c=$(md5sum <"$LOOP_C")
run_cli shared write --yes --share-read "$OTHER" "$LOOP_C"
expect shared 1 "[ERROR] can't write disk $LOOP_C: Device or resource busy."
if grep -q ' lock\.\.\.\| unmount\.\.\.' "$OUT"; then fail "shared: a volume was touched"; else pass "shared: no volume touched"; fi
unchanged shared "$LOOP_C" "$before_c"
mountpoint -q "$WORK/mnt" && pass "shared: still mounted" || fail "shared: no longer mounted"

echo "without --share-read the job unmounts the partition, writes, compares and leaves it unmounted"
run_cli mounted write --yes --verify "$OTHER" "$LOOP_C"
expect mounted 0 "Volume $PARTITION lock...OK." "Volume $PARTITION unmount...OK." "  $NAME_C - DISK WRITE=OK, VERIFY=OK"
holds mounted "$LOOP_C" "$OTHER"
if mountpoint -q "$WORK/mnt"; then fail "mounted: mounted again"; else pass "mounted: left unmounted"; fi
run_cli again write --yes --share-read "$IMG" "$LOOP_C"
expect again 0 "  $NAME_C - DISK WRITE=OK"

echo "a file system on the whole disk, mounted: unmounted, written, compared and left unmounted"
attach_superfloppy "$WORK/s.bin" "$WORK/sf"
LOOP_S=$ATTACHED
NAME_S=$(disk_name "$LOOP_S")
run_cli superfloppy write --yes --verify "$OTHER" "$LOOP_S"
expect superfloppy 0 "Volume $LOOP_S unmount...OK." "  $NAME_S - DISK WRITE=OK, VERIFY=OK"
holds superfloppy "$LOOP_S" "$OTHER"
if mountpoint -q "$WORK/sf"; then fail "superfloppy: mounted again"; else pass "superfloppy: left unmounted"; fi

echo "the image on a file system of the drive: refused before anything is unmounted"
attach_mounted "$WORK/d.bin" "$WORK/d1" "$WORK/d2"
LOOP_D=$ATTACHED
OWN=$WORK/d1/own.gmi
head -c 1048576 /dev/urandom >"$OWN"
run_cli own-verify verify "$OWN" "$LOOP_D"
expect own-verify 1 "[ERROR] can't verify disk $LOOP_D: the image file $OWN is stored on it, on a file system the job \
would unmount; give --share-read to leave its volumes mounted."
run_cli own-write write --yes --force-write "$OWN" "$LOOP_D"
expect own-write 1 "[ERROR] can't write disk $LOOP_D: the image file $OWN is stored on it."
if [ -s "$ERR" ]; then fail "own-write: something was asked: $(cat "$ERR")"; else pass "own-write: nothing asked"; fi
if grep -q ' lock\.\.\.' "$WORK/own-verify.out" "$OUT"; then fail "own: a volume was locked"; else
  pass "own: no volume locked"; fi
if mountpoint -q "$WORK/d1" && mountpoint -q "$WORK/d2"; then pass "own: both partitions still mounted"; else
  fail "own: a partition was unmounted"; fi

finish write_loop
