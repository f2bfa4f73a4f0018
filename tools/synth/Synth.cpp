#include "Synth.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatsPerBar = 4;
constexpr double kBpm = 120;

// The chords of the loop (i – VI – III – VII), as pad voicings and bass roots.
struct Chord {
  int pad[3];
  int bass;
};
const Chord kLoop[4] = {{{57, 60, 64}, 33}, {{53, 57, 60}, 29}, {{55, 60, 64}, 36}, {{55, 59, 62}, 31}};

// The lead melody of the last part: (beat, length in beats, note) per bar.
struct Note {
  double beat, length;
  int note;
};
const std::vector<Note> kMelody[4] = {
    {{0, 1.5, 76}, {1.5, 0.5, 74}, {2, 2, 72}},
    {{0, 1, 72}, {1, 1, 74}, {2, 2, 69}},
    {{0, 1.5, 67}, {1.5, 0.5, 72}, {2, 2, 76}},
    {{0, 1, 74}, {1, 1, 76}, {2, 2, 79}},
};

// A tiny deterministic noise source for the drums.
class Noise {
 public:
  float Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ & 0xFFFFFF) / 8388608.0f - 1.0f;
  }

 private:
  std::uint32_t state_ = 0x1234567u;
};

class Mixer {
 public:
  Mixer(int sampleRate, size_t frames) : rate_(sampleRate), dry_(frames), wet_(frames) {}

  double SecondsPerBeat() const { return 60.0 / kBpm; }
  double BarStart(int bar) const { return bar * kBeatsPerBar * SecondsPerBeat(); }

  // Adds one sample at time t (seconds), panned (-1 left … 1 right), with
  // part of it sent to the reverb.
  void Add(double t, float value, float pan, float send) {
    auto i = static_cast<size_t>(t * rate_);
    if (i >= dry_.Frames()) return;
    float l = value * std::sqrt(0.5f * (1 - pan)), r = value * std::sqrt(0.5f * (1 + pan));
    dry_.left[i] += l;
    dry_.right[i] += r;
    wet_.left[i] += l * send;
    wet_.right[i] += r * send;
  }

  int Rate() const { return rate_; }
  Stereo Finish();

 private:
  int rate_;
  Stereo dry_, wet_;
};

// A band-limited sawtooth made of its first harmonics (bright = how many).
double Saw(double phase, int harmonics) {
  double v = 0;
  for (int h = 1; h <= harmonics; ++h) v += std::sin(phase * h) / h;
  return v * 0.6;
}

// Odd harmonics only: a soft square, for the plucks.
double Square(double phase, int harmonics) {
  double v = 0;
  for (int h = 1; h <= harmonics; h += 2) v += std::sin(phase * h) / h;
  return v * 0.8;
}

void Pad(Mixer& m, double start, double length, const int (&notes)[3], float level) {
  const double attack = 0.4, release = 0.6;
  for (int n = 0; n < 3; ++n)
    for (int voice = 0; voice < 2; ++voice) {
      double f = NoteFrequency(notes[n]) * (voice ? 1.004 : 0.996);
      float pan = voice ? 0.6f : -0.6f;
      for (double t = 0; t < length + release; t += 1.0 / m.Rate()) {
        double env = std::min(1.0, t / attack) * (t > length ? std::max(0.0, 1 - (t - length) / release) : 1.0);
        double wobble = 1 + 0.15 * std::sin(2 * kPi * 0.3 * (start + t) + n);
        m.Add(start + t, static_cast<float>(Saw(2 * kPi * f * t, 6) * env * level * wobble), pan, 0.5f);
      }
    }
}

void Bass(Mixer& m, double start, double length, int note, float level) {
  double f = NoteFrequency(note);
  for (double t = 0; t < length; t += 1.0 / m.Rate()) {
    double env = std::exp(-t * 3.0) * std::min(1.0, (length - t) * 60);
    int bright = 2 + static_cast<int>(6 * std::exp(-t * 8));
    double v = Saw(2 * kPi * f * t, bright) * 0.7 + std::sin(2 * kPi * f * t) * 0.6;
    m.Add(start + t, static_cast<float>(v * env * level), 0, 0.05f);
  }
}

