# Shared by the player's end-to-end tests (sourced; arguments: build dir,
# source dir). Gives a private Xvfb display, a scratch demo folder and
# helpers to start the player, find its window and look at it. Everything
# started here is stopped when the test script exits.
set -eEuo pipefail
# A command that fails outside a test's own checks still says what failed
# (in a $(...) capture its output would otherwise vanish with it).
trap 'echo "FAIL: line $LINENO: \"$BASH_COMMAND\" exited with $?" >&2' ERR

BUILD_DIR=$(cd "$1" && pwd)
SOURCE_DIR=$(cd "$2" && pwd)
PLAYER="$BUILD_DIR/vortane"
[ -x "$PLAYER" ] || PLAYER=$(find "$BUILD_DIR" -name vortane -type f -perm -u+x | head -n 1)
[ -x "$PLAYER" ] || { echo "no player binary under $BUILD_DIR"; exit 1; }

export SDL_AUDIODRIVER=dummy
export VORTANE_MESSAGES=stderr
# In a sanitizer build the leak check at exit stops every thread; it hung
# now and then beside Mesa's rasteriser threads, so the software rasteriser
# runs on the player's own thread here.
export LP_NUM_THREADS=0
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$SOURCE_DIR/tests/lsan.supp"
unset SDL_VIDEODRIVER WAYLAND_DISPLAY

WORK=$(mktemp -d)
DEMO="$WORK/demo"
XVFB_PID=""
PLAYER_PID=""

cleanup() {
  if [ -n "$PLAYER_PID" ]; then kill "$PLAYER_PID" 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$WORK/player.err" ]; then echo "--- player stderr" >&2; cat "$WORK/player.err" >&2; fi
  exit 1
}

# Starts Xvfb on a free display (it picks the number itself) and exports
# DISPLAY. -noreset: by default the server resets when its last client
# leaves, and a client connecting meanwhile is refused; the player would
# find no display when it starts just as xdotool or a previous player ends.
start_xvfb() {
  exec 9>"$WORK/display"
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  exec 9>&-
  local i
  for i in $(seq 100); do
    if [ -s "$WORK/display" ]; then
      export DISPLAY=":$(head -n 1 "$WORK/display")"
      return 0
    fi
    sleep 0.1
  done
  fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
}

# Writes a demo into $DEMO: versio.inf, the script (its lines are the
# arguments, one per line) and the two items the script may name.
make_demo() {
  mkdir -p "$DEMO/data"
  printf 'Vortane Test Version 1.0\nsecond line is not used\n' >"$DEMO/data/versio.inf"
  printf '%s\n' "$@" >"$DEMO/data/tunnel_test.vds"
  cat >"$DEMO/data/camera.vtt" <<'VTT'
VT_STATIC_TRANSFORMATION {
		VT_TRANSLATE	0 0 -6
		VT_ROTATE		30 1 0 0
}
VTT
  cat >"$DEMO/data/ring.vto" <<'VTO'
VT_MESH_INFO {
VT_MESH_TYPE
VT_GEN_TYPE "vt_TORUS"
VT_PARAMETER {
VT_RADIUS 1.0
VT_WITH 0.3
VT_STACKS 16
VT_SLICES 32
}
}
VTO
}

# Script lines of a channel: type tag, file, then "begin end mode tag" lines.
channel() {
  local type=$1 file=$2
  shift 2
  echo 'VT_RENDER_CHANNEL {'
  echo "VT_RENDER_ITEMS_TYPE \"$type\""
  echo "VT_RENDER_ITEMS_FILE \"$file\""
  echo 'VT_RENDER_LINES {'
  local line
  for line in "$@"; do
    set -- $line
    echo "VT_RENDER_TIMES_BEGIN_END $1 $2 $3 \"$4\""
  done
  echo '}'
}

# Starts the player in the demo folder, in the background, with a hard limit.
start_player() {
  (cd "$DEMO" && exec timeout -k 5 60 "$PLAYER" >"$WORK/player.out" 2>"$WORK/player.err") &
  PLAYER_PID=$!
}

# A copy of the sample demo in $DEMO.
copy_sample_demo() {
  mkdir -p "$DEMO"
  cp -r "$SOURCE_DIR/data" "$DEMO/"
}

