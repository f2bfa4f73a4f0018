#!/usr/bin/env bash
# vortane-render on a small demo made here: frames at given times and at a
# fixed rate, the timeline chart with its cursor, and the failure exits.
set -euo pipefail
build=$(cd "$1" && pwd)
render=$build/tools/vortane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data

cat > data/tunnel_test.vds <<'VDS'
VT_DEMO_NAME "render test"
VT_DEMO_ENDTIME 1000
VT_RENDER_CHANNEL {
  VT_RENDER_ITEMS_TYPE "vt_TRANS"
  VT_RENDER_ITEMS_FILE "data\cam.vtt"
  VT_RENDER_LINES {
    VT_RENDER_TIMES_BEGIN_END 0 1000 0 "vt_PLAY"
  }
}
VT_RENDER_CHANNEL {
  VT_RENDER_ITEMS_FILE "data\spin.vtt"
  VT_RENDER_LINES {
    VT_RENDER_TIMES_BEGIN_END 0 400 0 "vt_PLAY"
    VT_RENDER_TIMES_BEGIN_END 600 900 0 "vt_UNPLAY"
  }
}
VDS
printf 'VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n\t\tVT_ROTATE\t\t30 1 0 0\n}\n' > data/cam.vtt
printf 'VT_DYNAMIC_TRANSFORMATION {\n\tVT_ROTATE  10 0 1 0\n}\n' > data/spin.vtt

fail() { echo "FAIL: $*" >&2; exit 1; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
# The red cursor crosses the first row (y 12..22 from the top) near chart x.
has_cursor_at() {
  local file=$1 x=$2
  for dx in -1 0 1; do
    [ "$(pixel "$file" $((x + dx)) 16)" = "255,0,0" ] && return 0
  done
  return 1
}

"$render" --help | grep -q "usage: vortane-render" || fail "--help"

# Times in the given order, the chart drawn, the script's default path.
"$render" --at 500,0 --timeline --size 1024x768 --out shots
[ -f shots/at_0.png ] && [ -f shots/at_500.png ] || fail "missing at_ pictures"
[ "$(identify -format '%wx%h' shots/at_0.png)" = "1024x768" ] || fail "size"
has_cursor_at shots/at_0.png 12 || fail "cursor at 0 ms"
has_cursor_at shots/at_500.png 512 || fail "cursor at 500 ms"
has_cursor_at shots/at_500.png 12 && fail "stale cursor at 500 ms"
[ "$(pixel shots/at_500.png 300 16)" = "128,128,128" ] || fail "chart row"
[ "$(pixel shots/at_500.png 15 15)" = "0,255,0" ] || fail "play marker"

# Without --timeline the frame is the demo alone (transformations draw nothing).
"$render" --at 500 --out plain --script 'data\tunnel_test.vds'
[ "$(identify -format '%wx%h' plain/at_500.png)" = "640x480" ] || fail "script window size"
[ "$(pixel plain/at_500.png 320 240)" = "0,0,0" ] || fail "plain frame not black"

# A fixed rate: 0, 100, 200, 300 ms.
"$render" --fps 10 --to 300 --out seq
[ "$(ls seq | wc -l)" = 4 ] && [ -f seq/frame_000003.png ] || fail "fps frames: $(ls seq)"

# Failures are reported with a non-zero exit.
if "$render" --at 0 --script 'data\missing.vds' 2>err.txt; then fail "missing script accepted"; fi
grep -q "cannot open the script" err.txt || fail "missing script message"
printf 'VT_WINDOW_HEIGHT 600 \n' > data/bad.vds
if "$render" --at 0 --script 'data\bad.vds' 2>err.txt; then fail "malformed script accepted"; fi
grep -q '"600 " is an invalid integer' err.txt || fail "conversion error not shown"
touch blocker
if "$render" --at 0 --out blocker/sub 2>err.txt; then fail "unwritable output accepted"; fi
grep -q "cannot write" err.txt || fail "write failure message"
if "$render" --at 1.5 2>/dev/null; then fail "fractional time accepted"; fi

# The demo's folder named from elsewhere: the script is found there (the
# letter case resolved), the pictures go where the command was given.
mkdir elsewhere
(cd elsewhere && "$render" --at 500 --timeline --out shots "$work") || fail "demo folder argument"
has_cursor_at elsewhere/shots/at_500.png 320 || fail "the named demo was not the one drawn"
status=0
(cd elsewhere && "$render" --at 0 "$work/nowhere" 2>err.txt) || status=$?
[ "$status" = 1 ] || fail "missing demo folder: status $status"
grep -q "the folder \"$work/nowhere\" does not exist" elsewhere/err.txt || fail "missing folder not named"
status=0
"$render" --at 0 "$work" "$work" 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "two demo folders: status $status"
echo "render e2e ok"
