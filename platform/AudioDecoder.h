// Music file decoding: sampled audio (WAV, FLAC, Ogg Vorbis, MP3 and the
// rest libsndfile knows) and tracker modules (MOD, XM, S3M, IT through
// libopenmpt), both as interleaved signed 16-bit frames. Samples stored as
// floating point play at their level: full scale is ±1, anything beyond is
// clipped and a sample that is no number is silence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;
  virtual int Rate() const = 0;      // frames per second
  virtual int Channels() const = 0;  // samples per frame
  virtual std::int64_t Frames() const = 0;  // length of the music
  // Decodes up to `frames` frames into out (frames × Channels() samples);
  // returns how many were decoded, fewer than asked only at the end.
  virtual std::size_t Read(std::int16_t* out, std::size_t frames) = 0;
  // The next Read starts at this frame (0..Frames()); false leaves the
  // decoder where it was.
  virtual bool Seek(std::int64_t frame) = 0;
};

// Rate of the rendered tracker modules.
constexpr int kModuleRate = 44100;

// Tries libsndfile first, then libopenmpt; nullptr when neither decodes
// the bytes or they hold no sound, with the reason in words in *whyNot
// when given. The decoder keeps the bytes. Nothing is shown or logged.
std::unique_ptr<AudioDecoder> OpenAudioDecoder(std::vector<unsigned char> bytes, std::string* whyNot = nullptr);

// Reads the file through OpenFile and opens a decoder on its bytes;
// nullptr when the file is missing, unreadable or undecodable (the reason
// in *whyNot when given).
std::unique_ptr<AudioDecoder> OpenAudioFile(const std::string& enginePath, std::string* whyNot = nullptr);

}  // namespace platform
