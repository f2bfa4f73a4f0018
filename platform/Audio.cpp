#include "platform/Audio.h"

#include <SDL.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

// --- AudioPlayhead ---------------------------------------------------------

void AudioPlayhead::Restart(std::int64_t frame, Clock::time_point now) {
  start_ = delivered_ = anchor_ = reported_ = frame;
  anchorTime_ = now;
  anchored_ = false;
}

void AudioPlayhead::Delivered(std::int64_t end, Clock::time_point now) {
  // Nothing new (the music has ended): the estimate runs out to the end.
  if (anchored_ && end <= delivered_) return;
  delivered_ = end;
  anchor_ = std::max(start_, end - latency_);
  anchorTime_ = now;
  anchored_ = true;
}

std::int64_t AudioPlayhead::Estimate(Clock::time_point now) {
  if (!anchored_) return reported_;
  double elapsed = std::chrono::duration<double>(now - anchorTime_).count();
  auto heard = anchor_ + static_cast<std::int64_t>(elapsed * rate_);
  reported_ = std::max(reported_, std::min(heard, delivered_));
  return reported_;
}

// --- AudioDevice -----------------------------------------------------------

struct AudioDevice::Closing {
  std::unique_ptr<AudioStream> Stream;
  std::atomic<bool> Done{false};
  std::thread Worker;
};

AudioDevice::AudioDevice(bool silent) : silent_(silent) {}

std::unique_ptr<AudioDevice> AudioDevice::Open(std::string* whyNot, bool silent) {
  // SDL_AudioInit names the driver; SDL_InitSubSystem would take the
  // environment's choice (a real output, reached through its libraries).
  const int failed = silent ? SDL_AudioInit("dummy") : SDL_InitSubSystem(SDL_INIT_AUDIO);
  if (failed != 0) {
    if (whyNot) *whyNot = std::string("no audio output: ") + SDL_GetError();
    return nullptr;
  }
  return std::unique_ptr<AudioDevice>(new AudioDevice(silent));
}

AudioDevice::~AudioDevice() {
  FinishClosing();
  if (silent_)
    SDL_AudioQuit();
  else
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::CloseLater(std::unique_ptr<AudioStream> stream) {
  if (!stream) return;
  JoinClosed();
  SDL_PauseAudioDevice(stream->output_, 1);  // silent at once, though the close takes longer
  auto closing = std::make_unique<Closing>();
  closing->Stream = std::move(stream);
  Closing& shared = *closing;
  closing->Worker = std::thread([&shared] {
    shared.Stream.reset();
    shared.Done = true;
  });
  closing_.push_back(std::move(closing));
}

void AudioDevice::FinishClosing() {
  for (auto& closing : closing_) closing->Worker.join();
  closing_.clear();
}

// Closings that ended are joined (at once: their threads are done).
void AudioDevice::JoinClosed() {
  closing_.erase(std::remove_if(closing_.begin(), closing_.end(),
                                [](const std::unique_ptr<Closing>& closing) {
                                  if (!closing->Done) return false;
                                  closing->Worker.join();
                                  return true;
                                }),
                 closing_.end());
}

// --- AudioStream -----------------------------------------------------------

namespace {
constexpr int kMaxChannels = 8;  // what SDL can convert from

// A power of two of 20 to 40 ms (1024 frames at 44.1 and 48 kHz): short
// enough for a tight clock, long enough not to starve on a busy machine.
std::uint16_t DeviceBufferFrames(int rate) {
  std::uint16_t frames = 256;
  while (frames < 4096 && frames * 50 < rate) frames *= 2;
  return frames;
}
}  // namespace

AudioStream::AudioStream(std::unique_ptr<AudioDecoder> decoder)
    : decoder_(std::move(decoder)),
      rate_(decoder_->Rate()),
      channels_(decoder_->Channels()),
      endFrame_(std::max<std::int64_t>(decoder_->Frames(), 0)) {}

std::unique_ptr<AudioStream> AudioStream::Open(AudioDevice& device, const std::string& enginePath,
                                               std::string* whyNot) {
  std::unique_ptr<AudioDecoder> decoder = OpenAudioFile(enginePath, whyNot);
  if (!decoder) return nullptr;
  return Open(device, std::move(decoder), whyNot);
}

std::unique_ptr<AudioStream> AudioStream::Open(AudioDevice& device, std::unique_ptr<AudioDecoder> decoder,
                                               std::string* whyNot) {
  return Follow(device, nullptr, std::move(decoder), whyNot);
}

std::unique_ptr<AudioStream> AudioStream::Follow(AudioDevice& device, std::unique_ptr<AudioStream> old,
                                                 std::unique_ptr<AudioDecoder> decoder, std::string* whyNot) {
  if (old && old->Replace(decoder)) return old;
  device.FinishClosing();
  std::string why;
  if (!decoder)
    why = "nothing to play";
  else if (decoder->Channels() < 1 || decoder->Channels() > kMaxChannels)
    why = std::to_string(decoder->Channels()) + " channels; at most " + std::to_string(kMaxChannels) + " play";
  std::unique_ptr<AudioStream> stream;
  if (why.empty()) {
    stream.reset(new AudioStream(std::move(decoder)));
    bool open = stream->OpenOutput();
    // A driver of a single output (SDL's dummy) opens the next one only
    // once the old one has closed: then this waits for that.
    if (!open && old) {
      old.reset();
      open = stream->OpenOutput();
    }
    if (!open) {
      why = std::string("the audio output cannot be opened: ") + SDL_GetError();
      stream.reset();
    }
  }
  device.CloseLater(std::move(old));
  if (whyNot && !why.empty()) *whyNot = why;
  return stream;
}

bool AudioStream::OpenOutput() {
  SDL_AudioSpec want{}, have{};
  want.freq = rate_;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(channels_);
  want.samples = DeviceBufferFrames(rate_);
  want.callback = &AudioStream::Callback;
  want.userdata = this;
  // No allowed changes: SDL converts our format to whatever the device takes.
  output_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (output_ == 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  deviceFrames_ = have.samples;
  playhead_ = AudioPlayhead(rate_, deviceFrames_);
  return true;
}

AudioStream::~AudioStream() {
  if (output_ != 0) SDL_CloseAudioDevice(output_);
}

std::uint64_t AudioStream::LengthBytes() const {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(decoder_->Frames(), 0)) * FrameBytes();
}

std::uint64_t AudioStream::DeviceBufferBytes() const {
  return static_cast<std::uint64_t>(deviceFrames_) * FrameBytes();
}

// The music clock follows what the callbacks deliver: a callback that waits
// behind other processes costs the clock (and the listener) that time. So
// the audio thread asks once for real-time scheduling, the way audio
// servers run; where that is not allowed it keeps SDL's own priority.
namespace {
void RequestRealTimeScheduling() {
  thread_local bool asked = false;
  if (asked) return;
  asked = true;
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_RR) + 9;
  pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}
}  // namespace

