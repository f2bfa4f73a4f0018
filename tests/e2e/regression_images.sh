#!/usr/bin/env bash
# The sample demo drawn by vortane-render at fixed times matches the
# reference pictures in tests/reference/ within a small tolerance (Mesa's
# software renderer is deterministic; the tolerance absorbs rounding
# differences between optimised and sanitizer builds). After an intended
# change of the picture: tools/refresh-reference-images.sh.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
render=$build/tools/vortane-render
source "$source_dir/tests/reference/times.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$source_dir"
# The leak check at exit works beside the offscreen EGL driver.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp \
  "$render" --size "$REFERENCE_SIZE" --at "$REFERENCE_TIMES" --out "$out" 2>"$out/err.txt" || {
  cat "$out/err.txt"
  exit 1
}
# The items' GL objects went while the offscreen context was there.
if grep "no OpenGL context current" "$out/err.txt"; then exit 1; fi
status=0
for t in ${REFERENCE_TIMES//,/ }; do
  # Pixels whose colour differs by more than 4% in any channel; at most 1% of the picture.
  differing=$(compare -metric AE -fuzz 4% "tests/reference/at_$t.png" "$out/at_$t.png" null: 2>&1 || true)
  differing=${differing%% *}
  limit=$(( $(identify -format '%w*%h' "tests/reference/at_$t.png") / 100 ))
  if ! [[ "$differing" =~ ^[0-9.e+]+$ ]] || awk -v d="$differing" -v l="$limit" 'BEGIN { exit !(d > l) }'; then
    echo "FAIL: the picture at $t ms differs from tests/reference/at_$t.png in $differing pixels (limit $limit)"
    status=1
  fi
done
[ "$status" = 0 ] && echo "regression_images: ok"
exit "$status"