# Starts vortane --live --studio --port 0 in $DEMO, in the background, with
# a hard limit of the first argument's seconds; any further arguments are
# ulimit's, applied to the player alone.
start_studio_player() {
  local limit=$1
  shift
  (cd "$DEMO" && if [ $# -gt 0 ]; then ulimit "$@"; fi &&
    exec timeout -k 5 "$limit" "$PLAYER" --live --studio --port 0 --window \
      >"$WORK/player.out" 2>"$WORK/player.err") &
  PLAYER_PID=$!
}

# Waits for the studio's address on the player's standard output and sets
# STUDIO_URL to it.
wait_studio_url() {
  local i
  for i in $(seq 300); do
    grep -q '^studio: ' "$WORK/player.out" && break
    kill -0 "$PLAYER_PID" 2>/dev/null || fail "the player ended before printing the studio's address"
    sleep 0.1
  done
  STUDIO_URL=$(sed -n 's/^studio: //p' "$WORK/player.out")
  [ -n "$STUDIO_URL" ] || fail "no studio address"
}

# Sets SELENIUM_PYTHON to a python3 that has Selenium; without it, Chromium
# or chromedriver the test named by the argument is skipped (status 77).
need_browser() {
  local candidate
  SELENIUM_PYTHON=""
  for candidate in /usr/bin/python3 python3; do
    if command -v "$candidate" >/dev/null && "$candidate" -c 'import selenium' 2>/dev/null; then
      SELENIUM_PYTHON=$candidate
      break
    fi
  done
  if [ ! -x /usr/bin/chromium ] || [ ! -x /usr/bin/chromedriver ] || [ -z "$SELENIUM_PYTHON" ]; then
    echo "$1: skipped: needs /usr/bin/chromium, /usr/bin/chromedriver and python3-selenium (tools/install-deps.sh)"
    exit 77
  fi
}

# Waits for the player to end (at most the given seconds) and sets
# PLAYER_STATUS to its exit status.
wait_player() {
  local limit=${1:-30} i
  for i in $(seq $((limit * 10))); do
    if ! kill -0 "$PLAYER_PID" 2>/dev/null; then
      PLAYER_STATUS=0
      wait "$PLAYER_PID" || PLAYER_STATUS=$?
      PLAYER_PID=""
      return 0
    fi
    sleep 0.1
  done
  fail "the player did not end within $limit s"
}

# Echoes the id of the player's visible window once it is there.
find_window() {
  local i id
  for i in $(seq 200); do
    id=$(xdotool search --onlyvisible --class vortane 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$PLAYER_PID" 2>/dev/null || fail "the player ended before its window showed"
    sleep 0.1
  done
  fail "no player window appeared"
}

window_title() {
  xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# Presses and releases a key over the window (shorter than auto-repeat).
press_key() {
  local window=$1 key=$2
  xdotool mousemove --window "$window" 5 5
  xdotool keydown "$key"
  sleep 0.1
  xdotool keyup "$key"
}

# Counts the pixels of the window's screenshot with this colour (r g b,
# each within 12) inside the rectangle x0 y0 x1 y1 (top-left origin).
count_pixels() {
  local window=$1 r=$2 g=$3 b=$4 x0=$5 y0=$6 x1=$7 y1=$8
  import -window "$window" -depth 8 "ppm:$WORK/shot.ppm"
  python3 - "$WORK/shot.ppm" "$r" "$g" "$b" "$x0" "$y0" "$x1" "$y1" <<'PY'
import sys
path, r, g, b, x0, y0, x1, y1 = sys.argv[1], *map(int, sys.argv[2:])
data = open(path, "rb").read()
fields, pos = [], 0
while len(fields) < 4:  # P6 width height maxval, blank separated
    while data[pos:pos + 1].isspace():
        pos += 1
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
width, height = int(fields[1]), int(fields[2])
assert int(fields[3]) == 255, "expected 8-bit samples"
pixels = data[pos + 1:]
count = 0
for y in range(max(0, y0), min(height, y1)):
    for x in range(max(0, x0), min(width, x1)):
        i = 3 * (y * width + x)
        if abs(pixels[i] - r) <= 12 and abs(pixels[i + 1] - g) <= 12 and abs(pixels[i + 2] - b) <= 12:
            count += 1
print(count)
PY
}
