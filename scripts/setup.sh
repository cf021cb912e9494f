#!/usr/bin/env bash
# Installs every Debian package the project needs to build and test both
# the Linux and the Windows (MinGW-w64 + Wine) builds. Safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libssl-dev googletest libgtest-dev libgmock-dev
  liblzma-dev libzstd-dev libbz2-dev libarchive-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64 libz-mingw-w64-dev
  wine wine64
  xvfb fonts-ipafont-gothic
  util-linux fdisk e2fsprogs dosfstools mtools coreutils time gzip pigz
  xz-utils zstd bzip2 zip unzip
  locales python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal separator is a comma, for the number format tests.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
