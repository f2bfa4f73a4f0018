// The demo's one piece of music, played as a stream from a file.
//
// Position and seeking are in bytes of the decoded 16-bit stream (frames
// times channels times 2), with the bytes-to-seconds conversion of that
// stream, so the demo clock and the seek keys work on it like on any
// stream of the audio library the demos were written for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class AudioDecoder;
class AudioDevice;
class AudioStream;
}

class vtBass {
 public:
  vtBass();
  ~vtBass();  // frees the stream, then the audio device
  vtBass(const vtBass&) = delete;
  vtBass& operator=(const vtBass&) = delete;

  std::string FileName;      // WorkDir + "\" + the script's name
  std::string Named;         // the script's name, as written
  std::string Failure;       // why the named music cannot be played; empty when it plays
  std::uint32_t Stream = 0;  // 0: no stream
  bool Loaded = false;
  bool Timer = false;  // the stream's position is the demo clock

  // Opens the audio device (once) and the file as a stream, not playing.
  // A second call replaces the first music. Every failure (no audio
  // driver, a missing or undecodable file, a file without sound) leaves
  // Stream 0 and Loaded false: the demo plays silently on the system clock.
  // No box is shown; Failure says why, and so do a line on stderr and a
  // log entry (vtReportFileProblem).
  void LoadMusic(const std::string& name);
  // The same with the file already opened as decoder (on another thread,
  // so that no frame waits for it); nullptr: it could not be, for whyNot.
  void LoadMusic(const std::string& name, std::unique_ptr<platform::AudioDecoder> decoder,
                 const std::string& whyNot);
  // No music: the stream closes and every field says so (no Failure); the
  // device stays open for a later LoadMusic.
  void Close();
  void Play();  // when Loaded: start (or continue) playing

  // The channel operations the clock, seek and pause keys use.
  std::uint64_t GetPosition() const;  // bytes; smooth and monotonic while playing
  // Past the end: position unchanged. A backward seek before the start,
  // computed in unsigned bytes, wraps to a huge value and is refused too.
  void SetPosition(std::uint64_t bytes);
  double Bytes2Seconds(std::uint64_t bytes) const;
  std::uint64_t Seconds2Bytes(double seconds) const;  // whole frames
  void Stop();  // stops output, keeps the position
  bool Playing() const;  // started and not stopped (also at the end)
  std::uint64_t LengthBytes() const;  // 0 without a stream
  // The music has been heard to its end (false without a stream).
  bool AtEnd() const;
  // No sound is heard from this and every later music; positions and the
  // music clock run as with sound. Main thread.
  void SetMuted(bool muted);

 private:
  void Fail(const std::string& why);
  void Started();  // the new stream_ is the music

  std::unique_ptr<platform::AudioDevice> device_;  // declared first: freed last
  std::unique_ptr<platform::AudioStream> stream_;
  bool muted_ = false;
};