void AudioStream::Callback(void* self, std::uint8_t* out, int len) {
  RequestRealTimeScheduling();
  auto* stream = static_cast<AudioStream*>(self);
  std::size_t frames = static_cast<std::size_t>(len) / stream->FrameBytes();
  stream->Render(reinterpret_cast<std::int16_t*>(out), frames);
  std::size_t used = frames * stream->FrameBytes();
  std::memset(out + used, 0, static_cast<std::size_t>(len) - used);
}

void AudioStream::Render(std::int16_t* out, std::size_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t done = 0;
  while (done < frames) {
    std::size_t n = decoder_->Read(out + done * channels_, frames - done);
    if (n == 0) break;
    done += n;
  }
  nextFrame_ += static_cast<std::int64_t>(done);
  if (done < frames) endFrame_ = std::min(endFrame_, nextFrame_);
  if (muted_) done = 0;
  std::fill(out + done * channels_, out + frames * channels_, std::int16_t{0});
  playhead_.Delivered(nextFrame_, AudioPlayhead::Clock::now());
}

bool AudioStream::Replace(std::unique_ptr<AudioDecoder>& decoder) {
  if (!decoder || decoder->Rate() != rate_ || decoder->Channels() != channels_) return false;
  SDL_PauseAudioDevice(output_, 1);  // before the lock, as in Stop
  std::unique_ptr<AudioDecoder> old;  // freed once the lock is let go
  std::lock_guard<std::mutex> lock(mutex_);
  playing_ = false;
  old = std::move(decoder_);
  decoder_ = std::move(decoder);
  nextFrame_ = 0;
  endFrame_ = std::max<std::int64_t>(decoder_->Frames(), 0);
  playhead_.Restart(0, AudioPlayhead::Clock::now());
  return true;
}

void AudioStream::Play() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (playing_) return;
    playing_ = true;
    playhead_.Restart(nextFrame_, AudioPlayhead::Clock::now());
  }
  SDL_PauseAudioDevice(output_, 0);
}

void AudioStream::Stop() {
  // Pausing waits for a running callback, which takes mutex_: pause first.
  SDL_PauseAudioDevice(output_, 1);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!playing_) return;
  playing_ = false;
  // Drop what was decoded but not heard, so Play continues where it stopped.
  std::int64_t heard = playhead_.Estimate(AudioPlayhead::Clock::now());
  if (decoder_->Seek(heard)) nextFrame_ = heard;
}

bool AudioStream::Playing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playing_;
}

bool AudioStream::AtEnd() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t frame = playing_ ? playhead_.Estimate(AudioPlayhead::Clock::now()) : nextFrame_;
  return frame >= endFrame_;
}

void AudioStream::SetMuted(bool muted) {
  std::lock_guard<std::mutex> lock(mutex_);
  muted_ = muted;
}

std::uint64_t AudioStream::Position() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t frame = playing_ ? playhead_.Estimate(AudioPlayhead::Clock::now()) : nextFrame_;
  return static_cast<std::uint64_t>(frame) * FrameBytes();
}

bool AudioStream::SetPosition(std::uint64_t bytes) {
  if (bytes > LengthBytes()) return false;
  auto frame = static_cast<std::int64_t>(bytes / FrameBytes());
  std::lock_guard<std::mutex> lock(mutex_);
  if (!decoder_->Seek(frame)) return false;
  nextFrame_ = frame;
  playhead_.Restart(frame, AudioPlayhead::Clock::now());
  return true;
}

double AudioStream::Bytes2Seconds(std::uint64_t bytes) const {
  return static_cast<double>(bytes) / (static_cast<double>(rate_) * FrameBytes());
}

std::uint64_t AudioStream::Seconds2Bytes(double seconds) const {
  if (!(seconds > 0)) return 0;
  return static_cast<std::uint64_t>(std::llround(seconds * rate_)) * FrameBytes();
}

}  // namespace platform
