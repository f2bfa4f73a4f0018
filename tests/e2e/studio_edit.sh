#!/usr/bin/env bash
# The studio page as an editor, in headless Chromium: on a copy of the
# sample demo it drags a render line's bar, resizes one end, adds and
# removes a line, each reaching the script on disk and the player (which
# stays where it was paused and draws the edit); drags a layer key and
# sets its colour and alpha; adds an item and draws it earlier; sets the
# beat grid (the page's settings file, not the script); makes an edit on
# a script changed behind the page's back (409, nothing overwritten);
# then undoes everything and compares every file with the original byte
# for byte. The page's screenshot in the middle of it is written to
# BUILD_DIR/studio-edit.png (the README shows docs/studio-edit.png, a
# copy of it).
source "$(dirname "$0")/player_lib.bash"

PYTHON=""
for candidate in /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import selenium' 2>/dev/null; then
    PYTHON=$candidate
    break
  fi
done
if [ ! -x /usr/bin/chromium ] || [ ! -x /usr/bin/chromedriver ] || [ -z "$PYTHON" ]; then
  echo "studio_edit: skipped: needs chromium, chromedriver and python3-selenium (tools/install-deps.sh)"
  exit 77
fi

start_xvfb
mkdir -p "$DEMO"
cp -r "$SOURCE_DIR/data" "$DEMO/"
(cd "$DEMO" && exec timeout -k 5 240 "$PLAYER" --live --studio --port 0 --window \
  >"$WORK/player.out" 2>"$WORK/player.err") &
PLAYER_PID=$!
for i in $(seq 300); do
  grep -q '^studio: ' "$WORK/player.out" && break
  kill -0 "$PLAYER_PID" 2>/dev/null || fail "the player ended before printing the studio's address"
  sleep 0.1
done
url=$(sed -n 's/^studio: //p' "$WORK/player.out")
[ -n "$url" ] || fail "no studio line"

status=0
"$PYTHON" "$(dirname "$0")/studio_edit.py" --url "$url" --demo "$DEMO" --screenshot "$BUILD_DIR/studio-edit.png" \
  --chromium /usr/bin/chromium --chromedriver /usr/bin/chromedriver || status=$?
[ "$status" = 77 ] && exit 77
[ "$status" = 0 ] || fail "the editing checks failed"
echo "studio_edit: ok"
