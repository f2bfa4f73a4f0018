// Video files through FFmpeg's libraries: an .mp4 holds H.264 (High
// profile, yuv420p) with AAC sound and its index at the front; a .webm
// holds VP9 with Opus sound.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// True for the names whose container and codecs are known (.mp4, .webm,
// in any letter case).
bool IsVideoFileName(const std::string& path);

struct VideoSettings {
  int Width = 0;  // both even (4:2:0 chroma)
  int Height = 0;
  int Fps = 60;
  int Quality = 18;   // constant quality, 1 (best) to 51, on x264's CRF scale
  int SoundRate = 0;  // 0: no sound stream
  int SoundChannels = 0;
};

class VideoBackend;  // the codecs, loaded with the first video (VideoBackend.h)

// Encodes frames and sound into a file as they come. The file is written
// as PATH.part and takes its name only when Finish succeeds, replacing any
// file there: PATH holds a whole playable video or is left untouched.
// One thread at a time; not tied to the thread that created it.
class VideoEncoder {
 public:
  VideoEncoder();
  // Without a successful Finish the partial file is removed.
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Sets up the codecs and writes the header; false with Error().
  bool Open(const std::string& path, const VideoSettings& settings);
  // The next frame: Width × Height RGBA pixels, bottom row first.
  bool AddFrame(const std::uint8_t* rgba);
  // The next sound frames: interleaved 16-bit samples at SoundRate.
  bool AddSound(const std::int16_t* samples, int frames);
  // Flushes the encoders, completes the file and gives it its name.
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  std::unique_ptr<VideoBackend> backend_;
  std::string error_;
};

}  // namespace platform
