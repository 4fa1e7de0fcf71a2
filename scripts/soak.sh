#!/usr/bin/env bash
# Random-input soak: KORVEN.exe under Wine on a private virtual display, driven with real mouse and keys for
# MINUTES, measured from outside (GDI objects, windows, memory) at the start, every eighth of the time and
# the end; ends with "終了" and a check of KORVEN.ini. Not part of scripts/test.sh.
#   bash scripts/soak.sh MINUTES [SEED] [--focus KIND --rounds N --every K]
# With --focus only that action (version, colour, capital, drag, hover, scatter, menu) is repeated, measured
# every K rounds: whether memory levels off or keeps growing.
# Output and figures: build/soak/ (soak-summary.txt, soak-samples.json, soak-log.txt).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:?usage: soak.sh MINUTES [SEED]}
seed=${2:-$(date +%s)}
shift $(( $# > 1 ? 2 : 1 ))
cd "$root"
# A prefix of its own: a test run's "wineserver -k" in the usual prefix would end the soak's program.
export KORVEN_WINEPREFIX=${KORVEN_WINEPREFIX:-$root/build/wineprefix-soak}
source scripts/wine-env.sh
gauge="$KORVEN_WIN_BUILD/tests/soak/soak_gauge.exe"
probe="$KORVEN_WIN_BUILD/tests/blackbox/probe.exe"
if [ ! -f "$KORVEN_WIN_DIST/KORVEN.exe" ] || [ ! -f "$probe" ] || [ ! -f "$gauge" ]; then
  bash scripts/build.sh || { echo "soak: build failed"; exit 1; }
fi
source scripts/xvfb.sh
korven_start_xvfb || exit 1
trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
korven_wine_prefix || exit 1
out="${KORVEN_SOAK_OUT:-$root/build/soak}"
mkdir -p "$out"
# The given time plus room for both start-ups, the exits and the checks; then it is stopped whatever it does.
cap=$(python3 -c "print(int(float('$minutes') * 60 + 300))")
timeout --kill-after=20 "$cap" /usr/bin/python3 tests/soak/soak.py --exe "$KORVEN_WIN_DIST/KORVEN.exe" --probe "$probe" \
  --gauge "$gauge" --out "$out" --minutes "$minutes" --grace 240 --seed "$seed" "$@"
rc=$?
[ $rc -eq 124 ] && echo "soak: stopped at the hard cap of $cap s"
exit $rc
