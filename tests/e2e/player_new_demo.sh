#!/usr/bin/env bash
# vortane --new DIR: the demo it makes plays, renders (and checks clean
# where the player has --check); a folder that is not empty is refused and
# left as it was.
source "$(dirname "$0")/player_lib.bash"
RENDER="$BUILD_DIR/tools/vortane-render"
NEW="$WORK/first"

STATUS=0
"$PLAYER" --new "$NEW" >"$WORK/new.out" 2>"$WORK/player.err" || STATUS=$?
[ "$STATUS" = 0 ] || fail "--new: status $STATUS"
grep -q "vortane $NEW" "$WORK/new.out" || fail "--new does not say how to play it: $(cat "$WORK/new.out")"
for file in data/tunnel_test.vds data/layers/title.vtl data/items/torus.vto data/music/tune.ogg; do
  [ -s "$NEW/$file" ] || fail "--new wrote no $file"
done

# Refused for a folder that holds anything, which stays as it was.
mkdir -p "$WORK/busy"
echo "mine" >"$WORK/busy/notes.txt"
for target in "$WORK/busy" "$NEW"; do
  before=$(cd "$target" && find . -type f -exec md5sum {} + | sort)
  STATUS=0
  "$PLAYER" --new "$target" >/dev/null 2>"$WORK/player.err" || STATUS=$?
  [ "$STATUS" = 1 ] || fail "--new into a folder that is not empty: status $STATUS"
  grep -q "is not empty" "$WORK/player.err" || fail "--new does not say why: $(cat "$WORK/player.err")"
  [ "$(cd "$target" && find . -type f -exec md5sum {} + | sort)" = "$before" ] || fail "--new changed $target"
done

# Checked (once the player checks), it has nothing to report.
if "$PLAYER" --help | grep -q -- "--check"; then
  STATUS=0
  "$PLAYER" --check "$NEW" >"$WORK/check.out" 2>&1 || STATUS=$?
  [ "$STATUS" = 0 ] || fail "--check on the new demo: status $STATUS: $(cat "$WORK/check.out")"
  grep -q "^0 errors, 0 warnings" "$WORK/check.out" || fail "--check on the new demo: $(cat "$WORK/check.out")"
fi

# Rendered: the title shows over the sky and the torus.
"$RENDER" --at 500,6000 --out "$WORK/shots" "$NEW" 2>"$WORK/player.err" || fail "vortane-render on the new demo"
for at in 500 6000; do
  [ -s "$WORK/shots/at_$at.png" ] || fail "no frame at $at"
  colours=$(convert "$WORK/shots/at_$at.png" -format "%k" info:)
  [ "$colours" -gt 500 ] || fail "the frame at $at has only $colours colours"
done
centre() { convert "$WORK/shots/at_$1.png" -crop 100x20+350+107 -format "%[fx:int(255*mean)]" info:; }
[ "$(centre 6000)" -gt "$(($(centre 500) + 20))" ] || fail "no title at 6 s ($(centre 500) before, $(centre 6000) then)"

# Played from elsewhere: the window shows, nothing is reported, Escape ends it.
start_xvfb
(cd "$WORK" && exec timeout -k 5 60 "$PLAYER" --window "$NEW" >"$WORK/player.out" 2>"$WORK/player.err") &
PLAYER_PID=$!
window=$(find_window)
sleep 2
kill -0 "$PLAYER_PID" 2>/dev/null || fail "the new demo ended early"
press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "the new demo: status $PLAYER_STATUS"
if grep -q "^\[Vortane" "$WORK/player.err"; then fail "the new demo reported something"; fi
echo "player_new_demo: ok"
