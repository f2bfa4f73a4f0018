#!/usr/bin/env bash
# A layer system over the tunnel through vortane-render: an orange disc
# (transparent outside the disc) fading in, growing and turning.
set -euo pipefail
# Sanitizer builds: LSan lists its suppressions on stderr, which is no message.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}print_suppressions=0"
build=$(cd "$1" && pwd)
render=$build/tools/vortane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data

convert -size 64x64 xc:none -fill 'rgb(255,120,0)' -draw 'circle 32,32 32,2' data/logo.png
convert -size 8x8 'xc:rgb(0,90,255)' data/blue.png
printf 'VT_DIFFUSE_MAP "data\\blue.png"\nVT_EFFECT "vt_EFFECT00"\n' > data/tunnel.vts
cat > data/title.vtl <<'VTL'
#Vortane Layer System
VT_LAYER {
		VT_TEXT_SOURCE			"data\logo.png"
		VT_BLEND_SFACTOR		770
		VT_BLEND_DFACTOR		771
		VT_KEYS {
			VT_KEY 0 512 384 0 0 300 300 255 255 255 0
			VT_KEY 2000 512 384 0 45 600 600 255 255 255 255
			VT_KEY 4000 512 384 0 45 600 600 255 255 255 255
		}
}
VTL
channel() {  # type, file
  printf 'VT_RENDER_CHANNEL {\n  VT_RENDER_ITEMS_TYPE "%s"\n  VT_RENDER_ITEMS_FILE "%s"\n' "$1" "$2"
  printf '  VT_RENDER_LINES {\n    VT_RENDER_TIMES_BEGIN_END 0 4000 0 "vt_PLAY"\n  }\n}\n'
}
{
  printf 'VT_WINDOW_WIDTH 640\nVT_WINDOW_HEIGHT 480\nVT_DEMO_ENDTIME 4000\n'
  channel vt_TUNNEL 'data\tunnel.vts'
  channel vt_2D_VTL 'data\title.vtl'
} > data/tunnel_test.vds

fail() { echo "FAIL: $*" >&2; exit 1; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
rgb() { IFS=, read -r r g b <<< "$(pixel "$@")"; }

"$render" --at 0,1000,3000 --out shots 2>err.txt || { cat err.txt; fail "render"; }
! grep -q "Vortane[EF] " err.txt || { cat err.txt; fail "messages while rendering"; }
rgb shots/at_3000.png 320 240
[ "$r" -ge 250 ] && [ "$g" -ge 115 ] && [ "$g" -le 125 ] && [ "$b" -le 5 ] || fail "disc at 3000 ms: $r,$g,$b"
rgb shots/at_3000.png 320 20   # layer-space corner region of the turned square, outside the disc
[ "$r" -lt 100 ] || fail "tunnel around the disc at 3000 ms: $r,$g,$b"
rgb shots/at_1000.png 320 240  # half faded in
[ "$r" -ge 100 ] && [ "$r" -le 220 ] || fail "disc half faded at 1000 ms: $r,$g,$b"
rgb shots/at_0.png 320 240     # at the first key's time the layer is not drawn
[ "$r" -lt 100 ] || fail "disc drawn at 0 ms: $r,$g,$b"
echo "layers demo ok"
