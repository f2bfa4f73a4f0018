#!/usr/bin/env bash
# The player opens the scripted window, titles it, logs and ends by itself
# shortly after the script's end time, releasing its GL objects first.
source "$(dirname "$0")/player_lib.bash"
start_xvfb
make_demo 'VT_LOGGER' 'VT_DEMO_NAME "Ring"' 'VT_WINDOW_WIDTH 800' 'VT_WINDOW_HEIGHT 600' \
  'VT_DEMO_ENDTIME 4000' \
  "$(channel vt_TRANS 'data\camera.vtt' '0 4000 0 vt_PLAY')" \
  "$(channel vt_MESH 'data\ring.vto' '0 4000 0 vt_PLAY')"
start_player
window=$(find_window)

title=$(window_title "$window")
[ "$title" = "Vortane Test Version 1.0 : Ring" ] || fail "window title is '$title'"
size=$(xwininfo -id "$window" | awk '/ Width:/ {w=$2} / Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "800x600" ] || fail "client size is $size"

wait_player 30
[ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status $PLAYER_STATUS"
# The ring's display lists went before the window and its context did.
! grep -q "no OpenGL context current" "$WORK/player.err" || fail "GL objects outlived the window's context"
grep -q "Vortane Delphi Logger" "$DEMO/data/Vortane.log" || fail "the log has no banner"
echo "player_plays: ok"
