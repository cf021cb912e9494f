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
# By process, natively only: standard streams closed or unwritable, the stop
# signals, a hang-up ignored as nohup leaves it, and Ctrl-C at the question
# on a terminal.
if [ ${#RUNNER[@]} -eq 0 ]; then
  now_ms() { echo $(($(date +%s%N) / 1000000)); }
  # wait_for FILE TEXT: until FILE holds TEXT (a fixed string), 20 s at most.
  wait_for() {
    local deadline=$(($(now_ms) + 20000))
    until grep -qF -- "$2" "$1" 2>/dev/null; do
      [ "$(now_ms)" -lt "$deadline" ] || return 1
      sleep 0.01
    done
  }
  for closed in '<&- >&-' '<&- >&- 2>&-'; do
    rm -f closed.gmi
    rc=0; eval "\"\$CLI\" read drive.bin closed.gmi $closed" || rc=$?
    [ "$rc" -eq 0 ] || fail "a read with '$closed' exited $rc"
    cmp -s drive.bin closed.gmi || fail "with '$closed' a standard stream became the image"
  done
  rc=0; "$CLI" read drive.bin full.gmi </dev/null >/dev/full 2>err.txt || rc=$?
  [ "$rc" -eq 1 ] || fail "a read to a full standard output exited $rc, not 1"
  grep -q "DISK MD5SUM=$sum" err.txt || fail "the log did not go to standard error: $(cat err.txt)"
  grep -q "standard output could not be written" err.txt || fail "the full output is not named: $(cat err.txt)"
  rc=0; "$CLI" --help >/dev/full 2>/dev/null || rc=$?
  [ "$rc" -eq 1 ] || fail "--help to a full standard output exited $rc, not 1"

  # A 64 GiB sparse drive: a stop always comes in the middle of its read.
  truncate -s 64G endless.bin
  set -m  # background jobs keep SIGINT as it was, not ignored
  start_read() {  # [nohup]: the read in the background, once its image has bytes
    rm -f stop.gmi
    "$@" "$CLI" read --buffer 16 endless.bin stop.gmi </dev/null >out.txt 2>err.txt &
    pid=$!
    local deadline=$(($(now_ms) + 20000))
    until [ -s stop.gmi ]; do
      [ "$(now_ms)" -lt "$deadline" ] || fail "the read did not start: $(cat out.txt err.txt)"
      sleep 0.005
    done
  }
  for pair in INT:130 TERM:143 HUP:129; do
    sig=${pair%:*}
    start_read
    t0=$(now_ms)
    kill -s "$sig" "$pid"
    rc=0; wait "$pid" || rc=$?
    [ "$rc" -eq "${pair#*:}" ] || fail "SIG$sig: exit status $rc, not ${pair#*:}: $(cat out.txt)"
    [ $(($(now_ms) - t0)) -lt 3000 ] || fail "SIG$sig did not end the read promptly"
    held=$(sed -n "s/^\[ERROR\] stopped by SIG$sig.*: the image .* is incomplete; it holds \([0-9]*\) of the drive's 68719476736 bytes\.$/\1/p" out.txt)
    [ "$held" = "$(stat -c %s stop.gmi)" ] || fail "SIG$sig: the stop line does not say what the image holds: $(cat out.txt)"
  done
  start_read nohup
  kill -s HUP "$pid"
  sleep 0.3
  kill -0 "$pid" 2>/dev/null || fail "a hang-up ended a read started with it ignored: $(cat out.txt)"
  kill -s TERM "$pid"
  rc=0; wait "$pid" || rc=$?
  [ "$rc" -eq 143 ] && grep -q "stopped by SIGTERM" out.txt || fail "SIGTERM after an ignored hang-up: $rc $(cat out.txt)"
  set +m
  rm -f endless.bin stop.gmi

  if command -v python3 >/dev/null 2>&1; then
    printf 'keep' >asked.gmi
    # On a terminal of its own (TERM=dumb): Ctrl-C typed at the question;
    # what the terminal showed goes to term.txt, the exit status is its own.
    rc=0
    python3 - "$CLI" >term.txt <<'PY' || rc=$?
import os, pty, select, sys, time
pid, fd = pty.fork()
if pid == 0:
    os.environ["TERM"] = "dumb"
    os.execv(sys.argv[1], [sys.argv[1], "read", "drive.bin", "asked.gmi"])
seen, deadline = b"", time.time() + 20
def pump():
    global seen
    if select.select([fd], [], [], 0.05)[0]:
        try:
            seen += os.read(fd, 4096)
        except OSError:
            return False
    return True
while "上書きしますか？ [y/N] ".encode() not in seen and time.time() < deadline:
    pump()
os.write(fd, b"\x03")  # the terminal turns it into SIGINT for its foreground
stop = time.time()
ended = os.waitpid(pid, os.WNOHANG)
while ended[0] == 0:
    if time.time() - stop > 3:
        os.kill(pid, 9)
    pump()
    ended = os.waitpid(pid, os.WNOHANG)
while pump() and select.select([fd], [], [], 0)[0]:
    pass
sys.stdout.write(seen.decode(errors="replace"))
sys.exit(os.waitstatus_to_exitcode(ended[1]) if time.time() - stop < 3 else 1)
PY
    [ "$rc" -eq 130 ] || fail "Ctrl-C at the question did not end the program promptly: $(cat term.txt)"
    [ "$(cat asked.gmi)" = "keep" ] || fail "Ctrl-C at the question changed the image"
    grep -qF "stopped by SIGINT (Ctrl-C) before any of the drive's bytes reached asked.gmi; it was left as it was." term.txt ||
      fail "no stop line after Ctrl-C at the question: $(cat term.txt)"
  fi
fi
echo "PASS: read of a file as a drive"
