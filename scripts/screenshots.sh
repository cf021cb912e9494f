#!/usr/bin/env bash
# Pictures of the window for docs/: builds the Windows programs (build-win,
# or the folder given as $1), starts a virtual X display and Wine's own
# virtual desktop in a Wine prefix of its own, runs gm_window_shots (the
# window over fake drives: idle, running, done, and the erase-method
# dialog), and turns its BMP files into PNG files in docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-$ROOT/build-win}
JOBS=${JOBS:-2}

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DGM_WINDOW_SHOTS=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target gm_window_shots gravelmoor

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh "$BUILD/shots-prefix"

XVFB_PID=
for n in $(seq 130 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  break
done
[ -n "$XVFB_PID" ] || { echo "screenshots: no free X display" >&2; exit 1; }
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true; kill "$XVFB_PID" 2>/dev/null || true' EXIT
sleep 1

# Japanese dialog texts need a CJK font under the dialogs' font names.
REG=$(mktemp --suffix=.reg)
cat >"$REG" <<'REGEOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS UI Gothic"="IPAGothic"
"MS Shell Dlg"="IPAGothic"
"MS Shell Dlg 2"="IPAGothic"
REGEOF
wine regedit "$REG" </dev/null >/dev/null 2>&1
rm -f "$REG"

SHOTS=$(mktemp -d)
PROGRAM=$(find "$BUILD" -name gm_window_shots.exe | head -n 1)
( cd "$(dirname "$PROGRAM")" &&
  timeout 180 wine explorer /desktop=gravelmoor,1024x768 gm_window_shots.exe "Z:${SHOTS//\//\\}" </dev/null )
mkdir -p docs
python3 scripts/bmp_to_png.py "$SHOTS"/*.bmp --out docs
rm -rf "$SHOTS"
ls -l docs/*.png
