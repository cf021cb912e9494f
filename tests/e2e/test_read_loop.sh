#!/usr/bin/env bash
# End-to-end test of `gravelmoor-cli read` on a real block device: a loop
# device that this script attaches to a temporary file, formats with ext4 and
# always detaches again. It never opens any other device.
#
# Usage: test_read_loop.sh PATH-TO-gravelmoor-cli
# Exit status: 0 every check passed, 1 a check failed, 77 skipped (not root,
# or no loop devices / losetup / mkfs.ext4 on this machine).
set -Eeuo pipefail

# shellcheck source=tests/e2e/e2e_checks.sh
source "$(dirname "$0")/e2e_checks.sh"
# Not a multiple of the 1 MiB block size, so the last block is a short one.
readonly DEVICE_BYTES=$(( 48 * 1024 * 1024 + 768 * 1024 ))
# Upper bound in seconds for one CLI run; a run that takes longer is reported
# as a hang.
readonly CLI_TIMEOUT=${GM_E2E_CLI_TIMEOUT:-180}


[ $# -eq 1 ] || die "usage: $0 PATH-TO-gravelmoor-cli"
CLI=$1
[ -x "$CLI" ] || die "not an executable: $CLI"

[ "$(id -u)" -eq 0 ] || skip "needs root to attach a loop device"
for tool in losetup mkfs.ext4 blockdev md5sum cmp setsid timeout gzip od; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -e /dev/loop-control ] || skip "no /dev/loop-control (loop driver not loaded)"

SCRATCH_NAME=test_read_loop
SCRATCH_FAIL=1
# shellcheck source=scripts/scratch.sh
source "$(dirname "$0")/../../scripts/scratch.sh"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-read.XXXXXX")
BACKING=$WORK/backing.bin
truncate -s "$DEVICE_BYTES" "$BACKING"

if ! LOOP_DEV=$(losetup --find --show "$BACKING" 2>"$WORK/losetup.err"); then
  LOOP_DEV=""
  skip "losetup could not attach a loop device: $(cat "$WORK/losetup.err")"
fi
[ -b "$LOOP_DEV" ] || die "losetup returned '$LOOP_DEV', not a block device"
echo "attached $LOOP_DEV to $BACKING"

# A real file system with files of random data (several blocks, an odd size,
# an empty file, nested directories), built without mounting anything.
STAGE=$WORK/stage
mkdir -p "$STAGE/sub/deeper"
head -c $(( 3 * 1024 * 1024 )) /dev/urandom >"$STAGE/random-3M.bin"
head -c 123457 /dev/urandom >"$STAGE/odd-size.bin"
head -c $(( 5 * 1024 * 1024 + 17 )) /dev/urandom >"$STAGE/sub/random-5M.bin"
head -c 4096 /dev/urandom >"$STAGE/sub/deeper/one-block.bin"
: >"$STAGE/empty"
mkfs.ext4 -q -F -d "$STAGE" -L gm-e2e "$LOOP_DEV"
# Write back and drop the device's page cache: the CLI reads the device
# unbuffered and must see what mkfs wrote.
blockdev --flushbufs "$LOOP_DEV"

DEV_SIZE=$(blockdev --getsize64 "$LOOP_DEV")
[ "$DEV_SIZE" -eq "$DEVICE_BYTES" ] || die "loop device is $DEV_SIZE bytes, expected $DEVICE_BYTES"
DEV_MD5=$(md5sum <"$LOOP_DEV" | cut -d' ' -f1)
echo "device: $DEV_SIZE bytes, md5 $DEV_MD5"


# run_cli NAME ARGS... runs the CLI in the C locale with no terminal at all
# (stdin from /dev/null, a new session without a controlling terminal),
# stdout to $WORK/NAME.out, stderr to $WORK/NAME.err; sets RC. It runs in the
# background so that INT and TERM reach this script at once.
run_cli() {
  local name=$1
  shift
  OUT=$WORK/$name.out
  ERR=$WORK/$name.err
  RC=0
  LC_ALL=C timeout --kill-after=10 "$CLI_TIMEOUT" setsid -w "$CLI" "$@" \
    </dev/null >"$OUT" 2>"$ERR" &
  CHILD_PID=$!
  wait "$CHILD_PID" || RC=$?
  CHILD_PID=""
  if [ "$RC" -eq 124 ] || [ "$RC" -eq 137 ]; then
    fail "$name: gravelmoor-cli $* did not finish within ${CLI_TIMEOUT}s (hung?)"
  fi
}

