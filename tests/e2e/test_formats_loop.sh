#!/usr/bin/env bash
# End-to-end test of the compressed image formats: images made by the
# standard tools xz, zstd and bzip2 (one block or frame, and several) are
# written to two loop devices with a compare pass, verified and checksummed;
# a cut and a damaged copy of each fail all three jobs. Zip archives made by
# zip: the image alone or beside a README is written, verified and
# checksummed; one of two images is refused with what it holds; a damaged
# one fails all three jobs. A loop device read into a .zst gives one frame
# of its bytes that zstd takes and that writes back; a read into .zst
# stopped by SIGTERM leaves a whole frame of what it says; a read into .xz
# is refused. The loop devices are attached to temporary files and always
# detached again; no other device is opened.
#
# Usage: test_formats_loop.sh PATH-TO-gravelmoor-cli
# Exit status: 0 every check passed, 1 a check failed, 77 skipped (not root,
# or no loop devices or tools on this machine).
set -Eeuo pipefail

SCRATCH_NAME=test_formats_loop
# 8 MiB and a bit: the last block is a short one.
readonly DEVICE_BYTES=$(( 8 * 1024 * 1024 + 64 * 1024 ))
E2E_TOOLS="xz zstd bzip2 zip dd"
# shellcheck source=tests/e2e/e2e_loops.sh
source "$(dirname "$0")/e2e_loops.sh"

# 1 MiB that does not compress, then numbers that do (little random data
# keeps the tools fast).
DATA=$WORK/data.bin
{ head -c 1048576 /dev/urandom; seq 1 2000000 | head -c $((DEVICE_BYTES - 1048576)) || true; } >"$DATA"
[ "$(stat -c %s "$DATA")" -eq "$DEVICE_BYTES" ] || die "the data are not $DEVICE_BYTES bytes"
SUM=$(md5sum <"$DATA" | cut -d' ' -f1)
xz -1 -c "$DATA" >"$WORK/one-block.xz"
xz -1 -T2 --block-size=1MiB -c "$DATA" >"$WORK/blocks.xz"
zstd -q -c "$DATA" >"$WORK/frame.zst"
zstd -q -T2 -c "$DATA" >"$WORK/threads.zst"
bzip2 -1 -c "$DATA" >"$WORK/stream.bz2"
attach "$WORK/a.bin" zero
LOOP_A=$ATTACHED
attach "$WORK/b.bin" zero
LOOP_B=$ATTACHED
NAME_A=$(disk_name "$LOOP_A")
NAME_B=$(disk_name "$LOOP_B")
echo "attached $LOOP_A ($NAME_A) and $LOOP_B ($NAME_B)"

# gave_up NAME: the job failed, and the image reader said why.
gave_up() {
  if [ "$RC" -ne 0 ] && grep -q '^\[ERROR\] file compress read error (' "$OUT"; then
    pass "$1: exit $RC, the reader gave up"
  else
    fail "$1: exit $RC, output:"
    show
  fi
}

for image in one-block.xz blocks.xz frame.zst threads.zst stream.bz2; do
  IMG=$WORK/$image
  echo "$image: write with the compare pass, verify, checksum"
  run_cli "$image-write" write --yes --verify "$IMG" "$LOOP_A" "$LOOP_B"
  expect "$image-write" 0 "  $NAME_A - DISK WRITE=OK, VERIFY=OK" "  $NAME_B - DISK WRITE=OK, VERIFY=OK"
  holds "$image-write" "$LOOP_A" "$DATA"
  holds "$image-write" "$LOOP_B" "$DATA"
  run_cli "$image-verify" verify "$IMG" "$LOOP_A"
  expect "$image-verify" 0 "  $NAME_A - VERIFY=OK"
  echo "$SUM $image" >"$IMG.md5sum"
  run_cli "$image-checksum" checksum "$IMG"
  expect "$image-checksum" 0 "IMAGE MD5SUM=$SUM" "IMAGE DATA SIZE=$DEVICE_BYTES bytes" "  $IMG.md5sum - OK"

  size=$(stat -c %s "$IMG")
  head -c $((size * 3 / 5)) "$IMG" >"$WORK/cut-$image"
  cp "$IMG" "$WORK/flipped-$image"
  flip "$WORK/flipped-$image" $((size / 2))
  for bad in "cut-$image" "flipped-$image"; do
    run_cli "$bad-write" write --yes "$WORK/$bad" "$LOOP_B"
    gave_up "$bad-write"
    run_cli "$bad-verify" verify "$WORK/$bad" "$LOOP_A"
    gave_up "$bad-verify"
    run_cli "$bad-checksum" checksum "$WORK/$bad"
    expect "$bad-checksum" 1 "[ERROR] the checksum of $WORK/$bad could not be computed."
  done
