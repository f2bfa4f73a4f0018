#!/usr/bin/env bash
# What the player does when it cannot play as scripted.
source "$(dirname "$0")/player_lib.bash"

script=('VT_WINDOW_WIDTH 800' 'VT_WINDOW_HEIGHT 600' 'VT_DEMO_ENDTIME 50000'
  "$(channel vt_MESH ring.vto '0 50000 0 vt_PLAY')")

# No display at all: a clear message and a failure status, not a crash.
make_demo "${script[@]}"
status=0
(cd "$DEMO" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$PLAYER") >"$WORK/player.out" 2>"$WORK/player.err" || status=$?
[ "$status" != 0 ] || fail "no display, yet status 0"
[ "$status" != 124 ] || fail "no display: the player hung"
[ "$status" -lt 128 ] || fail "no display: the player died of signal $((status - 128))"
grep -q "no display" "$WORK/player.err" || fail "no display: the message does not say so"

start_xvfb

# A conversion error in the script ends the player before any window opens.
make_demo 'VT_WINDOW_HEIGHT 600 ' "${script[@]}"
status=0
(cd "$DEMO" && timeout 30 "$PLAYER") >"$WORK/player.out" 2>"$WORK/player.err" || status=$?
[ "$status" != 0 ] && [ "$status" != 124 ] || fail "conversion error: status $status"
grep -q '"600 " is an invalid integer' "$WORK/player.err" || fail "conversion error not reported"
if xdotool search --class vortane >/dev/null 2>&1; then fail "conversion error: a window was opened"; fi

# A full-screen mode the display lacks: the question, answered Yes (the
# default without a person to ask), gives a normal window of that size.
make_demo 'VT_FULLSCREEN' 'VT_WINDOW_WIDTH 320' 'VT_WINDOW_HEIGHT 200' 'VT_DEMO_ENDTIME 50000' \
  "$(channel vt_MESH ring.vto '0 50000 0 vt_PLAY')"
start_player
window=$(find_window)
grep -q "This FullScreen Mode Is Not Supported. Use Windowed Mode Instead?" "$WORK/player.err" ||
  fail "no full-screen question"
size=$(xwininfo -id "$window" | awk '/ Width:/ {w=$2} / Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "320x200" ] || fail "the windowed fallback is $size"
press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "status $PLAYER_STATUS after the windowed fallback"

# The display's own mode is granted: the window covers the whole screen.
make_demo 'VT_FULLSCREEN' 'VT_WINDOW_WIDTH 1024' 'VT_WINDOW_HEIGHT 768' 'VT_DEMO_ENDTIME 50000' \
  "$(channel vt_MESH ring.vto '0 50000 0 vt_PLAY')"
: >"$WORK/player.err"
start_player
window=$(find_window)
size=$(xwininfo -id "$window" | awk '/ Width:/ {w=$2} / Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "1024x768" ] || fail "the full-screen window is $size"
if grep -q "FullScreen Mode Is Not Supported" "$WORK/player.err"; then fail "the display's mode was refused"; fi
press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "status $PLAYER_STATUS after full screen"
echo "player_failures: ok"
