#!/usr/bin/env bash
# Every demo snippet of README.md and docs/formats.md reads and renders
# without a message (and, where the player has --check, checks clean).
#
# A snippet is a fenced block whose info string names a format: vds, vtl,
# vtt, vtk, vto, vts or ase. Each goes into its own copy of a base demo
# (vortane --new plus the sample demo's files): a script holding
# VT_DEMO_ENDTIME replaces the script, any other is appended to it; an item
# file goes into data/items/ with a channel of its kind appended. The
# tutorial's snippets carry where they go ("vtl data/layers/fade.vtl",
# "vds append") and build up one demo together.
source "$(dirname "$0")/player_lib.bash"
RENDER="$BUILD_DIR/tools/vortane-render"
BASE="$WORK/base"

"$PLAYER" --new "$BASE" >/dev/null || fail "vortane --new"
cp -rn "$SOURCE_DIR/data/." "$BASE/data/"
HAVE_CHECK=0
if "$PLAYER" --help | grep -q -- "--check"; then HAVE_CHECK=1; fi

# Writes the snippets of $1 as $WORK/snips/NNN.LANG, their targets in NNN.where.
split_snippets() {
  mkdir -p "$WORK/snips"
  awk -v dir="$WORK/snips" -v start="$2" '
    BEGIN { n = start }
    match($0, /^ *```(vds|vtl|vtt|vtk|vto|vts|ase)( [^ ]+)?$/) {
      indent = index($0, "`") - 1
      info = substr($0, indent + 4)
      split(info, part, " ")
      n++
      file = sprintf("%s/%03d.%s", dir, n, part[1])
      printf "%s", part[2] > sprintf("%s/%03d.where", dir, n)
      next
    }
    file != "" && $0 ~ /^ *```$/ { close(file); file = ""; next }
    file != "" { print substr($0, indent + 1) > file }
  ' "$1"
}

type_of() {
  case $1 in
    vtl) echo vt_2D_VTL ;; vtt) echo vt_TRANS ;; vtk) echo vt_SKY ;;
    vto) echo vt_MESH ;; vts) echo vt_TUNNEL ;; ase) echo vt_3D_ASE ;;
  esac
}

# Puts one snippet into the demo $1 as its kind and place say.
apply_snippet() {
  local demo=$1 snip=$2 lang=${2##*.} where
  where=$(cat "${snip%.*}.where")
  # The demo's files are links into the base demo: the script is replaced, never written in place.
  local script="$demo/data/tunnel_test.vds"
  cp "$script" "$script.own" && mv "$script.own" "$script"
  if [ "$where" = append ] || { [ "$lang" = vds ] && [ -z "$where" ] && ! grep -q VT_DEMO_ENDTIME "$snip"; }; then
    cat "$snip" >>"$script"
  elif [ "$lang" = vds ] && [ -z "$where" ]; then
    cp "$snip" "$script"
  elif [ -n "$where" ]; then
    mkdir -p "$(dirname "$demo/$where")"
    rm -f "$demo/$where"
    cp "$snip" "$demo/$where"
  else
    rm -f "$demo/data/items/readme.$lang"
    cp "$snip" "$demo/data/items/readme.$lang"
    printf 'VT_RENDER_CHANNEL {\n\tVT_RENDER_ITEMS_TYPE "%s"\n\tVT_RENDER_ITEMS_FILE "data\\items\\readme.%s"\n\tVT_RENDER_LINES {\n\t\tVT_RENDER_TIMES_BEGIN_END 0 20000 0 "vt_PLAY"\n\t}\n}\n' \
      "$(type_of "$lang")" "$lang" >>"$script"
  fi
}

# The demo reads and renders without a message, and checks clean.
try_demo() {
  local demo=$1 what=$2
  if [ "$HAVE_CHECK" = 1 ]; then
    "$PLAYER" --check "$demo" >"$WORK/check.out" 2>&1 || fail "$what: --check: $(cat "$WORK/check.out")"
    grep -q "^0 errors, 0 warnings" "$WORK/check.out" || fail "$what: --check: $(cat "$WORK/check.out")"
  fi
  rm -rf "$WORK/shots"
  "$RENDER" --at 19000 --out "$WORK/shots" "$demo" >/dev/null 2>"$WORK/player.err" || fail "$what: render"
  if grep -q "^\[Vortane" "$WORK/player.err"; then fail "$what: a message while rendering"; fi
  [ -s "$WORK/shots/at_19000.png" ] || fail "$what: no frame"
}

split_snippets "$SOURCE_DIR/README.md" 0
readme_count=$(find "$WORK/snips" -name '*.where' | wc -l)
split_snippets "$SOURCE_DIR/docs/formats.md" "$readme_count"
total=$(find "$WORK/snips" -name '*.where' | wc -l)
[ "$readme_count" -ge 8 ] || fail "only $readme_count snippets in README.md"
[ "$total" -ge $((readme_count + 8)) ] || fail "only $((total - readme_count)) snippets in docs/formats.md"

TUTORIAL="$WORK/tutorial"
cp -rl "$BASE" "$TUTORIAL"
for snip in $(find "$WORK/snips" -type f ! -name '*.where' | sort); do
  if [ -s "${snip%.*}.where" ]; then
    apply_snippet "$TUTORIAL" "$snip"
    continue
  fi
  rm -rf "$WORK/one"
  cp -rl "$BASE" "$WORK/one"
  apply_snippet "$WORK/one" "$snip"
  try_demo "$WORK/one" "snippet $(basename "$snip"): $(head -n 1 "$snip")"
done
try_demo "$TUTORIAL" "the tutorial"
echo "readme_snippets: ok ($total snippets)"