done

echo "read into .zst: one frame of the device with its checksum, the device's digest; written back and verified"
run_cli read-zst read --md5sum --verify "$LOOP_A" "$WORK/read.zst"
expect read-zst 0 "DISK MD5SUM=$SUM" "$NAME_A - $DEVICE_BYTES bytes dumped." "  $NAME_A - GRAVELMOOR=OK, VERIFY=OK"
if zstd -q -t "$WORK/read.zst" && zstd -dc "$WORK/read.zst" | cmp -s - "$DATA" &&
   zstd -lv "$WORK/read.zst" 2>/dev/null | grep -q -x "# Zstandard Frames: 1" &&
   zstd -lv "$WORK/read.zst" 2>/dev/null | grep -q "^Check: XXH64"; then
  pass "read-zst: zstd -t takes its one frame, with a checksum, and it decodes to the device"
else
  fail "read-zst: zstd says: $(zstd -lv "$WORK/read.zst" 2>&1 | tr '\n' '|')"
fi
if [ "$(cut -d' ' -f1 "$WORK/read.zst.md5sum")" = "$SUM" ]; then pass "read-zst: the .md5sum holds the data's digest"
else fail "read-zst: .md5sum: $(cat "$WORK/read.zst.md5sum")"; fi
dd if=/dev/zero of="$LOOP_B" bs=1M count=1 conv=notrunc status=none
run_cli read-zst-back write --yes --verify "$WORK/read.zst" "$LOOP_B"
expect read-zst-back 0 "  $NAME_B - DISK WRITE=OK, VERIFY=OK"
holds read-zst-back "$LOOP_B" "$DATA"
run_cli read-xz read --yes "$LOOP_A" "$WORK/new.xz"
expect read-xz 1 "[ERROR] can't make $WORK/new.xz: this program writes images as raw (.gmi, .dd), gzip (.gmz, .gz) \
or zstd (.zst)."
if [ -e "$WORK/new.xz" ] || [ -s "$ERR" ]; then fail "read-xz: a file was made or something asked"
else pass "read-xz: nothing made, nothing asked"; fi

echo "a read into .zst stopped by SIGTERM leaves a whole frame of what it says it holds"
truncate -s 64G "$WORK/endless.bin"
LC_ALL=C "$CLI" read --yes "$WORK/endless.bin" "$WORK/stop.zst" </dev/null >"$WORK/stop.out" 2>&1 &
STOP_PID=$!
sleep 2
kill -s TERM "$STOP_PID"
RC=0
wait "$STOP_PID" || RC=$?
held=$(sed -n 's/^\[ERROR\] stopped by SIGTERM.*: the image .* is incomplete; it holds \([0-9]*\) of the drive.*/\1/p' \
  "$WORK/stop.out")
if [ "$RC" -eq 143 ] && [ -n "$held" ] && zstd -q -t "$WORK/stop.zst" &&
   [ "$(zstd -dc "$WORK/stop.zst" | wc -c)" -eq "$held" ]; then
  pass "stop-zst: exit 143, zstd -t takes it, and it decodes to the $held bytes the stop line says"
else
  fail "stop-zst: exit $RC, held '$held':"; sed 's/^/    /' "$WORK/stop.out"
