// The sample demo's music: a small additive synthesiser and drum machine
// that renders one fixed tune (A minor, 120 beats per minute, bars of two
// seconds, so the demo's scene changes fall on bar lines).
#pragma once

#include <string>
#include <vector>

namespace synth {

// Two channels of samples in [-1, 1].
struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(size_t frames = 0) : left(frames), right(frames) {}
  size_t Frames() const { return left.size(); }
};

// The frequency of a MIDI note number (69 = A4 = 440 Hz).
double NoteFrequency(int midiNote);

// The whole tune, `bars` bars long (30 bars = 60 seconds), peak-normalised.
Stereo RenderTune(int sampleRate, int bars);

// Largest absolute sample over both channels.
float Peak(const Stereo& sound);

// Writes Ogg Vorbis at the given VBR quality (0 … 1); false on failure.
bool WriteOggVorbis(const Stereo& sound, int sampleRate, double quality, const std::string& path);

}  // namespace synth
