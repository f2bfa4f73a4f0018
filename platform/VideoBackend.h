// What VideoEncoder asks of the codecs. They live in a module of their own
// (vortane-video.so, linking FFmpeg's libraries and the hundred libraries
// those bring), loaded by the first video written: a program that links
// VideoEncoder but writes no video starts without loading any of them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/VideoEncoder.h"

namespace platform {

enum class VideoContainer { Mp4, Webm };

// One video file being written; the calls and their order as VideoEncoder's.
// Each failure says why in error.
class VideoBackend {
 public:
  virtual ~VideoBackend() = default;
  virtual bool Open(const std::string& path, VideoContainer container, const VideoSettings& settings,
                    std::string& error) = 0;
  virtual bool AddFrame(const std::uint8_t* rgba, std::string& error) = 0;
  virtual bool AddSound(const std::int16_t* samples, int frames, std::string& error) = 0;
  virtual bool Finish(std::string& error) = 0;
};

}  // namespace platform

// The module's one entry point: a new backend, owned by the caller (the
// module is built with the same compiler and library as the programs).
extern "C" platform::VideoBackend* vortane_video_backend();