fi
rm -f "$WORK/endless.bin" "$WORK/stop.zst"

echo "a name that promises another format is refused before anything is asked"
cp "$WORK/one-block.xz" "$WORK/misnamed.zst"
run_cli misnamed write --yes "$WORK/misnamed.zst" "$LOOP_B"
expect misnamed 1 "[ERROR] $WORK/misnamed.zst is not a zstd file: its first bytes are not those of a zstd stream."
if [ -s "$ERR" ]; then fail "misnamed: something was asked: $(cat "$ERR")"; else pass "misnamed: nothing asked"; fi

echo "a raw name holds its bytes as they are, with a warning"
head -c "$DEVICE_BYTES" /dev/zero | xz -c >"$WORK/zeros.img"
truncate -s "$DEVICE_BYTES" "$WORK/zeros.img"
run_cli raw-name write --yes "$WORK/zeros.img" "$LOOP_B"
expect raw-name 0 "[WARNING] $WORK/zeros.img starts as an xz file does; it is read as a raw image, byte for byte, \
all the same (an image is decompressed when its name ends in .xz)." "  $NAME_B - DISK WRITE=OK"
holds raw-name "$LOOP_B" "$WORK/zeros.img"

echo "zip archives: the image alone, or beside a README; two images; a damaged member"
mkdir "$WORK/zip"
cp "$DATA" "$WORK/zip/disk.img"
echo "Write disk.img to a stick of 8 MiB or more." >"$WORK/zip/README.txt"
(
  cd "$WORK/zip"
  zip -q ../alone.zip disk.img
  zip -q ../readme.zip README.txt disk.img
  cp disk.img disk2.img
  zip -q -0 ../two.zip disk.img disk2.img
)
for image in alone.zip readme.zip; do
  IMG=$WORK/$image
  run_cli "$image-write" write --yes --verify "$IMG" "$LOOP_A"
  expect "$image-write" 0 "  $NAME_A - DISK WRITE=OK, VERIFY=OK"
  holds "$image-write" "$LOOP_A" "$DATA"
  echo "$SUM $image" >"$IMG.md5sum"
  run_cli "$image-checksum" checksum "$IMG"
  expect "$image-checksum" 0 "CHECKSUM $IMG (compressed, zip)" "IMAGE MD5SUM=$SUM" \
    "IMAGE DATA SIZE=$DEVICE_BYTES bytes" "  $IMG.md5sum - OK"
done
run_cli zip-verify verify "$WORK/readme.zip" "$LOOP_A"
expect zip-verify 0 "  $NAME_A - VERIFY=OK"
run_cli two-images write --yes "$WORK/two.zip" "$LOOP_B"
expect two-images 1 "[ERROR] can't read $WORK/two.zip: a zip image must hold one file, or one file named .img, \
.iso, .bin, .dd or .gmi beside files of at most 1 MiB; this one holds 2:" "  disk.img ($DEVICE_BYTES bytes)" \
  "  disk2.img ($DEVICE_BYTES bytes)"
if [ -s "$ERR" ]; then fail "two-images: something was asked: $(cat "$ERR")"; else pass "two-images: nothing asked"; fi
size=$(stat -c %s "$WORK/readme.zip")
cp "$WORK/readme.zip" "$WORK/flipped.zip"
flip "$WORK/flipped.zip" $((size / 2))
run_cli flipped.zip-write write --yes "$WORK/flipped.zip" "$LOOP_B"
gave_up flipped.zip-write
# (its CRC-32 is checked at the member's end: the compare may find the
# damage first)
run_cli flipped.zip-verify verify "$WORK/flipped.zip" "$LOOP_A"
expect flipped.zip-verify 1 "  $NAME_A - VERIFY=NG"
run_cli flipped.zip-checksum checksum "$WORK/flipped.zip"
expect flipped.zip-checksum 1 "[ERROR] the checksum of $WORK/flipped.zip could not be computed."

finish formats_loop
