#!/usr/bin/env bash
# vortane-render on a demo that shows every file of the real ASE corpus, one
# after another, each for a frame, inside a camera transformation. In the
# sanitizer build any memory or undefined-behaviour report fails the run.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
render=$build/tools/vortane-render
corpus=$source_dir/../shared/corpus/ase
fail() { echo "FAIL: $*" >&2; exit 1; }
# The corpus lives beside the checkout (../shared), not in it: skipped without it.
if [ ! -d "$corpus" ]; then echo "SKIP: no ASE corpus at $corpus"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/ase"
cd "$work"

# Flat copies with plain names, the textures beside them.
n=0
while IFS= read -r -d '' f; do
  n=$((n + 1))
  cp "$f" "data/ase/m$n.ase"
done < <(find "$corpus" -type f -iname '*.ase' -print0 | sort -z)
find "$corpus" -type f ! -iname '*.ase' ! -iname '*.md' -exec cp {} data/ase/ \;
[ "$n" -ge 60 ] || fail "only $n corpus files"

step=10
{
  echo 'VT_DEMO_NAME "ASE corpus"'
  echo "VT_DEMO_ENDTIME $((n * step + step))"
  printf 'VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE "vt_TRANS"\n VT_RENDER_ITEMS_FILE "data\\cam.vtt"\n'
  printf ' VT_RENDER_LINES {\n  VT_RENDER_TIMES_BEGIN_END 0 %d 0 "vt_PLAY"\n }\n}\n' $((n * step + step))
  for i in $(seq 1 "$n"); do
    printf 'VT_RENDER_CHANNEL {\n VT_RENDER_ITEMS_TYPE "vt_3D_ASE"\n VT_RENDER_ITEMS_FILE "data\\ase\\m%d.ase"\n' "$i"
    printf ' VT_RENDER_LINES {\n  VT_RENDER_TIMES_BEGIN_END %d %d 0 "vt_PLAY"\n }\n}\n' $((i * step)) $((i * step + step - 1))
  done
} > data/corpus.vds
printf 'VT_STATIC_TRANSFORMATION {\n\tVT_TRANSLATE 0 0 -300\n}\n' > data/cam.vtt

times=$(seq -s, "$step" "$step" $((n * step)))
# The leak check at exit works beside the offscreen EGL driver.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp \
  VORTANE_MESSAGES=stderr "$render" --script 'data\corpus.vds' --at "$times" --size 160x120 --out shots \
  2> render.log || { tail -n 40 render.log >&2; fail "vortane-render failed on the corpus"; }
grep -E "ERROR: (Address|Leak)Sanitizer|runtime error:" render.log && fail "sanitizer report"
shots=$(find shots -name 'at_*.png' | wc -l)
[ "$shots" -eq "$n" ] || fail "$shots pictures for $n files"
echo "rendered $n corpus files"
