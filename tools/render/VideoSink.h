// The frames encoded into a video file, with the demo's music of exactly
// the rendered span. Encoding runs on a thread of its own behind a short
// queue, so drawing the next frame overlaps encoding the last ones.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/VideoEncoder.h"
#include "tools/render/AudioCapture.h"
#include "tools/render/FrameSink.h"

class VideoSink : public FrameSink {
 public:
  // sound: the span's music, or nullptr for a video without a sound
  // stream. Check Error() after constructing: empty when the file is open.
  VideoSink(const std::string& path, platform::VideoSettings settings, std::unique_ptr<SpanSound> sound);
  // Stops the encoder thread; a video not finished is removed.
  ~VideoSink() override;

  // Queues the frame; waits while the queue is full. Main thread.
  bool Take(Picture&& picture) override;
  // An encoded frame's picture, to be composed into again. Main thread.
  Picture Spare() override;
  // Encodes what is queued and completes the file. Main thread.
  bool Finish() override;

 private:
  void Work();
  bool Encode(const Picture& picture);
  void Stop(bool abandon);

  platform::VideoEncoder encoder_;  // the worker's alone while it runs
  std::unique_ptr<SpanSound> sound_;
  int fps_;
  long framesEncoded_ = 0;
  std::int64_t soundEncoded_ = 0;  // sound frames
  std::vector<std::int16_t> soundBlock_;

  // mutex_ guards queue_, spares_, closing_, abandon_, failed_ and error_ while the worker runs.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Picture> queue_;
  std::vector<Picture> spares_;  // encoded: their storage goes round again
  bool closing_ = false;  // no more frames come
  bool abandon_ = false;  // the queued frames are dropped
  bool failed_ = false;
  std::thread worker_;
};
