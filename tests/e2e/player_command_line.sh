#!/usr/bin/env bash
# The player's command line: the demo folder named from elsewhere, --start,
# --loop, the Home key and a click on the timeline chart, and the exit
# statuses of --help, --version, a wrong option and a folder without a demo.
source "$(dirname "$0")/player_lib.bash"

# Starts the player in $WORK (not the demo's folder) with these arguments.
start_player_in_work() {
  (cd "$WORK" && exec timeout -k 5 60 "$PLAYER" "$@" >"$WORK/player.out" 2>"$WORK/player.err") &
  PLAYER_PID=$!
}

# Runs the player to its end in $WORK; sets STATUS.
run_player() {
  STATUS=0
  (cd "$WORK" && timeout 30 "$PLAYER" "$@") >"$WORK/player.out" 2>"$WORK/player.err" || STATUS=$?
}

# The demo time the debug title shows (whole ms), or nothing yet.
demo_time() {
  window_title "$1" | sed -n 's/^FPS: [0-9]* FRAME: \(-\{0,1\}[0-9]*\)\.[0-9]*$/\1/p'
}

# Waits up to 15 s for the demo time to lie within low..high.
wait_time_within() {
  local window=$1 low=$2 high=$3 i t=""
  for i in $(seq 150); do
    t=$(demo_time "$window")
    if [ -n "$t" ] && [ "$t" -ge "$low" ] && [ "$t" -le "$high" ]; then return 0; fi
    kill -0 "$PLAYER_PID" 2>/dev/null || fail "the player ended (time $t, wanted $low..$high)"
    sleep 0.1
  done
  fail "the demo time is $t, not within $low..$high"
}

# --help and --version: stdout, status 0, no display needed.
run_player --help
[ "$STATUS" = 0 ] || fail "--help: status $STATUS"
grep -q "^usage: vortane \[OPTIONS\] \[DIR\]" "$WORK/player.out" || fail "--help: no usage on stdout"
run_player --version
[ "$STATUS" = 0 ] || fail "--version: status $STATUS"
grep -qx "vortane [0-9.]*" "$WORK/player.out" || fail "--version says '$(cat "$WORK/player.out")'"

# A wrong option or value: the reason and the usage on stderr, status 2.
run_player --bogus
[ "$STATUS" = 2 ] || fail "--bogus: status $STATUS"
grep -q "unknown option --bogus" "$WORK/player.err" || fail "--bogus: no reason"
grep -q "^usage: vortane" "$WORK/player.err" || fail "--bogus: no usage on stderr"
run_player --start soon
[ "$STATUS" = 2 ] || fail "--start soon: status $STATUS"
run_player --port 8000
[ "$STATUS" = 2 ] || fail "--port without --studio: status $STATUS"

start_xvfb

# A folder that does not exist, or holds no demo: status 1, named, no window.
run_player "$WORK/nowhere"
[ "$STATUS" = 1 ] || fail "missing folder: status $STATUS"
grep -q "the folder \"$WORK/nowhere\" does not exist" "$WORK/player.err" || fail "missing folder not named"
mkdir -p "$WORK/empty"
run_player "$WORK/empty"
[ "$STATUS" = 1 ] || fail "folder without a demo: status $STATUS"
grep -q "has no data folder" "$WORK/player.err" || fail "folder without a demo: $(cat "$WORK/player.err")"
if xdotool search --class vortane >/dev/null 2>&1; then fail "a window opened for a folder without a demo"; fi

# Started where there is no demo, without DIR: the empty window, and one
# line saying why and where to go.
start_player_in_work --window
window=$(find_window)
[ "$(grep -c "^vortane:" "$WORK/player.err")" = 1 ] || fail "no demo here: $(cat "$WORK/player.err")"
grep -q 'no data\\tunnel_test.vds here.*--help.*--new DIR' "$WORK/player.err" || fail "no demo here: $(cat "$WORK/player.err")"
press_key "$window" Escape
wait_player 20

# Named from elsewhere, the demo plays from its folder: its log lands there.
script=('VT_WINDOW_WIDTH 800' 'VT_WINDOW_HEIGHT 600' 'VT_DEBUG_MODE' 'VT_CURSOR' 'VT_LOGGER'
  'VT_DEMO_ENDTIME 50000'
  "$(channel vt_TRANS camera.vtt '0 50000 0 vt_PLAY')"
  "$(channel vt_MESH ring.vto '0 50000 0 vt_PLAY')")
make_demo "${script[@]}"
mv "$DEMO/data/tunnel_test.vds" "$DEMO/data/Tunnel_Test.VDS"  # letter case resolved as for every path
start_player_in_work --start 20000 "$DEMO"
window=$(find_window)
wait_time_within "$window" 20000 49000
[ -s "$DEMO/data/Vortane.log" ] || fail "no log in the demo's folder"
[ ! -e "$WORK/data" ] || fail "the player wrote into the folder it was started in"

# Home goes to 0; a click on the chart's first row goes to the time under it.
press_key "$window" Home
wait_time_within "$window" 0 15000
press_key "$window" i
sleep 0.5
# Row 0 lies 9..17 pixels below the top; 512 of 1024 chart units is 25 s.
xdotool mousemove --window "$window" 400 13 click 1
wait_time_within "$window" 24000 35000
press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "Escape: status $PLAYER_STATUS"

# --loop plays on past the end time, until Escape.
make_demo 'VT_WINDOW_WIDTH 320' 'VT_WINDOW_HEIGHT 240' 'VT_DEBUG_MODE' 'VT_DEMO_ENDTIME 1500' \
  "$(channel vt_MESH ring.vto '0 1500 0 vt_PLAY')"
start_player_in_work --loop --window "$DEMO"
window=$(find_window)
wait_time_within "$window" 1000 1500
sleep 3
kill -0 "$PLAYER_PID" 2>/dev/null || fail "--loop: the player ended at the end time"
wait_time_within "$window" 0 1500
press_key "$window" Escape
wait_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "--loop then Escape: status $PLAYER_STATUS"

# Without --loop the same demo ends on its own.
start_player_in_work "$DEMO"
wait_player 30
[ "$PLAYER_STATUS" = 0 ] || fail "the demo's end: status $PLAYER_STATUS"
echo "player_command_line: ok"
