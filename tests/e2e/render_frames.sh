#!/usr/bin/env bash
# vortane-render on the sample demo: the picture keeps its aspect between
# black bars, frame sequences never mix with an earlier run's, and the
# refusals of times and folders.
set -euo pipefail
build=$(cd "$1" && pwd)
demo=$(cd "$2" && pwd)
render=$build/tools/vortane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
status_of() { local s=0; "$@" 2>err.txt || s=$?; echo $s; }

# 1920x1080: the 4:3 picture of 1440x1080 between bars of 240 columns.
"$render" --at 20000 --size 1920x1080 --out wide "$demo" 2>/dev/null
"$render" --at 20000 --size 1440x1080 --out narrow "$demo" 2>/dev/null
for bar in 240x1080+0+0 240x1080+1680+0; do
  [ "$(convert wide/at_20000.png -crop "$bar" -format "%[max]" info:)" = 0 ] ||
    fail "bar $bar not black"
done
convert wide/at_20000.png -crop 1440x1080+240+0 +repage middle.png
[ "$(compare -metric AE middle.png narrow/at_20000.png null: 2>&1)" = 0 ] ||
  fail "the picture between the bars is not the 4:3 render"

# A sequence into a folder with frames of an earlier run is refused; --force removes them first.
"$render" --fps 10 --from 59000 --to 59300 --size 64x48 --out seq "$demo" 2>/dev/null
[ "$(status_of "$render" --fps 10 --from 59000 --to 59100 --size 64x48 --out seq "$demo")" = 2 ] || fail "stale frames kept"
grep -q "already holds 4 frame_\*.png files" err.txt || fail "stale frames: $(cat err.txt)"
"$render" --fps 10 --from 59000 --to 59100 --size 64x48 --out seq --force "$demo" 2>/dev/null
[ "$(ls seq)" = "$(printf 'frame_000000.png\nframe_000001.png')" ] || fail "--force left $(ls seq)"

# --to past the end: clamped, with one warning.
"$render" --fps 10 --from 59800 --to 70000 --size 64x48 --out end "$demo" 2>err.txt
[ "$(ls end | wc -l)" = 3 ] || fail "frames past the end: $(ls end)"
[ "$(grep -c "past the demo's end" err.txt)" = 1 ] || fail "warnings: $(cat err.txt)"

# Negative times and supersampling out of range are wrong options.
for args in "--at -5" "--fps 10 --from -1" "--at 0 --supersample 5"; do
  # shellcheck disable=SC2086
  [ "$(status_of "$render" $args "$demo")" = 2 ] || fail "$args accepted"
done
echo "render_frames: ok"
