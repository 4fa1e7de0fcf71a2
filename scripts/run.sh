#!/usr/bin/env bash
# Builds KORVEN and starts it under Wine: on the current display when there is one (it stays until "終了"),
# otherwise on a virtual display, saving a screenshot to build/screenshot.png, then ending.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# A process maps the system's compiled locales once: a shell started before setup.sh generated Japanese cannot
# switch to it, and warns so when wine-env.sh sets it. The rest runs in a new shell.
if [ -z "${KORVEN_SETUP_RAN:-}" ]; then
  bash scripts/setup.sh || { echo "setup failed: what the map needs could not be installed" >&2; exit 1; }
  KORVEN_SETUP_RAN=1 exec bash "$root/scripts/run.sh" "$@"
fi
unset KORVEN_SETUP_RAN
bash scripts/build.sh
source scripts/wine-env.sh
exe="$KORVEN_WIN_DIST/KORVEN.exe"
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  echo "run: this machine runs no 32-bit code; showing the 64-bit build of the same sources ($exe)."
  echo "run: dist/KORVEN.exe is the 32-bit program to copy to Windows."
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  korven_wine_prefix
  exec wine "$exe" "$@"
fi
source scripts/xvfb.sh
korven_start_xvfb
trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
korven_wine_prefix
wine "$exe" "$@" &
# The map is complete once all 47 pieces are shown; give it at most 60 s.
wine "$KORVEN_WIN_BUILD/tests/blackbox/probe.exe" wait 47 60 || echo "run: the map did not complete within 60 s"
sleep 1
import -window root build/screenshot.png
echo "run: screenshot saved to $root/build/screenshot.png"
