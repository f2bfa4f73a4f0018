// Music output: one decoded file played through an SDL audio device.
//
// The device callback decodes on the audio thread; the engine's thread only
// starts, stops, reads and sets the position. Positions are bytes of the
// decoded 16-bit stream (frames × channels × 2), the units the demo clock
// and the seek keys work in.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioDecoder.h"

namespace platform {

// Estimates the frame the listener hears from what the device callback
// has delivered. Callbacks come in bursts of a whole device buffer, so the
// estimate runs on the monotonic clock from the last delivery. It lags the
// delivered frames by the audio buffered ahead of the speaker, never passes
// what was delivered and never goes back until the next Restart.
class AudioPlayhead {
 public:
  using Clock = std::chrono::steady_clock;

  AudioPlayhead(int rate, std::int64_t latencyFrames) : rate_(rate), latency_(latencyFrames) {}

  // Playback starts, or the position jumps, at frame.
  void Restart(std::int64_t frame, Clock::time_point now);
  // A callback has handed the device the frames up to (not including) end.
  void Delivered(std::int64_t end, Clock::time_point now);
  std::int64_t Estimate(Clock::time_point now);

 private:
  int rate_;
  std::int64_t latency_;
  std::int64_t start_ = 0;      // where playback (re)started
  std::int64_t delivered_ = 0;  // end of the frames handed to the device
  std::int64_t anchor_ = 0;     // heard at anchorTime_
  Clock::time_point anchorTime_{};
  bool anchored_ = false;       // a delivery since the last Restart
  std::int64_t reported_ = 0;   // last estimate: the floor of the next one
};

class AudioStream;

// The SDL audio subsystem: the driver every stream's output opens on.
class AudioDevice {
 public:
  // nullptr when no audio driver can be started (SDL_AUDIODRIVER decides),
  // with SDL's reason in *whyNot when given. Silent: SDL's dummy driver,
  // whatever SDL_AUDIODRIVER says; no sound card or sound server is opened,
  // yet the streams' callbacks run at the music's pace, so their clock is
  // the same.
  static std::unique_ptr<AudioDevice> Open(std::string* whyNot = nullptr, bool silent = false);
  ~AudioDevice();  // waits for the streams still closing
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  // Closes the stream on a thread of its own: closing an output waits for
  // its audio thread (a device buffer or more), which no frame should.
  void CloseLater(std::unique_ptr<AudioStream> stream);
  // Waits for the streams still closing: SDL does not open and close
  // outputs safely at the same time. Returns at once when none is.
  void FinishClosing();

 private:
  struct Closing;
  explicit AudioDevice(bool silent);
  void JoinClosed();

  bool silent_;
  std::vector<std::unique_ptr<Closing>> closing_;
};

class AudioStream {
 public:
  // Opens the file (an engine path) and an output in the file's format,
  // paused at frame 0. nullptr when the file is missing or undecodable or
  // the output cannot be opened, with the reason in *whyNot when given.
  static std::unique_ptr<AudioStream> Open(AudioDevice& device, const std::string& enginePath,
                                           std::string* whyNot = nullptr);
  static std::unique_ptr<AudioStream> Open(AudioDevice& device, std::unique_ptr<AudioDecoder> decoder,
                                           std::string* whyNot = nullptr);
  // The decoder's music instead of old's, stopped at its start: in old's
  // output when it has the same rate and channels (see Replace), else in
  // an output of its own, opened before old's closes off this thread.
  // Either way no output closes on this thread, except with a driver of a
  // single output. Old is closed whatever the outcome.
  static std::unique_ptr<AudioStream> Follow(AudioDevice& device, std::unique_ptr<AudioStream> old,
                                             std::unique_ptr<AudioDecoder> decoder, std::string* whyNot = nullptr);
  ~AudioStream();  // closes the output: no callback runs afterwards
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  std::uint64_t LengthBytes() const;
  // Bytes of the device buffer; positions lag the decoder by about this much.
  std::uint64_t DeviceBufferBytes() const;

  // The next music in this same output, when it has the output's rate and
  // channels: the stream stops at its frame 0 with the new decoder and the
  // old one goes; no output is closed or opened. False, leaving decoder
  // untouched, for another format.
  bool Replace(std::unique_ptr<AudioDecoder>& decoder);

  void Play();  // continues from the current position
  void Stop();  // the position stays at what was heard last
  bool Playing() const;
  // True once the music has been heard to its end (stopped: the next Play
  // would start at the end), also when the file ends before the length it
  // claims. A SetPosition back into the music ends it.
  bool AtEnd() const;
  // Muted, the output is silence while decoding, positions and the clock
  // go on exactly as when heard.
  void SetMuted(bool muted);

  // While playing, the estimate of what is heard: smooth and monotonic
  // between seeks. Stopped: the frame the next Play starts with.
  std::uint64_t Position() const;
  // Moves to the frame holding byte `bytes`; false, leaving the position,
  // when that is past the end.
  bool SetPosition(std::uint64_t bytes);

  double Bytes2Seconds(std::uint64_t bytes) const;
  std::uint64_t Seconds2Bytes(double seconds) const;  // whole frames

  // What the device callback does: decodes the next frames into out,
  // silence after the end, and advances the position. Tests call it on a
  // stopped stream to check what a seek decodes.
  void Render(std::int16_t* out, std::size_t frames);

 private:
  friend class AudioDevice;  // silences a stream it closes
  AudioStream(std::unique_ptr<AudioDecoder> decoder);
  bool OpenOutput();
  static void Callback(void* self, std::uint8_t* out, int len);
  std::size_t FrameBytes() const { return 2 * static_cast<std::size_t>(channels_); }

  mutable std::mutex mutex_;  // guards everything below against the callback
  std::unique_ptr<AudioDecoder> decoder_;
  int rate_;
  int channels_;
  std::uint32_t output_ = 0;  // SDL device id
  std::int64_t deviceFrames_ = 0;
  std::int64_t nextFrame_ = 0;  // the decoder's next frame
  std::int64_t endFrame_ = 0;   // the music's length, or where decoding ran dry
  bool playing_ = false;
  bool muted_ = false;
  mutable AudioPlayhead playhead_{1, 0};
};

}  // namespace platform
