#!/usr/bin/env bash
# vortane-render --video: MP4 and WebM files of the sample demo checked with
# ffprobe (streams, frames, durations), the picture against --at, a demo
# without music, an interrupted render and the refusals.
set -euo pipefail
build=$(cd "$1" && pwd)
demo=$(cd "$2" && pwd)
render=$build/tools/vortane-render
command -v ffprobe >/dev/null || { echo "no ffprobe: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
status_of() { local s=0; "$@" 2>err.txt || s=$?; echo $s; }
probe() { ffprobe -v error -select_streams "$2" -show_entries "$3" -of csv=p=0 "$1"; }
# A stream's length in seconds: the end of its last packet.
stream_end() {
  ffprobe -v error -select_streams "$2" -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" |
    awk -F, '{ e = $1 + $2; if (e > m) m = e } END { print m }'
}
within() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { exit !((a - b) ^ 2 <= d ^ 2) }'; }

# 10 frames at 30 fps in a 16:9 frame: H.264 High yuv420p with AAC, index first.
"$render" --video v.mp4 --fps 30 --from 20300 --to 20600 --size 852x480 "$demo" 2>/dev/null
[ "$(probe v.mp4 v stream=codec_name,profile,pix_fmt,width,height,r_frame_rate)" = "h264,High,852,480,yuv420p,30/1" ] ||
  fail "video stream: $(probe v.mp4 v stream=codec_name,profile,pix_fmt,width,height,r_frame_rate)"
[ "$(probe v.mp4 v stream=nb_frames)" = 10 ] || fail "frames: $(probe v.mp4 v stream=nb_frames)"
[ "$(probe v.mp4 a stream=codec_name,sample_rate,channels)" = "aac,44100,2" ] || fail "sound stream"
within "$(stream_end v.mp4 a)" "$(stream_end v.mp4 v)" 0.0334 || fail "mp4 sound and picture lengths differ"
[ "$(grep -obUaE 'moov|mdat' v.mp4 | head -1 | cut -d: -f2)" = moov ] || fail "the index is not at the front"

# The frame at 20500 ms, decoded, matches --at 20500 between the same bars.
ffmpeg -v error -i v.mp4 -sws_flags bicubic+accurate_rnd+full_chroma_int -vf "select=eq(n\,6)" -frames:v 1 frame.png
"$render" --at 20500 --size 852x480 --out at "$demo" 2>/dev/null
psnr=$(compare -metric PSNR frame.png at/at_20500.png null: 2>&1 || true)
awk -v p="$psnr" 'BEGIN { exit !(p >= 35) }' || fail "PSNR $psnr dB against --at"

# WebM: VP9 with Opus.
"$render" --video v.webm --fps 10 --from 30000 --to 30500 --size 160x120 --quality 30 "$demo" 2>/dev/null
[ "$(probe v.webm v stream=codec_name,pix_fmt,width,height,r_frame_rate)" = "vp9,160,120,yuv420p,10/1" ] ||
  fail "webm video: $(probe v.webm v stream=codec_name,pix_fmt,width,height,r_frame_rate)"
[ "$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 v.webm)" = 6 ] ||
  fail "webm frames"
[ "$(probe v.webm a stream=codec_name,sample_rate,channels)" = "opus,48000,2" ] || fail "webm sound"
within "$(stream_end v.webm a)" "$(stream_end v.webm v)" 0.1 || fail "webm sound and picture lengths differ"

# A demo without music: no sound stream at all.
mkdir -p quiet/data
printf 'VT_DEMO_ENDTIME 1000\n' > quiet/data/tunnel_test.vds
"$render" --video quiet.mp4 --fps 10 --size 64x48 quiet 2>/dev/null
[ "$(probe quiet.mp4 a stream=index)" = "" ] && [ "$(probe quiet.mp4 v stream=nb_frames)" = 11 ] || fail "quiet demo"

# SIGTERM while encoding (60001 frames: it cannot end first): a whole,
# playable file of the frames so far, or none if no frame was done yet.
"$render" --video long.mp4 --fps 1000 --size 64x48 "$demo" 2>/dev/null &
for _ in $(seq 1200); do [ -e long.mp4.part ] && break; sleep 0.1; done
sleep 1
kill -TERM $!
status=0; wait $! || status=$?
[ "$status" = 143 ] || fail "status $status after SIGTERM"
[ ! -e long.mp4.part ] || fail "partial file left"
if [ -e long.mp4 ]; then
  frames=$(probe long.mp4 v stream=nb_frames)
  [ "$frames" -gt 0 ] && [ "$frames" -lt 60001 ] || fail "$frames frames after SIGTERM"
  [ -z "$(ffmpeg -v error -i long.mp4 -f null - 2>&1)" ] || fail "the interrupted file does not decode"
fi

# Refusals are wrong options (2); a file that cannot be written fails (1) and leaves nothing.
[ "$(status_of "$render" --video v.mp4 "$demo")" = 2 ] && grep -q "give --force" err.txt || fail "existing file"
for args in "--video v.mp4 --force --size 65x48" "--video v.avi" "--video w.mp4 --quality 0" \
  "--video w.mp4 --quality 52" "--video w.mp4 --at 0"; do
  # shellcheck disable=SC2086
  [ "$(status_of "$render" $args "$demo")" = 2 ] || fail "$args accepted"
done
[ "$(status_of "$render" --video nowhere/v.mp4 --to 100 "$demo")" = 1 ] && [ ! -e nowhere ] || fail "unwritable file"
# A renderer whose codec module is missing says so, writes nothing, and still renders pictures.
mkdir -p alone && cp "$render" alone/
[ "$(status_of alone/vortane-render --video m.mp4 --to 100 "$demo")" = 1 ] && grep -q "cannot load the video encoder" err.txt &&
  [ ! -e m.mp4 ] && [ ! -e m.mp4.part ] || fail "missing codec module: $(cat err.txt)"
alone/vortane-render --at 0 --size 64x48 --out alone "$demo" 2>/dev/null || fail "no picture without the codec module"
echo "render_video: ok"
