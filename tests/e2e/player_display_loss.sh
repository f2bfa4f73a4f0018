#!/usr/bin/env bash
# The display going away under a playing player: the X server killed alone,
# right after SIGTERM, right after SIGHUP (a desktop session ending). Which
# of the player's steps meets the dead connection is a race, so each case
# runs several times (VT_DISPLAY_LOSS_TRIALS each). Every player must be
# gone within 3 s: alone with status 1 and one line saying so, after a
# signal as a signal ends it (status 0, quietly); the log holds every entry.
source "$(dirname "$0")/player_lib.bash"
trials=${VT_DISPLAY_LOSS_TRIALS:-4}

# A stuck player ignores SIGTERM: never leave one behind.
trap 'if [ -n "$PLAYER_PID" ]; then kill -KILL "$PLAYER_PID" 2>/dev/null || true; fi; cleanup' EXIT

make_demo 'VT_LOGGER' 'VT_DEBUG_MODE' 'VT_WINDOW_WIDTH 320' 'VT_WINDOW_HEIGHT 240' \
  'VT_DEMO_ENDTIME 60000' "$(channel vt_TRANS camera.vtt '0 60000 0 vt_PLAY')" \
  "$(channel vt_MESH ring.vto '0 60000 0 vt_PLAY')" "$(channel vt_2D_VTL title.vtl '0 60000 0 vt_PLAY')"
convert -size 8x8 'xc:rgb(255,120,0)' "$DEMO/data/logo.png"
cat >"$DEMO/data/title.vtl" <<'VTL'
VT_LAYER {
		VT_TEXT_SOURCE			"data\logo.png"
		VT_BLEND_SFACTOR		770
		VT_BLEND_DFACTOR		771
		VT_KEYS {
			VT_KEY 0 100 100 0 0 50 50 255 255 255 255
		}
}
VTL
sed -i 's/"\(camera.vtt\|ring.vto\|title.vtl\)"/"data\\\1"/' "$DEMO/data/tunnel_test.vds"

# Starts the player itself in the background (no wrapper: signals go to it)
# and waits until it draws frames, its demo loaded.
start_playing() {
  (cd "$DEMO" && exec "$PLAYER" >"$WORK/player.out" 2>"$WORK/player.err") &
  PLAYER_PID=$!
  local window i
  window=$(find_window)
  for i in $(seq 200); do
    case "$(window_title "$window")" in FPS:\ *) return 0 ;; esac
    sleep 0.1
  done
  fail "the player draws no frames"
}

# Every entry of the loaded demo is in the log, the last one whole.
check_log() {
  local log="$DEMO/data/Vortane.log"
  [ -f "$log" ] || fail "$1: no log"
  [ "$(head -n 1 "$log")" = $'Vortane Delphi Logger\r' ] || fail "$1: the log has no banner"
  grep -q 'IN : vtTexture.Load' "$log" || fail "$1: the texture is not logged"
  [ "$(tail -n 1 "$log")" = "$(grep 'IN : vtLayerSystem.LoadFromFile' "$log")" ] ||
    fail "$1: the layer system is not the log's last entry"
  [ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "$1: the log's last line is cut"
}

# One trial: case (alone, TERM or HUP), the signal Xvfb gets (TERM or KILL).
trial() {
  local what=$1 xsignal=$2 name="$1 (Xvfb $2)"
  echo "trial: $name"
  start_xvfb
  start_playing
  sleep "0.$((RANDOM % 10))"
  if [ "$what" != alone ]; then kill "-$what" "$PLAYER_PID"; fi
  disown "$XVFB_PID"  # its death is meant: no job notice
  kill "-$xsignal" "$XVFB_PID"
  XVFB_PID=""
  wait_player 3
  if grep -E "Sanitizer|runtime error:" "$WORK/player.err"; then fail "$name: sanitizer report"; fi
  local lost
  lost=$(grep -c '^vortane: lost the display: ' "$WORK/player.err" || true)
  if [ "$what" = alone ]; then
    [ "$PLAYER_STATUS" = 1 ] || fail "$name: status $PLAYER_STATUS"
    [ "$lost" = 1 ] || fail "$name: $lost lines say the display was lost"
  else
    [ "$PLAYER_STATUS" = 0 ] || fail "$name: status $PLAYER_STATUS"
    [ "$lost" = 0 ] || fail "$name: the player reports a lost display after SIG$what"
  fi
  check_log "$name"
}

for i in $(seq "$trials"); do
  xsignal=$([ $((i % 2)) = 0 ] && echo KILL || echo TERM)
  for what in alone TERM HUP; do trial "$what" "$xsignal"; done
done
echo "player_display_loss: ok ($((trials * 3)) trials)"
