#!/usr/bin/env bash
# vortane --check: the sample demo, a demo with a mistake in text and in
# JSON, and the exit statuses. Needs neither a display nor a sound card.
source "$(dirname "$0")/player_lib.bash"
unset DISPLAY

# Runs vortane --check with these arguments from $WORK; sets STATUS.
check() {
  STATUS=0
  (cd "$WORK" && timeout 60 "$PLAYER" --check "$@") >"$WORK/player.out" 2>"$WORK/player.err" || STATUS=$?
}

check "$SOURCE_DIR"
[ "$STATUS" = 0 ] || fail "the sample demo: status $STATUS: $(cat "$WORK/player.out")"
tail -n 1 "$WORK/player.out" | grep -Eq '^0 errors, [0-9]+ warnings?$' || fail "the sample demo: no summary line"

mkdir -p "$DEMO/data"
printf '%s\n' 'VT_DEMO_ENDTIME 1000' 'VT_RENDER_CHANNEL {' ' VT_RENDER_ITEMS_TYPE "vt_SKY"' \
  ' VT_RENDER_ITEMS_FILE "data\none.vtk"' ' VT_RENDER_LINES {' '  VT_RENDER_TIMES_BEGIN_END 0 1000 0 "vt_PLAY"' \
  ' }' '}' >"$DEMO/data/tunnel_test.vds"
check "$DEMO"
[ "$STATUS" = 1 ] || fail "a missing item file: status $STATUS"
grep -qxF 'data\tunnel_test.vds:4: error: the item file "data\none.vtk" does not exist: the item is not drawn' \
  "$WORK/player.out" || fail "a missing item file: $(cat "$WORK/player.out")"
[ "$(tail -n 1 "$WORK/player.out")" = "1 error, 0 warnings" ] || fail "a missing item file: wrong summary"

check --json "$DEMO"
[ "$STATUS" = 1 ] || fail "--json: status $STATUS"
python3 - "$WORK/player.out" <<'PY' || fail "--json: $(cat "$WORK/player.out")"
import json, sys
d = json.load(open(sys.argv[1]))
f = d["findings"][0]
assert (f["file"], f["line"], f["severity"], f["code"]) == ("data\\tunnel_test.vds", 4, "error", "missing-file"), f
assert (d["errors"], d["warnings"], len(d["findings"])) == (1, 0, 1), d
PY

STATUS=0
"$PLAYER" --json >/dev/null 2>&1 || STATUS=$?
[ "$STATUS" = 2 ] || fail "--json without --check: status $STATUS"
echo "PASS"
