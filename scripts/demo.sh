#!/usr/bin/env bash
# The main job on a built-in example: a demo drive made from a file (a small
# FAT file system with a few files on it) is read into an image, and the
# drive's digest is shown next to md5sum's.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/setup.sh
cmake -S "$ROOT" -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/linux -j 2 --target gravelmoor-cli

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
DRIVE=$WORK/demo-drive.bin
IMAGE=$WORK/demo-drive.gmi

# 32 MiB demo drive with a FAT file system holding a few files.
truncate -s 32M "$DRIVE"
mkfs.vfat -n GRAVELMOOR "$DRIVE" >/dev/null
head -c 3000000 /dev/urandom >"$WORK/photo.raw"
printf 'Gravelmoor demo drive\n' >"$WORK/readme.txt"
if command -v mcopy >/dev/null 2>&1; then
  mcopy -i "$DRIVE" "$WORK/photo.raw" "$WORK/readme.txt" ::/
fi

echo "== gravelmoor-cli read $DRIVE $IMAGE"
build/linux/cli/gravelmoor-cli read "$DRIVE" "$IMAGE"
echo
echo "== md5sum of the demo drive, for comparison"
md5sum "$DRIVE"
cmp "$DRIVE" "$IMAGE" && echo "== the image equals the drive byte for byte"
