# shellcheck shell=bash
# Sourced by the end-to-end scripts that work on loop devices: the checks
# before they start, the loop devices and mounts they make (always
# unmounted and detached again, on every way out), and running the CLI.
# The script sets, before sourcing:
#   SCRATCH_NAME   its name in messages
#   DEVICE_BYTES   the size of each loop device
#   E2E_TOOLS      the tools it needs besides the common ones
# and passes the CLI's path as its only argument.
# shellcheck source=tests/e2e/e2e_checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_checks.sh"
readonly CLI_TIMEOUT=${GM_E2E_CLI_TIMEOUT:-60}

[ $# -eq 1 ] || die "usage: $0 PATH-TO-gravelmoor-cli"
CLI=$1
[ -x "$CLI" ] || die "not an executable: $CLI"
[ "$(id -u)" -eq 0 ] || skip "needs root to attach loop devices and mount"
# shellcheck disable=SC2086  # a list of words
for tool in losetup sfdisk partx mkfs.ext4 mount umount mountpoint blockdev md5sum cmp setsid timeout $E2E_TOOLS; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -e /dev/loop-control ] || skip "no /dev/loop-control (loop driver not loaded)"

SCRATCH_FAIL=1
# shellcheck source=scripts/scratch.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/scratch.sh"
# Besides scratch.sh's own loop device: the loop devices and the mounts.
LOOPS=()
MOUNTS=()
# shellcheck disable=SC2317  # called from the trap only
cleanup_all() {
  local dev dir
  for dir in "${MOUNTS[@]}"; do
    ! mountpoint -q "$dir" || umount "$dir" 2>/dev/null || umount -l "$dir" 2>/dev/null || true
  done
  MOUNTS=()
  for dev in "${LOOPS[@]}"; do losetup -d "$dev" 2>/dev/null || echo "$SCRATCH_NAME: could not detach $dev" >&2; done
  LOOPS=()
  scratch_cleanup
}
trap cleanup_all EXIT

WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e.XXXXXX")

# attach FILE zero|random [losetup options]: sets ATTACHED to the loop
# device now backed by FILE (a new file of DEVICE_BYTES bytes).
attach() {
  local file=$1 fill=$2
  shift 2
  if [ "$fill" = random ]; then head -c "$DEVICE_BYTES" /dev/urandom >"$file"; else truncate -s "$DEVICE_BYTES" "$file"; fi
  ATTACHED=$(losetup --find --show "$@" "$file") || skip "no loop device could be attached"
  LOOPS+=("$ATTACHED")
}

# attach_mounted FILE DIR...: a loop device with one ext4 partition per
# DIR, each mounted on its DIR; sets ATTACHED to the disk and PARTITION to
# its first partition.
attach_mounted() {
  local file=$1 dir i=1 sectors
  shift
  attach "$file" zero --partscan
  sectors=$(( (DEVICE_BYTES / 512 - 2048) / $# / 2048 * 2048 ))
  for dir in "$@"; do echo "size=$sectors, type=83"; done | sfdisk -q "$ATTACHED" >/dev/null
  for dir in "$@"; do
    [ -b "${ATTACHED}p$i" ] || partx -a "$ATTACHED" 2>/dev/null || true
    [ -b "${ATTACHED}p$i" ] || skip "the partition ${ATTACHED}p$i did not show up"
    mkfs.ext4 -q -F "${ATTACHED}p$i"
    mkdir -p "$dir"
    mount "${ATTACHED}p$i" "$dir"
    MOUNTS+=("$dir")
    i=$((i + 1))
  done
  PARTITION=${ATTACHED}p1
}

# attach_superfloppy FILE DIR: a loop device with an ext4 file system on
# the whole disk (no partition table, as on many USB sticks), mounted on
# DIR; sets ATTACHED.
attach_superfloppy() {
  attach "$1" zero
  mkfs.ext4 -q -F "$ATTACHED"
  mkdir -p "$2"
  mount "$ATTACHED" "$2"
  MOUNTS+=("$2")
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

# unchanged NAME DEVICE DIGEST: the device's md5sum output is still DIGEST.
unchanged() {
  blockdev --flushbufs "$2"
  if [ "$(md5sum <"$2")" = "$3" ]; then pass "$1: $2 unchanged"; else fail "$1: $2 changed"; fi
}

# disk_name DEVICE: the name a job's log gives the drive ("DISK #2"), from
# the first line of a verify of the device against a short file (which
# touches nothing).
disk_name() {
  local probe=$WORK/name-probe.bin name
  [ -f "$probe" ] || head -c 512 /dev/zero >"$probe"
  name=$(LC_ALL=C timeout 30 "$CLI" verify --share-read "$probe" "$1" </dev/null 2>/dev/null |
    sed -n 's/^VERIFY .* <=> //p' | head -n 1) || true
  [ -n "$name" ] || die "no job name for $1"
  echo "$name"
}
