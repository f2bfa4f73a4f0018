#!/usr/bin/env bash
# The player's keys: the timeline chart with VT_CURSOR only, the frame
# counter in debug mode, Escape and the quit request end it.
source "$(dirname "$0")/player_lib.bash"
start_xvfb

# The chart's first row lies 9..17 pixels below the top of an 800 x 600
# window and spans the whole width for a line covering the whole demo.
chart_pixels() { count_pixels "$1" 128 128 128 40 10 760 16; }
# Waits up to 15 s for the chart to be shown (yes) or gone (no).
wait_chart() {
  local window=$1 want=$2 i count
  for i in $(seq 30); do
    count=$(chart_pixels "$window")
    if [ "$want" = yes ] && [ "$count" -gt 1000 ]; then return 0; fi
    if [ "$want" = no ] && [ "$count" -lt 100 ]; then return 0; fi
    sleep 0.5
  done
  return 1
}

script=('VT_DEMO_NAME "Keys"' 'VT_WINDOW_WIDTH 800' 'VT_WINDOW_HEIGHT 600' 'VT_DEMO_ENDTIME 50000'
  "$(channel vt_TRANS camera.vtt '0 50000 0 vt_PLAY')"
  "$(channel vt_MESH ring.vto '0 50000 0 vt_PLAY')")

# With VT_CURSOR and VT_DEBUG_MODE.
make_demo 'VT_CURSOR' 'VT_DEBUG_MODE' "${script[@]}"
start_player
window=$(find_window)
for i in $(seq 200); do
  title=$(window_title "$window")
  case "$title" in FPS:\ *) break ;; esac
  sleep 0.1
done
case "$title" in FPS:\ *) ;; *) fail "debug title is '$title'" ;; esac

[ "$(chart_pixels "$window")" -lt 100 ] || fail "the chart shows before the I key"
press_key "$window" i
wait_chart "$window" yes || fail "no timeline chart after the I key"
press_key "$window" i
wait_chart "$window" no || fail "the second I key left the chart on"

press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "Escape ended the player with status $PLAYER_STATUS"

# Without VT_CURSOR the I key does nothing; a quit request (SIGTERM) ends it.
make_demo "${script[@]}"
start_player
window=$(find_window)
press_key "$window" i
sleep 1
[ "$(chart_pixels "$window")" -lt 100 ] || fail "the I key showed the chart without VT_CURSOR"
kill -TERM "$PLAYER_PID"
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "a quit request ended the player with status $PLAYER_STATUS"
echo "player_keys: ok"
