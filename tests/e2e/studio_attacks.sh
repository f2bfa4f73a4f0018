#!/usr/bin/env bash
# The studio server attacked as any local program could attack it: the
# table of studio_attacks.py against vortane --live --studio on the sample
# demo (its soft descriptor limit at the usual 1024), then once more with a
# hard limit of 1024 descriptors, where held connections must not starve
# the player's own files.
source "$(dirname "$0")/player_lib.bash"

# Freed memory stays out of the sanitizer's quarantine long enough to be
# measured as resident; the leak check is the other tests' business (it
# would hold up the exit this test times).
export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=4:detect_leaks=0"

start_xvfb
copy_sample_demo
sed -i 's/^# VT_DEBUG_MODE/VT_DEBUG_MODE/' "$DEMO/data/tunnel_test.vds"  # frames per second in the title

# Starts the player under the descriptor limits given (ulimit arguments)
# and sets URL, WINDOW and VORTANE_PID.
start_studio() {
  start_studio_player 120 "$@"
  WINDOW=$(find_window)
  wait_studio_url
  URL=$STUDIO_URL
  VORTANE_PID=$(pgrep -P "$PLAYER_PID" | head -n 1)  # timeout's child
}

# A sanitized player takes longer to end (its bound is twice the other's).
SANITIZED=()
if grep -q '^VT_SANITIZE:BOOL=ON' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then SANITIZED=(--sanitized); fi

attack() {  # the attacker's arguments
  python3 "$(dirname "$0")/studio_attacks.py" --url "$URL" --pid "$VORTANE_PID" --window "$WINDOW" \
    "${SANITIZED[@]}" "$@" ||
    fail "the studio server did not hold"
  wait_player 10
  [ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status $PLAYER_STATUS"
}

hard=$(ulimit -Hn)
if [ "$hard" = unlimited ] || [ "$hard" -ge 4096 ]; then
  start_studio -Sn 1024
  attack --table
else
  echo "studio_attacks: the table skipped: it needs a hard descriptor limit of 4096 (this one is $hard)"
fi
start_studio -n 1024
attack --descriptors --edit "$DEMO/data/items/roll.vtt"
echo "studio_attacks: ok"