show_output() {
  echo "    --- stdout ---"
  sed 's/^/    /' "$OUT"
  echo "    --- stderr ---"
  sed 's/^/    /' "$ERR"
}

expect_rc() {
  local name=$1 want=$2
  if [ "$RC" -eq "$want" ]; then
    pass "$name: exit status $want"
  else
    fail "$name: exit status $RC, expected $want"
    show_output
  fi
}

# The digest the CLI printed, or nothing; there must be exactly one such line.
printed_digest() {
  local lines
  lines=$(grep -c '^DISK MD5SUM=' "$OUT" || true)
  if [ "$lines" -ne 1 ]; then
    return 0
  fi
  sed -n 's/^DISK MD5SUM=\([0-9a-f]\{32\}\)$/\1/p' "$OUT"
}

# check_good_read NAME IMAGE: the run succeeded and produced an exact copy of
# the device with the right digest and byte count.
check_good_read() {
  local name=$1 image=$2 digest dumped
  expect_rc "$name" 0
  if [ ! -f "$image" ]; then
    fail "$name: image $image was not created"
  elif cmp -- "$LOOP_DEV" "$image" >"$WORK/cmp.out" 2>&1; then
    pass "$name: image equals the device byte for byte"
  else
    fail "$name: image differs from the device: $(cat "$WORK/cmp.out")"
  fi
  digest=$(printed_digest)
  if [ "$digest" = "$DEV_MD5" ]; then
    pass "$name: DISK MD5SUM equals md5sum of the device"
  else
    fail "$name: printed digest '${digest}' (lines: $(grep '^DISK MD5SUM' "$OUT" | tr '\n' '|')), md5sum says $DEV_MD5"
  fi
  dumped=$(sed -n 's/^.* - \([0-9]\{1,\}\) bytes dumped\.$/\1/p' "$OUT")
  if [ "$dumped" = "$DEV_SIZE" ]; then
    pass "$name: 'bytes dumped' line gives the device size"
  else
    fail "$name: 'bytes dumped' gives '${dumped}', device has $DEV_SIZE bytes"
  fi
  if grep -q -e '^\[ERROR\] ' -e '^\[WARNING\] ' "$OUT"; then
    fail "$name: warnings or errors on a clean device:"
    grep -e '^\[ERROR\] ' -e '^\[WARNING\] ' "$OUT" | sed 's/^/    /'
  else
    pass "$name: no warnings or errors"
  fi
}

# --- 1. Read the formatted loop device into a new image --------------------
echo "read of the loop device into a new image"
IMG=$WORK/disk.gmi
run_cli read "read" "$LOOP_DEV" "$IMG"
check_good_read read "$IMG"
# The loop device is a drive of the list, so the job names it by its number.
if grep -q -x -- "READ DISK #[0-9]* => $IMG" "$OUT"; then
  pass "read: 'READ drive => image' line names the device and the image"
else
  fail "read: no line 'READ DISK #N => $IMG'"
  show_output
fi
if [ -s "$ERR" ]; then
  fail "read: standard error is not a terminal, yet the CLI wrote to it:"
  sed 's/^/    /' "$ERR"
else
  pass "read: nothing on standard error when it is not a terminal"
fi
rm -f -- "$IMG"

# --- 2. Same device, other reader settings --------------------------------
echo "read options on the same device"
IMG=$WORK/disk-buffer.gmi
run_cli buffer read --buffer 40 "$LOOP_DEV" "$IMG"
check_good_read buffer "$IMG"
rm -f -- "$IMG"

IMG=$WORK/disk-unstable.gmi
run_cli unstable read --unstable "$LOOP_DEV" "$IMG"
check_good_read unstable "$IMG"
rm -f -- "$IMG"

IMG=$WORK/disk-md5sum.gmi
run_cli md5sum read --md5sum --verify "$LOOP_DEV" "$IMG"
check_good_read md5sum "$IMG"
if grep -q -x -- "  DISK #[0-9]* - GRAVELMOOR=OK, VERIFY=OK" "$OUT"; then
  pass "md5sum: read and compared"
else
  fail "md5sum: no summary line with GRAVELMOOR=OK, VERIFY=OK"
  show_output
fi
if (cd "$WORK" && md5sum -c --status disk-md5sum.gmi.md5sum); then
  pass "md5sum: md5sum -c accepts disk-md5sum.gmi.md5sum"
else
  fail "md5sum: md5sum -c refuses $(cat "$IMG.md5sum" 2>&1)"
fi
rm -f -- "$IMG" "$IMG.md5sum"