void Kick(Mixer& m, double start, float level) {
  double phase = 0;
  for (double t = 0; t < 0.45; t += 1.0 / m.Rate()) {
    double f = 45 + 110 * std::exp(-t * 30);
    phase += 2 * kPi * f / m.Rate();
    m.Add(start + t, static_cast<float>(std::sin(phase) * std::exp(-t * 7) * level), 0, 0.05f);
  }
}

void Snare(Mixer& m, Noise& noise, double start, float level) {
  float previous = 0;
  for (double t = 0; t < 0.25; t += 1.0 / m.Rate()) {
    float white = noise.Next(), bright = white - previous * 0.6f;
    previous = white;
    double v = bright * std::exp(-t * 18) * 0.7 + std::sin(2 * kPi * 185 * t) * std::exp(-t * 25) * 0.5;
    m.Add(start + t, static_cast<float>(v * level), 0.1f, 0.35f);
  }
}

void Hat(Mixer& m, Noise& noise, double start, float level, float pan) {
  float previous = 0;
  for (double t = 0; t < 0.06; t += 1.0 / m.Rate()) {
    float white = noise.Next(), high = white - previous;
    previous = white;
    m.Add(start + t, static_cast<float>(high * std::exp(-t * 70) * level), pan, 0.1f);
  }
}

void Pluck(Mixer& m, double start, int note, float level, float pan) {
  double f = NoteFrequency(note);
  for (double t = 0; t < 0.4; t += 1.0 / m.Rate()) {
    double v = Square(2 * kPi * f * t, 7) * std::exp(-t * 9);
    m.Add(start + t, static_cast<float>(v * level), pan, 0.6f);
  }
}

void Lead(Mixer& m, double start, double length, int note, float level) {
  double f = NoteFrequency(note), phase = 0;
  for (double t = 0; t < length + 0.3; t += 1.0 / m.Rate()) {
    double vibrato = 1 + 0.006 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t * 2);
    phase += 2 * kPi * f * vibrato / m.Rate();
    double env = std::min(1.0, t / 0.03) * (t > length ? std::max(0.0, 1 - (t - length) / 0.3) : 1.0);
    double v = std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.15 * std::sin(3 * phase);
    m.Add(start + t, static_cast<float>(v * env * level), -0.15f, 0.45f);
  }
}

// A small Schroeder reverb: parallel feedback combs, then allpasses.
std::vector<float> Reverb(const std::vector<float>& in, int rate, int spread) {
  const int combs[4] = {1557, 1617, 1491, 1422}, allpasses[2] = {225, 556};
  std::vector<float> out(in.size(), 0.0f);
  for (int c : combs) {
    size_t delay = static_cast<size_t>((c + spread) * rate / 44100.0);
    std::vector<float> buffer(delay, 0.0f);
    float damp = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      float y = buffer[i % delay];
      damp = y * 0.7f + damp * 0.3f;
      buffer[i % delay] = in[i] + damp * 0.8f;
      out[i] += y * 0.25f;
    }
  }
  for (int a : allpasses) {
    size_t delay = static_cast<size_t>((a + spread) * rate / 44100.0);
    std::vector<float> buffer(delay, 0.0f);
    for (size_t i = 0; i < out.size(); ++i) {
      float delayed = buffer[i % delay], x = out[i];
      buffer[i % delay] = x + delayed * 0.5f;
      out[i] = delayed - x * 0.5f;
    }
  }
  return out;
}

Stereo Mixer::Finish() {
  std::vector<float> left = Reverb(wet_.left, rate_, 0), right = Reverb(wet_.right, rate_, 23);
  Stereo out(dry_.Frames());
  for (size_t i = 0; i < out.Frames(); ++i) {
    out.left[i] = std::tanh(dry_.left[i] + left[i] * 0.6f);
    out.right[i] = std::tanh(dry_.right[i] + right[i] * 0.6f);
  }
  float peak = Peak(out);
  if (peak > 0)
    for (size_t i = 0; i < out.Frames(); ++i) {
      out.left[i] *= 0.89f / peak;
      out.right[i] *= 0.89f / peak;
    }
  return out;
}

// Which instruments play in a bar: the intro builds up, the second part is
// the full groove, the third a breakdown, the fourth the groove with the
// melody, and the last bar one held chord.
struct Arrangement {
  bool bass, hats, sixteenthHats, kick, kickOnOne, snare, arp, lead, fill;
};

