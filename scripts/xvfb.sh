# Sourced; defines two functions and reads no settings of the caller's. korven_start_xvfb [WxH] starts a private
# virtual display (1024 × 768 unless given, 24-bit) on a number the server finds free itself, waits until it takes
# connections, and sets DISPLAY (exported) and KORVEN_XVFB_PID; korven_stop_xvfb stops the display
# KORVEN_XVFB_PID names. Nothing stops it by itself: callers put korven_stop_xvfb in their EXIT trap.
korven_start_xvfb() {
  local f n
  f=$(mktemp)
  # -displayfd: the server writes its number once it takes connections.
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$f" >/dev/null 2>&1 &
  KORVEN_XVFB_PID=$!
  for _ in $(seq 300); do
    n=$(cat "$f")
    [ -n "$n" ] && break
    kill -0 "$KORVEN_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$f"
  if [ -z "$n" ]; then
    echo "xvfb: the virtual display did not come up" >&2
    return 1
  fi
  export DISPLAY=":$n"
}
korven_stop_xvfb() {
  [ -n "${KORVEN_XVFB_PID:-}" ] && kill "$KORVEN_XVFB_PID" 2>/dev/null
  KORVEN_XVFB_PID=""
}
