# Sourced by the scripts: the project's private Wine prefix, in a Japanese locale, and which Windows build the
# tests run.
KORVEN_ROOT=${KORVEN_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# Japanese once scripts/setup.sh has generated the locale; set before that, every shell started on the way warns
# that it cannot change locale, and Wine would make the prefix in the fallback locale (korven_wine_prefix refuses).
korven_ja_locale() { locale -a 2>/dev/null | grep -ix 'ja_JP\.utf-\?8' >/dev/null; }
if korven_ja_locale; then export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A kernel with IA-32 emulation switched off runs no 32-bit code at all, not even 32-bit Wine. There the
# Windows side is also built for x86-64 from the same sources and run by 64-bit Wine; the shipped KORVEN.exe
# in dist/ stays the 32-bit one. KORVEN_WINE_BITS=64 chooses the 64-bit way on any machine.
if [ -z "${KORVEN_WINE_BITS:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then KORVEN_WINE_BITS=32; else KORVEN_WINE_BITS=64; fi
fi
export KORVEN_WINE_BITS
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  export WINEARCH=win64
  export WINEPREFIX="${KORVEN_WINEPREFIX:-$KORVEN_ROOT/build/wineprefix64}"
  export WINELOADER=/usr/lib/wine/wine64
  # Debian's wine and wine-stable launchers take the 32-bit loader whenever it is installed: PATH leads to
  # shims for the 64-bit one, which korven_wine_shims makes before anything runs Wine.
  korven_shims="$KORVEN_ROOT/build/wine64-bin"
  case ":$PATH:" in *":$korven_shims:"*) ;; *) export PATH="$korven_shims:$PATH" ;; esac
  export KORVEN_WIN_BUILD="$KORVEN_ROOT/build/win64"
  export KORVEN_WIN_DIST="$KORVEN_ROOT/build/win64/dist"
else
  export WINEARCH=win32
  export WINEPREFIX="${KORVEN_WINEPREFIX:-$KORVEN_ROOT/build/wineprefix}"
  export KORVEN_WIN_BUILD="$KORVEN_ROOT/build/win"
  export KORVEN_WIN_DIST="$KORVEN_ROOT/dist"
fi

# Sourcing this file only sets variables: scripts that merely ask which build the tests run write nothing.
korven_wine_shims() {
  [ "$KORVEN_WINE_BITS" = 64 ] || return 0
  if [ ! -x "$korven_shims/wine-stable" ]; then
    mkdir -p "$korven_shims"
    for n in wine wine-stable; do
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$korven_shims/$n"
      chmod +x "$korven_shims/$n"
    done
  fi
  # A "wine" looked up before the shims existed would stay remembered as Debian's launcher.
  hash -r
}

# Creates the prefix once; the locale and font must exist first or Japanese shows as empty boxes.
korven_wine_prefix() {
  if ! korven_ja_locale; then
    echo "wine-env: the ja_JP.UTF-8 locale does not exist yet (bash scripts/setup.sh makes it)" >&2
    return 1
  fi
  korven_wine_shims
  if [ ! -f "$WINEPREFIX/.korven-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.korven-ready"
  fi
  # There is no window manager on the virtual display: Wine draws the dialogs' frames and title bars itself, and
  # must not manage windows. A managing Wine turns a window into a managed one the first time it moves after being
  # activated, unmapping and remapping it; that drops the pointer grab of a drag under way, so a piece's first drag
  # stops after its first step. Checked on every run: a prefix made before these keys existed lacks them.
  # A test program that crashes must end, not wait on a crash dialog nobody sees until ctest's time-out.
  if ! korven_prefix_keys_set; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
  fi
}
korven_prefix_keys_set() {
  awk '/^\[/ { x11 = ($0 ~ /^\[Software\\\\Wine\\\\X11 Driver\]/) }
       x11 && $0 == "\"Managed\"=\"N\"" { m = 1 }
       x11 && $0 == "\"Decorated\"=\"N\"" { d = 1 }
       /^\[Software\\\\Wine\\\\WineDbg\]/ { dbg = 1; next }
       /^\[/ { dbg = 0 }
       dbg && $0 == "\"ShowCrashDialog\"=dword:00000000" { c = 1 }
       END { exit !(m && d && c) }' "$WINEPREFIX/user.reg" 2>/dev/null
}

# The prefix's display scale in dots per inch (what winecfg's "Screen resolution" writes), then the Wine server
# ended, so that every process started after it reads the new value.
korven_log_pixels() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 || return 1
  wineserver -k 2>/dev/null
  wineserver -w
}