# --- 2b. A compressed image -------------------------------------------------
# One gzip member that gzip accepts and that inflates to the device's bytes;
# the digest is still the device's.
echo "read into a compressed image"
IMG=$WORK/disk.GMZ
run_cli gmz read "$LOOP_DEV" "$IMG"
expect_rc gmz 0
if [ "$(head -c 4 "$IMG" | od -An -tx1 | tr -d ' ')" = "1f8b0800" ]; then
  pass "gmz: starts with 1F 8B 08 00"
else
  fail "gmz: header $(head -c 4 "$IMG" | od -An -tx1)"
fi
if gzip -t "$IMG" 2>"$WORK/gzip.err" && gzip -dc "$IMG" | cmp -s - "$LOOP_DEV"; then
  pass "gmz: gzip -t passes and it inflates to the device's bytes"
else
  fail "gmz: gzip says $(cat "$WORK/gzip.err")"
fi
if [ "$(printed_digest)" = "$DEV_MD5" ]; then pass "gmz: the device's digest"; else fail "gmz: digest $(printed_digest)"; fi
run_cli raw-by-option read --no-compress "$LOOP_DEV" "$WORK/forced-raw.gmz"
if cmp -s "$LOOP_DEV" "$WORK/forced-raw.gmz"; then pass "--no-compress: raw despite .gmz"; else fail "--no-compress"; fi
rm -f -- "$IMG" "$WORK/forced-raw.gmz"

# --- 3. An existing image ---------------------------------------------------
# Longer than the device, so an overwrite that does not truncate shows up.
echo "existing image file"
IMG=$WORK/existing.gmi
head -c $(( 1024 * 1024 )) /dev/urandom >"$IMG"
truncate -s $(( DEV_SIZE + 1024 * 1024 )) "$IMG"
printf 'tail marker' >>"$IMG"
cp -- "$IMG" "$WORK/existing.orig"

run_cli existing-no read "$LOOP_DEV" "$IMG"
expect_rc existing-no 1
if cmp -s -- "$IMG" "$WORK/existing.orig"; then
  pass "existing-no: image left untouched without --yes and without a terminal"
else
  fail "existing-no: image was changed although nobody said Yes"
fi
if grep -q -F -x -- "[ERROR] can't create file $IMG." "$OUT"; then
  pass "existing-no: '[ERROR] can't create file' line"
else
  fail "existing-no: no line \"[ERROR] can't create file $IMG.\""
  show_output
fi
if grep -q '^DISK MD5SUM=' "$OUT"; then
  fail "existing-no: a digest was printed although nothing was read"
else
  pass "existing-no: no digest printed"
fi

run_cli existing-yes read --yes "$LOOP_DEV" "$IMG"
check_good_read existing-yes "$IMG"
rm -f -- "$IMG" "$WORK/existing.orig"

# --- 4. Usage errors --------------------------------------------------------
echo "usage errors"
IMG=$WORK/usage.gmi
usage_case() {
  local name=$1
  shift
  run_cli "$name" "$@"
  expect_rc "$name" 2
  if [ -e "$IMG" ]; then
    fail "$name: a usage error created $IMG"
    rm -f -- "$IMG"
  fi
}
usage_case usage-no-command
usage_case usage-unknown-command frobnicate "$LOOP_DEV" "$IMG"
usage_case usage-no-operands read
usage_case usage-missing-image read "$LOOP_DEV"
usage_case usage-extra-operand read "$LOOP_DEV" "$IMG" "$WORK/extra.gmi"
usage_case usage-unknown-option read --no-such-option "$LOOP_DEV" "$IMG"
usage_case usage-bad-buffer read --buffer lots "$LOOP_DEV" "$IMG"
usage_case usage-buffer-without-value read "$LOOP_DEV" "$IMG" --buffer

# --- 5. A drive path that does not exist ------------------------------------
echo "missing drive"
MISSING=$WORK/no-such-drive
IMG=$WORK/from-missing.gmi
run_cli missing read "$MISSING" "$IMG"
expect_rc missing 1
if grep -q -F -x -- "[ERROR] can't open disk $MISSING." "$OUT"; then
  pass "missing: '[ERROR] can't open disk' line"
else
  fail "missing: no line \"[ERROR] can't open disk $MISSING.\""
  show_output
fi
if grep -q -F -- "No such file or directory" "$OUT"; then
  pass "missing: the system error text follows"
else
  fail "missing: no 'No such file or directory' text in the output"
fi
if [ -e "$IMG" ]; then
  fail "missing: an image was created although the drive could not be opened"
else
  pass "missing: no image created"
fi

finish read_loop
