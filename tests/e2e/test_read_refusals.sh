#!/usr/bin/env bash
# End-to-end test of what `gravelmoor-cli read` refuses and how it fails,
# on things this script makes itself: a loop device over a temporary file
# (with an ext4 file system it mounts on a folder of its own), a small
# tmpfs that fills up, a FIFO, /dev/zero, and a libcrypto configuration
# that refuses MD5. Nothing that exists before the run may change. It also
# reads that loop device while its file system (on the whole disk) is
# mounted, and holds it with one read while a second one tries it.
#
# Usage: test_read_refusals.sh PATH-TO-gravelmoor-cli
# Exit status: 0 every check passed, 1 a check failed, 77 skipped (not root,
# or no loop devices / mkfs.ext4 on this machine).
set -Eeuo pipefail

# shellcheck source=tests/e2e/e2e_checks.sh
source "$(dirname "$0")/e2e_checks.sh"
readonly CLI_TIMEOUT=${GM_E2E_CLI_TIMEOUT:-60}


[ $# -eq 1 ] || die "usage: $0 PATH-TO-gravelmoor-cli"
CLI=$1
[ -x "$CLI" ] || die "not an executable: $CLI"
[ "$(id -u)" -eq 0 ] || skip "needs root to attach loop devices and mount"
for tool in losetup mkfs.ext4 mount umount mountpoint md5sum cmp timeout setsid mkfifo script zstd; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -e /dev/loop-control ] || skip "no /dev/loop-control (loop driver not loaded)"

SCRATCH_NAME=test_read_refusals
SCRATCH_FAIL=1
# shellcheck source=scripts/scratch.sh
source "$(dirname "$0")/../../scripts/scratch.sh"
MOUNTS=()
unmount_all() {
  local m
  for m in "${MOUNTS[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
  MOUNTS=()
  scratch_cleanup
}
trap unmount_all EXIT

WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-refusals.XXXXXX")

# run_cli NAME ARGS...: `read ARGS` with no terminal, C locale; sets RC, OUT, ERR.
run_cli() {
  local name=$1
  shift
  OUT=$WORK/$name.out
  ERR=$WORK/$name.err
  RC=0
  LC_ALL=C timeout --kill-after=5 "$CLI_TIMEOUT" setsid -w "$CLI" read "$@" </dev/null >"$OUT" 2>"$ERR" &
  CHILD_PID=$!
  wait "$CHILD_PID" || RC=$?
  CHILD_PID=""
}

# expect NAME RC PATTERN: the exit status, and one log line matching PATTERN.
expect() {
  local name=$1 want=$2 pattern=$3
  if [ "$RC" -eq "$want" ] && grep -q -- "$pattern" "$OUT"; then
    pass "$name: exit $want, says \"$pattern\""
  else
    fail "$name: exit $RC (want $want), output:"
    sed 's/^/    /' "$OUT" "$ERR"
  fi
}

unchanged() {
  local name=$1 file=$2 before=$3
  if [ "$(md5sum <"$file")" = "$before" ]; then pass "$name: $file unchanged"; else fail "$name: $file changed"; fi
}

# A loop device with ext4, mounted on a folder of ours.
BACKING=$WORK/backing.bin
truncate -s 32M "$BACKING"
LOOP_DEV=$(losetup --find --show "$BACKING") || { LOOP_DEV=""; skip "no loop device could be attached"; }
mkfs.ext4 -q -F "$LOOP_DEV"
mkdir "$WORK/mnt"
mount "$LOOP_DEV" "$WORK/mnt"
MOUNTS+=("$WORK/mnt")
echo "attached $LOOP_DEV, mounted on $WORK/mnt"

echo "the image would be stored on the drive"
before=$(md5sum <"$BACKING")
run_cli backing --yes "$LOOP_DEV" "$BACKING"
expect backing 1 "would be stored on the drive being read"
unchanged backing "$BACKING" "$before"
run_cli on-fs --yes "$LOOP_DEV" "$WORK/mnt/self.img"
expect on-fs 1 "would be stored on the drive being read"
if [ -e "$WORK/mnt/self.img" ]; then fail "on-fs: an empty self.img was left behind"; else pass "on-fs: no file left behind"; fi

echo "a file system on the whole disk, mounted: the read unmounts it, reads it and leaves it unmounted"
run_cli whole --verify "$LOOP_DEV" "$WORK/whole.gmi"
expect whole 0 "GRAVELMOOR=OK, VERIFY=OK"
if mountpoint -q "$WORK/mnt"; then fail "whole: mounted again"; else pass "whole: left unmounted"; fi
if cmp -s "$LOOP_DEV" "$WORK/whole.gmi"; then pass "whole: the image equals the drive"; else fail "whole: differs"; fi

echo "a drive that one read holds is refused to a second one"
# The first read finds its image already there and asks on a terminal
# whether to replace it, holding the drive meanwhile; closing the FIFO
# that is its terminal's input answers No.
: >"$WORK/held.gmi"
mkfifo "$WORK/answer"
LC_ALL=C timeout 60 script -qfec "exec $CLI read $LOOP_DEV $WORK/held.gmi" "$WORK/first.log" <"$WORK/answer" \
  >/dev/null &
