# Sourced by scripts that attach a loop device to a scratch file: one
# clean-up for the child they run, the loop device they attached and their
# scratch folder, on every way out (end, failure, Ctrl-C, TERM).
#   SCRATCH_NAME   name used in messages
#   SCRATCH_FAIL   exit status after an unexpected failure
# The script sets WORK, LOOP_DEV and CHILD_PID as it goes.
WORK=""
LOOP_DEV=""
CHILD_PID=""

# shellcheck disable=SC2317  # called from the traps only
scratch_cleanup() {
  trap - ERR
  set +eE
  if [ -n "$CHILD_PID" ]; then
    kill -TERM "$CHILD_PID" 2>/dev/null
    wait "$CHILD_PID" 2>/dev/null
    CHILD_PID=""
  fi
  if [ -n "$LOOP_DEV" ]; then
    losetup -d "$LOOP_DEV" || echo "$SCRATCH_NAME: could not detach $LOOP_DEV" >&2
    LOOP_DEV=""
  fi
  if [ -n "$WORK" ]; then
    rm -rf -- "$WORK"
    WORK=""
  fi
}
trap scratch_cleanup EXIT
trap 'echo "$SCRATCH_NAME: unexpected failure at line $LINENO" >&2; exit "$SCRATCH_FAIL"' ERR
trap 'exit 130' INT
trap 'exit 143' TERM
