#!/usr/bin/env bash
# End-to-end test of `gravelmoor-cli checksum` on files, for both builds:
#   test_checksum_file.sh [RUNNER] CLI WRITE-MD5SUM
# RUNNER is how the programs are started (wine for the Windows build,
# nothing natively); WRITE-MD5SUM is the test tool that writes an .md5sum
# file the way the job runner does. Checks the digests against md5sum and
# zcat | md5sum and against the read command's DISK MD5SUM=, the .md5sum
# files we write against md5sum -c, the verdicts, and .md5sum files that
# hold no digest; SHA-256 files made by sha256sum, of a raw image and of a
# .gmz's data.
set -Eeuo pipefail

# shellcheck source=tests/e2e/e2e_checks.sh
source "$(dirname "$0")/e2e_checks.sh"
RUNNER=()
if [ $# -eq 3 ]; then RUNNER=("$1"); shift; fi
[ $# -eq 2 ] || die "usage: $0 [RUNNER] CLI WRITE-MD5SUM"
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
CLI=$(absolute "$1")
WRITER=$(absolute "$2")
for tool in md5sum sha256sum gzip zcat timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/gm-e2e-checksum.XXXXXX")
trap 'rm -rf -- "$WORK"' EXIT
cd "$WORK"

# run_cli ARGS...: sets RC; the output in out.txt (line ends as on Unix).
run_cli() {
  RC=0
  timeout 120 "${RUNNER[@]}" "$CLI" "$@" </dev/null >out.raw 2>err.txt || RC=$?
  tr -d '\r' <out.raw >out.txt
}
has_line() { grep -qxF -- "$1" out.txt; }
digest_of() { md5sum | cut -c1-32; }
# check NAME STATUS LINE...: the last run exited STATUS and printed every LINE.
check() {
  local name=$1 status=$2 line
  shift 2
  if [ "$RC" -ne "$status" ]; then fail "$name: exit status $RC, not $status: $(cat out.txt err.txt)"; return; fi
  for line in "$@"; do
    if ! has_line "$line"; then fail "$name: no line '$line' in: $(cat out.txt)"; return; fi
  done
  pass "$name"
}

# 5 MiB + 1234 bytes: the last block is short. Half random, half
# compressible, so the compressed image has both kinds of deflate blocks.
{ head -c 2622081 /dev/urandom; yes gravelmoor | head -c 2622081 || true; } >drive.bin
size=$(stat -c %s drive.bin)
sum=$(digest_of <drive.bin)
cp drive.bin image.gmi
gzip -6 -n -c drive.bin >image.gmz
gzip -6 -c drive.bin >named.gmz  # with the file name in the header

run_cli checksum image.gmi
check "raw image = md5sum" 0 "IMAGE MD5SUM=$sum" "IMAGE DATA SIZE=$size bytes" \
  "  image.gmi.md5sum, .sha256sum, .sha256 - none, nothing to compare with."
run_cli checksum image.gmz
check "gzip -n image = zcat | md5sum" 0 "IMAGE MD5SUM=$(zcat image.gmz | digest_of)" "IMAGE DATA SIZE=$size bytes"
run_cli checksum --no-compress image.gmz
check "--no-compress hashes the file itself" 0 "IMAGE MD5SUM=$(digest_of <image.gmz)"
run_cli checksum named.gmz
check "a gzip header with a name is refused" 1 \
  "[ERROR] named.gmz is not a compressed image: it does not start with 1F 8B 08 00."

# The read command's digest, raw and compressed.
for image in read.gmi read.gmz; do
  run_cli read drive.bin "$image"
  check "read into $image" 0 "DISK MD5SUM=$sum"
  run_cli checksum "$image"
  check "checksum of $image = the read's DISK MD5SUM=" 0 "IMAGE MD5SUM=$sum" "IMAGE DATA SIZE=$size bytes"
done

# .md5sum files written the job runner's way: md5sum -c takes them, and
# the checksum command agrees or not.
"${RUNNER[@]}" "$WRITER" image.gmi "$sum" </dev/null || die "the .md5sum writer failed"
if md5sum -c --status image.gmi.md5sum 2>/dev/null; then
  pass "md5sum -c accepts the file we wrote"
else
  fail "md5sum -c refuses: $(cat -A image.gmi.md5sum)"
fi
if [ ${#RUNNER[@]} -gt 0 ] && ! grep -q $'\r$' image.gmi.md5sum; then
  fail "the Windows build's .md5sum does not end in CR LF: $(cat -A image.gmi.md5sum)"
fi
run_cli checksum image.gmi
check "raw image with its .md5sum" 0 "  image.gmi.md5sum - OK"

mkdir sub
cp image.gmz sub/
sep=/
if [ ${#RUNNER[@]} -gt 0 ]; then sep='\'; fi  # Windows names end at the last backslash
"${RUNNER[@]}" "$WRITER" "sub${sep}image.gmz" "$sum" </dev/null || die "the .md5sum writer failed"
if [ "$(tr -d '\r' <sub/image.gmz.md5sum)" = "$sum image.gmz" ]; then
  pass "the .md5sum line is the digest, one blank and the name alone"
else
  fail "the .md5sum line: $(cat -A sub/image.gmz.md5sum)"
fi
run_cli checksum sub/image.gmz
check "compressed image with the digest of its data in .md5sum" 0 "  sub/image.gmz.md5sum - OK"
"${RUNNER[@]}" "$WRITER" "sub${sep}image.gmz" "$(digest_of <sub/image.gmz)" </dev/null || die "the .md5sum writer failed"
run_cli checksum --compress sub/image.gmz
check "compressed image with the digest of the file itself in .md5sum is NG" 1 \
  "  sub/image.gmz.md5sum - NG (it holds the digest of the compressed file itself, not of its data)"

"${RUNNER[@]}" "$WRITER" image.gmi "$(printf '%032d' 0)" </dev/null || die "the .md5sum writer failed"
run_cli checksum image.gmi
check "a different digest is NG" 1 "  image.gmi.md5sum - NG (it holds $(printf '%032d' 0))"

# Names md5sum -c would misread (not possible on Windows).
if [ ${#RUNNER[@]} -eq 0 ]; then
  for name in '*star.gmi' ' blank.gmi' $'new\nline.gmi' 'back\slash.gmi'; do
    cp drive.bin "$name"
    "$WRITER" "$name" "$sum" || die "the .md5sum writer failed for '$name'"
    if md5sum -c --status "$name.md5sum" 2>/dev/null; then pass "md5sum -c of '$name'"; else fail "md5sum -c of '$name': $(cat -A "$name.md5sum")"; fi
  done
fi

# .md5sum files that hold no digest are NG, never a hang or a crash.
: >image.gmi.md5sum
run_cli checksum image.gmi
check "an empty .md5sum is NG" 1 "  image.gmi.md5sum - NG (it does not start with an MD5 digest)"
head -c $((64 * 1048576)) /dev/zero | tr '\0' 'a' >image.gmi.md5sum
run_cli checksum image.gmi
check "a huge .md5sum without a line end is NG" 1 "  image.gmi.md5sum - NG (it does not start with an MD5 digest)"
printf 'Z%s image.gmi\n' "${sum:1}" >image.gmi.md5sum
run_cli checksum image.gmi
check "a digest with a non-hexadecimal digit is NG" 1 "  image.gmi.md5sum - NG (it does not start with an MD5 digest)"
if [ ${#RUNNER[@]} -eq 0 ]; then
  rm image.gmi.md5sum
  mkfifo image.gmi.md5sum
  run_cli checksum image.gmi
  if [ "$RC" -eq 1 ] && grep -q "image.gmi.md5sum - NG (can't read it: it is a pipe or socket" out.txt; then
    pass "a FIFO as .md5sum is NG, not waited on"
  else
    fail "a FIFO as .md5sum: exit $RC: $(cat out.txt)"
  fi
fi

# Published SHA-256 files: sha256sum of the file, zcat | sha256sum of a
# .gmz, a wrong digest; and beside an .md5sum, each file has its line.
rm -f image.gmi.md5sum
sha256sum image.gmi >image.gmi.sha256sum
run_cli checksum image.gmi
check "sha256sum of a raw image is OK" 0 "IMAGE SHA256SUM=$(sha256sum <image.gmi | cut -c1-64)" \
  "  image.gmi.sha256sum - OK (the SHA-256 of the file matches)"
zcat image.gmz | sha256sum | cut -c1-64 >image.gmz.sha256
run_cli checksum image.gmz
check "zcat | sha256sum of a .gmz is OK" 0 "  image.gmz.sha256 - OK (the SHA-256 of the image data matches)"
printf '%064d  image.gmi\r\n' 0 >image.gmi.sha256sum
"${RUNNER[@]}" "$WRITER" image.gmi "$sum" </dev/null || die "the .md5sum writer failed"
run_cli checksum image.gmi
check "a wrong SHA-256 is NG beside a good .md5sum" 1 "  image.gmi.md5sum - OK" \
  "  image.gmi.sha256sum - NG (it holds $(printf '%064d' 0))"
rm -f image.gmi.md5sum image.gmi.sha256sum image.gmz.sha256

run_cli checksum
check "no image is a usage error" 2
run_cli checksum no-such.gmi
check "a missing image" 1 "[ERROR] the checksum of no-such.gmi could not be computed."
finish "checksum of files"
