# Sourced by the end-to-end scripts: the exit statuses they share, and the
# count of checks that passed and failed.
#   skip WHY      the script cannot run here: exit 77
#   die WHY       the script itself went wrong: exit 1
#   pass / fail   count one check, with what it showed
#   finish NAME   the closing "N passed, N failed" line; exit 1 on a failure
#   flip FILE AT  turns the byte at offset AT into its complement (a byte set
#                 to a fixed value would be left as it was one time in 256)
readonly SKIP=77
PASSED=0
FAILED=0
skip() { echo "SKIP: $*"; exit "$SKIP"; }
die() { echo "FATAL: $*" >&2; exit 1; }
pass() { PASSED=$((PASSED + 1)); echo "  ok: $*"; }
fail() { FAILED=$((FAILED + 1)); echo "  FAIL: $*"; }
finish() {
  echo "$1: $PASSED passed, $FAILED failed"
  if [ "$FAILED" -ne 0 ]; then exit 1; fi
  exit 0
}
flip() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $(( byte ^ 0xff )))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
