#!/usr/bin/env bash
# Live authoring: `vortane --live` shows an edited layer within a second,
# keeps playing through a broken edit with the message on the picture (no
# box: boxes are not sent to stderr here, so one would wait for a click and
# stop the player), and Escape still quits.
source "$(dirname "$0")/player_lib.bash"

# A 600 x 400 rectangle in the middle of the 1024 x 768 layer space.
layer() {
  cat <<VTL
VT_LAYER {
		VT_TEXT_SOURCE			"no.image"
		VT_BLEND_SFACTOR		770
		VT_BLEND_DFACTOR		771
		VT_KEYS {
			VT_KEY 0 512 384 0 0 600 400 $1 255
			VT_KEY 100000 512 384 0 0 600 400 $1 255
		}
}
VTL
}

# Saves as editors do: a new file renamed over the old one.
save() {
  cat >"$1.new"
  mv "$1.new" "$1"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Pixels of the colour in the middle of the 640 x 480 window.
middle() { count_pixels "$window" "$1" "$2" "$3" 220 190 420 290; }

start_xvfb
make_demo 'VT_WINDOW_WIDTH 640' 'VT_WINDOW_HEIGHT 480' 'VT_DEMO_ENDTIME 100000' \
  "$(channel vt_2D_VTL 'data\layer.vtl' '0 100000 0 vt_PLAY')"
layer "255 0 0" >"$DEMO/data/layer.vtl"
(cd "$DEMO" && exec env -u VORTANE_MESSAGES timeout -k 5 60 "$PLAYER" --live \
  >"$WORK/player.out" 2>"$WORK/player.err") &
PLAYER_PID=$!
window=$(find_window)
for i in $(seq 50); do
  [ "$(middle 255 0 0)" -gt 15000 ] && break
  sleep 0.2
done
[ "$(middle 255 0 0)" -gt 15000 ] || fail "the red layer is not shown"

# An edited colour shows within a second of the save.
layer "0 255 0" | save "$DEMO/data/layer.vtl"
saved=$(now_ms)
shown=""
while [ $(($(now_ms) - saved)) -lt 1000 ]; do
  started=$(now_ms)
  if [ "$(middle 0 255 0)" -gt 15000 ]; then
    shown=$((started - saved))
    break
  fi
done
[ -n "$shown" ] || fail "the edited colour did not show within a second"
echo "the edit showed within $shown ms"

# A broken edit: the player plays on with the green layer and the message
# in the picture's corner.
layer "0 2x5 0" | save "$DEMO/data/layer.vtl"
# Awaited, not slept for: on a loaded machine the reload and the frame
# that draws its message can take longer than a second.
text=0
for i in $(seq 40); do
  text=$(count_pixels "$window" 255 110 100 0 400 640 480)
  [ "$text" -gt 30 ] && break
  sleep 0.2
done
kill -0 "$PLAYER_PID" 2>/dev/null || fail "the player ended after a broken edit"
grep -q '\[VortaneF Panic\] "2x5" is an invalid float' "$WORK/player.err" || fail "no message on stderr"
grep -q 'layer.vtl' "$WORK/player.err" || fail "the message does not name the file"
grep -q 'LINE: 6' "$WORK/player.err" || fail "the message does not name the line"
! grep -qF "$DEMO" "$WORK/player.err" || fail "a message names a file by its absolute path"
[ "$(middle 0 255 0)" -gt 15000 ] || fail "the broken edit took the layer away"
[ "$text" -gt 30 ] || fail "no message line in the picture's corner ($text pixels)"

press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "status $PLAYER_STATUS after Escape"
echo "player_live: ok"
