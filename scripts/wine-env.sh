# Sourced by the scripts: the project's private Wine prefix, in a Japanese locale.
KORVEN_ROOT=${KORVEN_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="${KORVEN_WINEPREFIX:-$KORVEN_ROOT/build/wineprefix}"
export WINEARCH=win32
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once; the locale and font must exist first or Japanese shows as empty boxes.
korven_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.korven-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # There is no window manager on the virtual display: Wine draws the dialogs' frames and title bars itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.korven-ready"
  fi
}
