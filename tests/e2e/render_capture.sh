#!/usr/bin/env bash
# vortane-render --fps N --audio: the frames and a WAV of exactly their
# length, starting at the first frame's time of the music.
set -euo pipefail
build=$(cd "$1" && pwd)
render=$build/tools/vortane-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir data
fail() { echo "FAIL: $*" >&2; exit 1; }

# A 3 s music file: a ramp whose sample value tells the frame it belongs to;
# the same ramp in 32-bit float samples (full scale 1.0) must play alike.
python3 - <<'PY'
import struct, wave
rate = 8000
with wave.open("data/ramp.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(b"".join(struct.pack("<h", i // 2) for i in range(3 * rate)))
data = b"".join(struct.pack("<f", (i // 2) / 32768) for i in range(3 * rate))
fmt = struct.pack("<HHIIHH", 3, 1, rate, rate * 4, 4, 32)  # format 3: IEEE float
with open("data/ramp_float.wav", "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
    f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)
PY
cat > data/tunnel_test.vds <<'VDS'
VT_BASS_MUSIC "data\ramp.wav"
VT_DEMO_ENDTIME 3000
VT_RENDER_CHANNEL {
  VT_RENDER_ITEMS_TYPE "vt_TRANS"
  VT_RENDER_ITEMS_FILE "data\cam.vtt"
  VT_RENDER_LINES {
    VT_RENDER_TIMES_BEGIN_END 0 3000 0 "vt_PLAY"
  }
}
VDS
printf 'VT_STATIC_TRANSFORMATION {\n\t\tVT_TRANSLATE\t0 0 -6\n}\n' > data/cam.vtt

# 10 frames at 25 fps from 1000 ms: 0.4 s of sound from frame 8000.
for music in ramp ramp_float; do
  sed -i "s/ramp[a-z_]*\.wav/$music.wav/" data/tunnel_test.vds
  rm -rf cap
  "$render" --fps 25 --from 1000 --to 1360 --size 64x48 --out cap --audio cap/sound.wav
  [ "$(ls cap/frame_*.png | wc -l)" = 10 ] || fail "frame count"
  python3 - <<'PY' || fail "sound track of $music.wav"
import struct, wave
with wave.open("cap/sound.wav") as w:
    assert w.getframerate() == 8000 and w.getnchannels() == 1, "format"
    assert w.getnframes() == 3200, "length %d" % w.getnframes()
    data = w.readframes(3200)
    first = struct.unpack("<h", data[:2])[0]
    last = struct.unpack("<h", data[-2:])[0]
    assert first == 8000 // 2, "first sample %d" % first
    assert last == (8000 + 3199) // 2, "last sample %d" % last
PY
done

# Music the script names but that cannot be played: silence, and why.
sed -i 's/ramp_float\.wav/gone.ogg/' data/tunnel_test.vds
"$render" --fps 10 --from 0 --to 900 --size 64x48 --out gone --audio gone/sound.wav 2> gone.err
grep -qF 'vortane-render: the script names music data\gone.ogg but it cannot be played: there is no such file' gone.err ||
  fail "no reason for music that cannot be played: $(cat gone.err)"
grep -qF 'vortane-render: the music "data\gone.ogg" cannot be played: there is no such file' gone.err ||
  fail "the loader said nothing: $(cat gone.err)"

# Without music the sound track is silence of the same length.
sed -i '/VT_BASS_MUSIC/d' data/tunnel_test.vds
"$render" --fps 10 --from 0 --to 900 --size 64x48 --out quiet --audio quiet/sound.wav 2> quiet.err
grep -q "no music" quiet.err || fail "no warning for a silent track"
python3 - <<'PY' || fail "silent track"
import wave
with wave.open("quiet/sound.wav") as w:
    assert w.getnframes() == 44100, "length %d" % w.getnframes()
    assert set(w.readframes(44100)) == {0}, "not silent"
PY

# --audio without --fps is refused.
if "$render" --at 0 --audio x.wav 2>/dev/null; then fail "--audio accepted without --fps"; fi
echo "render_capture: ok"
