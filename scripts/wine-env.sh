# Sourced, not run:  source scripts/wine-env.sh [PREFIX]
# Prepares the Wine environment in which the Windows test programs run:
# a 64-bit prefix of the project's own (PREFIX, else $WINEPREFIX, else
# build/windows/wineprefix under the source tree), no debug chatter, no
# Mono/Gecko install prompts, no menu entries. The prefix is created once;
# later calls only set the variables. Works without a display and without
# standard input. (A POSIX sh passes no arguments to '.': set WINEPREFIX.)

_gm_wine_prefix="${1:-${WINEPREFIX:-}}"
if [ -z "$_gm_wine_prefix" ]; then
  if [ -n "${BASH_SOURCE:-}" ]; then
    _gm_wine_prefix="$(cd "$(dirname "$BASH_SOURCE")/.." && pwd)/build/windows/wineprefix"
  elif [ -f "$PWD/scripts/wine-env.sh" ]; then
    _gm_wine_prefix="$PWD/build/windows/wineprefix"
  fi
fi
if [ -z "$_gm_wine_prefix" ]; then
  echo "wine-env: give the prefix folder as argument or in WINEPREFIX" >&2
  return 1 2>/dev/null || exit 1
fi
case "$_gm_wine_prefix" in
  /*) ;;
  *) _gm_wine_prefix="$PWD/$_gm_wine_prefix" ;;
esac
export WINEPREFIX="$_gm_wine_prefix"
unset _gm_wine_prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

_gm_wine_init() {
  [ -f "$WINEPREFIX/.gm-prefix-ready" ] && return 0
  mkdir -p "$WINEPREFIX" || return 1
  (
    # One initialiser at a time per prefix; a second shell waits for it.
    if command -v flock >/dev/null 2>&1; then flock 9; fi
    [ -f "$WINEPREFIX/.gm-prefix-ready" ] && exit 0
    echo "wine-env: creating the Wine prefix $WINEPREFIX" >&2
    # Without a display: Wine must not go looking for an X server.
    env -u DISPLAY -u WAYLAND_DISPLAY wineboot -i </dev/null >/dev/null 2>&1 || exit 1
    wineserver -w </dev/null >/dev/null 2>&1
    [ -f "$WINEPREFIX/system.reg" ] || exit 1
    touch "$WINEPREFIX/.gm-prefix-ready"
  ) 9>"$WINEPREFIX/.gm-prefix-lock"
}

if ! _gm_wine_init; then
  unset -f _gm_wine_init
  echo "wine-env: could not initialise the Wine prefix $WINEPREFIX" >&2
  return 1 2>/dev/null || exit 1
fi
unset -f _gm_wine_init