Arrangement ArrangementOf(int bar, int bars) {
  Arrangement a{};
  if (bar >= bars - 1) return a;
  if (bar < 8) {
    a.bass = bar >= 2;
    a.hats = bar >= 4;
    a.kick = bar >= 6;
    a.fill = bar == 7;
  } else if (bar < 16) {
    a = {true, true, true, true, false, true, true, false, bar == 15};
  } else if (bar < 22) {
    a.hats = true;
    a.kickOnOne = true;
    a.arp = true;
    a.fill = bar == 21;
  } else {
    a = {true, true, true, true, false, true, true, true, false};
  }
  return a;
}

void RenderBar(Mixer& m, Noise& noise, int bar, int bars) {
  const Chord& chord = kLoop[bar % 4];
  const double start = m.BarStart(bar), beat = m.SecondsPerBeat();
  const Arrangement a = ArrangementOf(bar, bars);
  const bool last = bar >= bars - 1;
  Pad(m, start, last ? 1.2 : kBeatsPerBar * beat, last ? kLoop[0].pad : chord.pad, 0.065f);
  if (last) Kick(m, start, 0.9f);
  for (int step = 0; step < 16; ++step) {
    double t = start + step * beat / 4;
    bool onBeat = step % 4 == 0;
    if (a.bass && step % 2 == 0) Bass(m, t, beat / 2 * 0.9, chord.bass + (step % 8 == 6 ? 12 : 0), 0.22f);
    if (!a.bass && bar >= 16 && !last && step == 0) Bass(m, t, kBeatsPerBar * beat, chord.bass, 0.2f);
    if (a.kick && onBeat) Kick(m, t, 0.75f);
    if (a.kickOnOne && step == 0) Kick(m, t, 0.8f);
    if (a.snare && (step == 4 || step == 12)) Snare(m, noise, t, 0.45f);
    if (a.fill && step >= 12) Snare(m, noise, t, 0.2f + 0.07f * (step - 12));
    if (a.hats && (a.sixteenthHats || step % 2 == 0))
      Hat(m, noise, t, step % 4 == 2 ? 0.16f : 0.09f, step % 2 ? 0.4f : -0.3f);
    if (a.arp) {
      static const int pattern[8] = {0, 1, 2, 1, 2, 0, 1, 2};
      int note = chord.pad[pattern[step % 8]] + 12 + (step >= 8 ? 12 : 0);
      Pluck(m, t, note, 0.07f, step % 2 ? 0.5f : -0.5f);
    }
  }
  if (a.lead)
    for (const Note& n : kMelody[bar % 4]) Lead(m, start + n.beat * beat, n.length * beat * 0.95, n.note, 0.09f);
}

}  // namespace

double NoteFrequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

float Peak(const Stereo& sound) {
  float peak = 0;
  for (size_t i = 0; i < sound.Frames(); ++i)
    peak = std::max({peak, std::fabs(sound.left[i]), std::fabs(sound.right[i])});
  return peak;
}

Stereo RenderTune(int sampleRate, int bars) {
  const double seconds = bars * kBeatsPerBar * 60.0 / kBpm;
  Mixer mixer(sampleRate, static_cast<size_t>(seconds * sampleRate));
  Noise noise;
  for (int bar = 0; bar < bars; ++bar) RenderBar(mixer, noise, bar, bars);
  return mixer.Finish();
}

bool WriteOggVorbis(const Stereo& sound, int sampleRate, double quality, const std::string& path) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  std::vector<float> interleaved(sound.Frames() * 2);
  for (size_t i = 0; i < sound.Frames(); ++i) {
    interleaved[2 * i] = sound.left[i];
    interleaved[2 * i + 1] = sound.right[i];
  }
  // The Vorbis encoder crashes on very large single writes: feed it blocks.
  const size_t block = 4096;
  bool ok = true;
  for (size_t start = 0; ok && start < sound.Frames(); start += block) {
    auto frames = static_cast<sf_count_t>(std::min(block, sound.Frames() - start));
    ok = sf_writef_float(file, interleaved.data() + 2 * start, frames) == frames;
  }
  return sf_close(file) == 0 && ok;
}

}  // namespace synth
