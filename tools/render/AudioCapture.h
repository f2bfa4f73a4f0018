// The sound track of a captured span: the demo's music decoded from the
// first frame's time for exactly as long as the frames last, so a video
// made from the frames and this sound stays in sync.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class AudioDecoder;
}

// The music from a demo time on, as interleaved 16-bit frames: silence
// where the span lies after the music's end. One thread at a time.
class SpanSound {
 public:
  // nullptr when musicPath is empty or cannot be decoded.
  static std::unique_ptr<SpanSound> Open(const std::string& musicPath, double fromMs);
  ~SpanSound();

  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  // How many sound frames the span holds up to ms after its start.
  std::int64_t FramesUntil(double ms) const;
  // The next frames of the span (frames × Channels() samples).
  void Read(std::int16_t* out, std::int64_t frames);

 private:
  SpanSound(std::unique_ptr<platform::AudioDecoder> decoder, double fromMs);

  std::unique_ptr<platform::AudioDecoder> decoder_;
  int rate_;
  int channels_;
  double fromMs_;
  bool playing_;  // false once the music has ended
};

// Writes frameCount / fps seconds of the music starting at fromMs into a
// 16-bit WAV file. musicPath empty or undecodable: silence of the same
// length (44100 Hz stereo). False with a message when the file cannot be
// written.
bool WriteCapturedAudio(const std::string& musicPath, double fromMs, long frameCount, int fps,
                        const std::string& wavPath, std::string& error);
