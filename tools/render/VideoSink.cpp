#include "tools/render/VideoSink.h"

namespace {

// Frames waiting for the encoder: enough to absorb uneven frame times,
// few enough to hold little memory at large sizes.
constexpr size_t kQueueLength = 3;

}  // namespace

VideoSink::VideoSink(const std::string& path, platform::VideoSettings settings, std::unique_ptr<SpanSound> sound)
    : sound_(std::move(sound)), fps_(settings.Fps) {
  settings.SoundRate = sound_ ? sound_->Rate() : 0;
  settings.SoundChannels = sound_ ? sound_->Channels() : 0;
  if (!encoder_.Open(path, settings)) {
    error_ = encoder_.Error();
    return;
  }
  worker_ = std::thread(&VideoSink::Work, this);
}

VideoSink::~VideoSink() { Stop(true); }

void VideoSink::Stop(bool abandon) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    abandon_ = abandon;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool VideoSink::Take(Picture&& picture) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kQueueLength || failed_; });
  if (failed_ || !worker_.joinable()) return false;
  queue_.push_back(std::move(picture));
  lock.unlock();
  changed_.notify_all();
  return true;
}

Picture VideoSink::Spare() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (spares_.empty()) return {};
  Picture spare = std::move(spares_.back());
  spares_.pop_back();
  return spare;
}

bool VideoSink::Finish() {
  if (!worker_.joinable()) return false;
  Stop(false);
  if (failed_) return false;
  if (!encoder_.Finish()) {
    error_ = encoder_.Error();
    return false;
  }
  return true;
}

void VideoSink::Work() {
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
    if (abandon_ || queue_.empty()) return;
    Picture picture = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    changed_.notify_all();
    const bool encoded = Encode(picture);
    lock.lock();
    if (!encoded) {
      failed_ = true;
      error_ = encoder_.Error();
      lock.unlock();
      changed_.notify_all();
      return;
    }
    // Pictures in flight are the queue, the one encoded and the one drawn.
    if (spares_.size() <= kQueueLength) spares_.push_back(std::move(picture));
  }
}

// The frame, then the sound up to its end: both streams stop together
// whenever the render stops.
bool VideoSink::Encode(const Picture& picture) {
  if (!encoder_.AddFrame(picture.Rgba.data())) return false;
  ++framesEncoded_;
  if (!sound_) return true;
  const std::int64_t until = sound_->FramesUntil(framesEncoded_ * 1000.0 / fps_);
  const int frames = static_cast<int>(until - soundEncoded_);
  soundBlock_.resize(static_cast<size_t>(frames) * sound_->Channels());
  sound_->Read(soundBlock_.data(), frames);
  soundEncoded_ = until;
  return encoder_.AddSound(soundBlock_.data(), frames);
}
