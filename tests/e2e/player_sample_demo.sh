#!/usr/bin/env bash
# The player plays the sample demo from start to end under Xvfb, its
# timeline compressed six times so that every item is drawn within ten
# seconds. In the sanitizer build any report, leaks at exit included, ends
# the player with a failure status.
source "$(dirname "$0")/player_lib.bash"
start_xvfb
copy_sample_demo
script="$DEMO/data/tunnel_test.vds"
awk '
  $1 == "VT_RENDER_TIMES_BEGIN_END" { $2 = int($2 / 6); $3 = int($3 / 6) }
  $1 == "VT_DEMO_ENDTIME" { $2 = int($2 / 6) }
  { print }' "$SOURCE_DIR/data/tunnel_test.vds" >"$script"
grep -q '^VT_DEMO_ENDTIME 10000' "$script" || fail "the sample script was not compressed"

start_player
find_window >/dev/null
wait_player 50
[ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status $PLAYER_STATUS"
if grep -E "Sanitizer|runtime error:" "$WORK/player.err"; then fail "sanitizer report"; fi
! grep -q "no OpenGL context current" "$WORK/player.err" || fail "GL objects outlived the window's context"
echo "player_sample_demo: ok"
