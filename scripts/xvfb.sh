# Sourced; defines two functions and reads no settings of the caller's. korven_start_xvfb [WxH] starts a private
# virtual display (1024 × 768 unless given, 24-bit) on the first number from :91 to :140 that has no lock file or socket, and
# sets DISPLAY (exported) and KORVEN_XVFB_PID; korven_stop_xvfb stops the display KORVEN_XVFB_PID names. Nothing
# stops it by itself: callers put korven_stop_xvfb in their EXIT trap.
korven_start_xvfb() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${1:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
    KORVEN_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      if xdpyinfo >/dev/null 2>&1; then return 0; fi
      sleep 0.1
    done
    echo "xvfb: display :$n did not come up" >&2
    return 1
  done
  echo "xvfb: no free display number" >&2
  return 1
}
korven_stop_xvfb() {
  [ -n "${KORVEN_XVFB_PID:-}" ] && kill "$KORVEN_XVFB_PID" 2>/dev/null
  KORVEN_XVFB_PID=""
}