FIRST_PID=$!
exec 3>"$WORK/answer"
for _ in $(seq 100); do grep -q 'already exists' "$WORK/first.log" && break; sleep 0.1; done
run_cli second "$LOOP_DEV" "$WORK/second.gmi"
exec 3>&-
wait "$FIRST_PID" || true
expect second 1 "^\[ERROR\] $LOOP_DEV is in use by another program"
if [ -s "$WORK/held.gmi" ]; then fail "held: the first read replaced its image"; else pass "held: the first read kept its image"; fi

echo "drives that are not disks leave an existing image as it was"
printf 'precious' >"$WORK/old.gmi"
before=$(md5sum <"$WORK/old.gmi")
run_cli zero --yes /dev/zero "$WORK/old.gmi"
expect zero 1 "it is a character device, not a disk"
unchanged zero "$WORK/old.gmi" "$before"
mkfifo "$WORK/fifo"
run_cli fifo --yes "$WORK/fifo" "$WORK/old.gmi"
expect fifo 1 "it is a pipe or socket, not a disk"
unchanged fifo "$WORK/old.gmi" "$before"
run_cli folder --yes "$WORK/mnt" "$WORK/new.gmi"
expect folder 1 "it is a folder, not a disk"
if [ -e "$WORK/new.gmi" ]; then fail "folder: new.gmi was created"; else pass "folder: no image created"; fi

echo "an existing image that cannot be replaced gives the real reason"
head -c $((1024 * 1024)) /dev/urandom >"$WORK/small.bin"
ln -s "$WORK/no-such-folder/x.gmi" "$WORK/dangling.gmi"
run_cli dangling --yes "$WORK/small.bin" "$WORK/dangling.gmi"
expect dangling 1 "No such file or directory"
if grep -q "File exists" "$OUT"; then fail "dangling: reported as File exists"; else pass "dangling: not File exists"; fi

echo "a full disk ends the run at once and says what the image holds"
head -c $((8 * 1024 * 1024)) /dev/urandom >"$WORK/drive.bin"
mkdir "$WORK/small"
mount -t tmpfs -o size=2m tmpfs "$WORK/small"
MOUNTS+=("$WORK/small")
run_cli full "$WORK/drive.bin" "$WORK/small/image.gmi"
expect full 1 "no room for the image $WORK/small/image.gmi; it holds [0-9]* bytes."
if [ "$(grep -c 'WARNING' "$OUT" || true)" -eq 0 ]; then pass "full: no retries"; else fail "full: retried"; fi
run_cli full-gmz --threads 2 "$WORK/drive.bin" "$WORK/small/none.gmz"
expect full-gmz 1 "no room for the image $WORK/small/none.gmz; it holds 0 bytes."
if [ -e "$WORK/small/none.gmz" ]; then fail "full-gmz: an empty image was left"; else pass "full-gmz: removed"; fi
rm -f "$WORK/small/image.gmi"
run_cli part-gmz --threads 2 "$WORK/drive.bin" "$WORK/small/part.gmz"
held=$(sed -n 's/.*part.gmz; it holds \([0-9]*\) bytes\./\1/p' "$OUT")
if [ -n "$held" ] && [ "$held" -gt 0 ] && gzip -t "$WORK/small/part.gmz" &&
   [ "$(zcat "$WORK/small/part.gmz" | wc -c)" -eq "$held" ]; then
  pass "part-gmz: a whole member of the $held bytes it claims"
else
  fail "part-gmz: claims '${held}' bytes:"; sed 's/^/    /' "$OUT"
fi
rm -f "$WORK/small/part.gmz"
run_cli part-zst "$WORK/drive.bin" "$WORK/small/part.zst"
held=$(sed -n 's/.*part.zst; it holds \([0-9]*\) bytes\./\1/p' "$OUT")
if [ "$RC" -eq 1 ] && [ -n "$held" ] && [ "$held" -gt 0 ] && zstd -q -t "$WORK/small/part.zst" &&
   [ "$(zstd -dc "$WORK/small/part.zst" | wc -c)" -eq "$held" ]; then
  pass "part-zst: a whole frame of the $held bytes it claims"
else
  fail "part-zst: claims '${held}' bytes:"; sed 's/^/    /' "$OUT"
fi
rm -f "$WORK/small/part.zst"

echo "a .md5sum that cannot be written fails the job"
mkfifo "$WORK/sum.gmi.md5sum"
run_cli sum-fifo --md5sum "$WORK/drive.bin" "$WORK/sum.gmi"
expect sum-fifo 1 "GRAVELMOOR=OK, MD5SUM FILE=NG"
expect sum-fifo 1 "can't create file $WORK/sum.gmi.md5sum."

echo "a digest that libcrypto refuses fails the read"
cat >"$WORK/openssl.cnf" <<'EOF'
openssl_conf = openssl_init
[openssl_init]
providers = provider_sect
[provider_sect]
base = base_sect
[base_sect]
activate = 1
EOF
export OPENSSL_CONF=$WORK/openssl.cnf
run_cli md5 "$WORK/drive.bin" "$WORK/md5.gmi"
unset OPENSSL_CONF
expect md5 1 "the MD5 digest could not be computed"
if grep -q 'DISK MD5SUM=' "$OUT"; then fail "md5: a digest line was printed"; else pass "md5: no digest line"; fi

finish read_refusals
