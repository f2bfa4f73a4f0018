#!/usr/bin/env bash
# A demo of the scene items through vortane-render: a sky, a transformation,
# the tunnel and a torus mesh, each with its own texture (the torus shows
# the tunnel's, which the tunnel leaves bound).
set -euo pipefail
# Sanitizer builds: LSan lists its suppressions on stderr, which is no message.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}print_suppressions=0"
build=$(cd "$1" && pwd)
render=$build/tools/vortane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data

channel() {  # type, file
  printf 'VT_RENDER_CHANNEL {\n  VT_RENDER_ITEMS_TYPE "%s"\n  VT_RENDER_ITEMS_FILE "%s"\n' "$1" "$2"
  printf '  VT_RENDER_LINES {\n    VT_RENDER_TIMES_BEGIN_END 0 10000 0 "vt_PLAY"\n  }\n}\n'
}
{
  printf 'VT_DEMO_NAME "items"\nVT_DEMO_ENDTIME 10000\n'
  channel vt_SKY 'data\sky.vtk'
  channel vt_TRANS 'data\cam.vtt'
  channel vt_TUNNEL 'data\tunnel.vts'
  channel vt_TRANS 'data\move.vtt'
  channel vt_MESH 'data\torus.vto'
} > data/tunnel_test.vds
printf 'VT_STATIC_TRANSFORMATION {\n\tVT_TRANSLATE 8 0 -30\n\tVT_ROTATE 60 0 1 0\n}\n' > data/cam.vtt
printf 'VT_STATIC_TRANSFORMATION {\n\tVT_TRANSLATE 0 4 6\n\tVT_ROTATE 50 1 0 0\n}\n' > data/move.vtt
printf 'VT_SKY_SIZE 200\n' > data/sky.vtk
for face in NEGX NEGY NEGZ POSX POSY POSZ; do
  printf 'VT_TEXT_SOURCE_%s "data\\%s.png"\n' $face $face >> data/sky.vtk
  colour='rgb(0,0,255)'
  [ $face = POSZ ] && colour='rgb(255,0,255)'
  convert -size 8x8 "xc:$colour" data/$face.png
done
convert -size 8x8 'xc:rgb(255,160,0)' data/orange.png
printf 'VT_DIFFUSE_MAP "data\\orange.png"\nVT_EFFECT "vt_EFFECT00"\n' > data/tunnel.vts
printf 'VT_MESH_INFO {\nVT_MESH_TYPE\nVT_GEN_TYPE "vt_TORUS"\nVT_PARAMETER {\n' > data/torus.vto
printf 'VT_RADIUS 2.0\nVT_WITH 0.6\nVT_STACKS 16\nVT_SLICES 32\n}\n}\n' >> data/torus.vto

fail() { echo "FAIL: $*" >&2; exit 1; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
orange() {  # lit orange texture: red over green, no blue
  IFS=, read -r r g b <<< "$(pixel "$@")"
  [ "$r" -gt 100 ] && [ "$g" -gt 50 ] && [ "$r" -gt "$g" ] && [ "$b" -lt 30 ]
}

"$render" --at 0 --out shots 2>err.txt || { cat err.txt; fail "render"; }
[ "$(pixel shots/at_0.png 10 10)" = "255,0,255" ] || fail "sky POSZ face ahead: $(pixel shots/at_0.png 10 10)"
orange shots/at_0.png 470 240 || fail "tunnel: $(pixel shots/at_0.png 470 240)"
orange shots/at_0.png 515 140 || fail "torus: $(pixel shots/at_0.png 515 140)"
[ "$(pixel shots/at_0.png 515 170)" = "255,0,255" ] || fail "sky between torus and tunnel"
! grep -q "^\[Vortane" err.txt || { cat err.txt; fail "messages while rendering"; }  # sanitizer summaries may follow
echo "items demo ok"
