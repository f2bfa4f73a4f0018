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

need_browser studio_edit
start_xvfb
copy_sample_demo
start_studio_player 240
wait_studio_url

status=0
"$SELENIUM_PYTHON" "$(dirname "$0")/studio_edit.py" --url "$STUDIO_URL" --demo "$DEMO" \
  --screenshot "$BUILD_DIR/studio-edit.png" --chromium /usr/bin/chromium --chromedriver /usr/bin/chromedriver || status=$?
[ "$status" = 77 ] && exit 77
[ "$status" = 0 ] || fail "the editing checks failed"
echo "studio_edit: ok"
