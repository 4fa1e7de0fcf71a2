#!/bin/bash
# Runs inside the test guest (started by its init from the second disk K): the shipped KORVEN.exe under
# 32-bit Wine until its 47 pieces stand, their description and a screenshot, then each 32-bit suite.
# Every step is bounded; K/results/steps.txt gets "name exit-status milliseconds" per step.
#   guest-run.sh K
k=$1
r=$k/results
mkdir -p "$r/xml"
source "$k/params"  # exe_path (where the suites look for KORVEN.exe), suites, suite_limit
export DISPLAY=:1

step() {
  local name=$1 t0 rc
  shift
  t0=$(date +%s%N)
  "$@"
  rc=$?
  echo "$name $rc $(( ($(date +%s%N) - t0) / 1000000 ))" >>"$r/steps.txt"
  echo "guest step: $(tail -1 "$r/steps.txt")" >/dev/console
  return $rc
}
up() {
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
# A server that stays between programs saves each start its set-up under emulation.
server() { /usr/lib/wine/wineserver64 -k 2>/dev/null; /usr/lib/wine/wineserver64 -w; /usr/lib/wine/wineserver64 -p; }

mkdir -p /tmp/fb
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp -nocursor -fbdir /tmp/fb >/dev/null 2>&1 &
step display up || exit 1
server

mkdir -p "$(dirname "$exe_path")" /tmp/map
cp "$k/KORVEN.exe" "$exe_path"
cp "$k/KORVEN.exe" "$k/KORVEN.ini" /tmp/map/
cd /tmp/map
wine KORVEN.exe >"$r/korven.log" 2>&1 &
# The probe waits until the 47 pieces are shown and painted.
step map_wait timeout 300 wine "$k/probe.exe" wait 47 270
step map_pieces timeout 60 wine "$k/probe.exe" pieces >"$r/pieces.json" 2>"$r/probe.log"
cp /tmp/fb/Xvfb_screen0 "$r/screen.xwd"
server

cd "$k/tests"
for s in $suites; do
  GTEST_OUTPUT="xml:Z:${r//\//\\}\\xml\\$s.xml" step "$s" timeout -k 5 "$suite_limit" wine "$s.exe" >"$r/$s.log" 2>&1
done
/usr/lib/wine/wineserver64 -k 2>/dev/null
exit 0
