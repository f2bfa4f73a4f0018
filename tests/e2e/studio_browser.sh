#!/usr/bin/env bash
# The studio page in a real browser: vortane --live --studio --port 0 on a
# copy of the sample demo (with one broken item and one with a finding),
# headless Chromium driven by Selenium opens the printed address; every item
# has its row, the broken one marked with its message, the one with a
# finding (and only it) with its mark; a row's buttons take the keyboard's
# focus, and Enter on "up" moves the item; a click on the ruler seeks the
# player (its state and its debug title say so); an edited item file's
# reload reaches the page's console; then Escape ends the player with the
# page still connected, and the port is closed. The page's screenshot is
# written to BUILD_DIR/studio.png (the README shows docs/studio.png, a copy).
source "$(dirname "$0")/player_lib.bash"

need_browser studio_browser
start_xvfb

# The sample demo, in debug mode (the frame time in the title), with an
# item whose file holds a malformed number.
copy_sample_demo
sed -i 's/^# VT_DEBUG_MODE/VT_DEBUG_MODE/' "$DEMO/data/tunnel_test.vds"
sed 's/VT_STACKS .*/VT_STACKS sixteen/' "$DEMO/data/items/ring.vto" >"$DEMO/data/items/broken.vto"
channel vt_MESH 'data\items\broken.vto' '20000 30000 0 vt_PLAY' >>"$DEMO/data/tunnel_test.vds"
sed 's/VT_STACKS .*/VT_STACKS 0/' "$DEMO/data/items/ring.vto" >"$DEMO/data/items/flat.vto"  # a finding
channel vt_MESH 'data\items\flat.vto' '30000 31000 0 vt_PLAY' >>"$DEMO/data/tunnel_test.vds"

start_studio_player 90
window=$(find_window)
wait_studio_url
[[ "$STUDIO_URL" =~ ^http://127\.0\.0\.1:[0-9]+/\?token=[0-9a-f]{32}$ ]] || fail "studio line: '$STUDIO_URL'"
[ "$(wc -l <"$WORK/player.out")" = 1 ] || fail "more than the studio line on stdout: $(cat "$WORK/player.out")"

"$SELENIUM_PYTHON" "$(dirname "$0")/studio_browser.py" --url "$STUDIO_URL" --window "$window" \
  --edit "$DEMO/data/items/roll.vtt" --screenshot "$BUILD_DIR/studio.png" \
  --chromium /usr/bin/chromium --chromedriver /usr/bin/chromedriver || fail "the browser checks failed"

wait_player 30
[ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status $PLAYER_STATUS"

# A port someone else holds: one message, and the demo plays without the studio.
"$SELENIUM_PYTHON" -c 'import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
print(s.getsockname()[1], flush=True); time.sleep(90)' >"$WORK/port" &
HOLDER_PID=$!
trap 'kill $HOLDER_PID 2>/dev/null || true; cleanup' EXIT
for i in $(seq 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$WORK/port")
(cd "$DEMO" && exec timeout -k 5 60 "$PLAYER" --studio --port "$port" --window \
  >"$WORK/player.out" 2>"$WORK/player.err") &
PLAYER_PID=$!
window=$(find_window)
for i in $(seq 200); do
  grep -q "cannot listen on 127.0.0.1:$port" "$WORK/player.err" && break
  sleep 0.1
done
grep -q "cannot listen on 127.0.0.1:$port" "$WORK/player.err" || fail "a port in use is not reported"
[ ! -s "$WORK/player.out" ] || fail "a studio line without a studio: $(cat "$WORK/player.out")"
press_key "$window" Escape
wait_player 30
[ "$PLAYER_STATUS" = 0 ] || fail "without its port the player ended with status $PLAYER_STATUS"
echo "studio_browser: ok"
