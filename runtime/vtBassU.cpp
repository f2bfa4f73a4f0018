#include "runtime/vtBassU.h"

#include <atomic>

#include "core/vtFuncU.h"
#include "core/vtLoadProfileU.h"
#include "core/vtLogU.h"
#include "core/vtWorkDirU.h"
#include "platform/Audio.h"
#include "platform/Files.h"

namespace {
// Stream handles are never reused, so a replaced stream's number stays dead.
std::uint32_t NewStreamHandle() {
  static std::atomic<std::uint32_t> next{1};
  return next++;
}

}  // namespace

vtBass::vtBass() = default;

vtBass::~vtBass() {
  stream_.reset();
  device_.reset();
}

void vtBass::LoadMusic(const std::string& name) {
  vtLoadPhaseScope phase(vtLoadPhase::Music);
  Loaded = false;
  Stream = 0;
  stream_.reset();
  Named = name;
  Failure.clear();
  std::string whyNot;
  // The device stays open across calls, so a second music replaces the
  // first. Muted from the start (--mute), it is a silent one: no sound card
  // is opened, and nothing about the machine's audio can fail.
  if (!device_) device_ = platform::AudioDevice::Open(&whyNot, muted_);
  if (!device_) return Fail(whyNot);
  FileName = WorkDir() + "\\" + name;
  stream_ = platform::AudioStream::Open(*device_, FileName, &whyNot);
  if (!stream_) return Fail(whyNot);
  Started();
}

void vtBass::LoadMusic(const std::string& name, std::unique_ptr<platform::AudioDecoder> decoder,
                       const std::string& whyNot) {
  vtLoadPhaseScope phase(vtLoadPhase::Music);
  std::unique_ptr<platform::AudioStream> old = std::move(stream_);
  Close();
  Named = name;
  std::string why = whyNot;
  if (!device_) device_ = platform::AudioDevice::Open(&why);
  if (!device_) return Fail(why);
  FileName = WorkDir() + "\\" + name;
  if (!decoder) {
    device_->CloseLater(std::move(old));
    return Fail(why);
  }
  stream_ = platform::AudioStream::Follow(*device_, std::move(old), std::move(decoder), &why);
  if (!stream_) return Fail(why);
  Started();
}

void vtBass::Started() {
  stream_->SetMuted(muted_);
  Stream = NewStreamHandle();
  Loaded = true;
}

// The output closes off this thread: closing waits for its audio thread.
void vtBass::Close() {
  if (stream_) device_->CloseLater(std::move(stream_));
  Stream = 0;
  Loaded = false;
  Timer = false;
  FileName.clear();
  Named.clear();
  Failure.clear();
}

void vtBass::Fail(const std::string& why) {
  Failure = why;
  vtReportFileProblem("the music \"" + Named + "\" cannot be played: " + why, "vtBass.LoadMusic");
}

void vtBass::Play() {
  if (Loaded && Stream != 0 && stream_) stream_->Play();
}

void vtBass::Stop() {
  if (stream_) stream_->Stop();
}

std::uint64_t vtBass::GetPosition() const { return stream_ ? stream_->Position() : 0; }

void vtBass::SetPosition(std::uint64_t bytes) {
  if (stream_) stream_->SetPosition(bytes);
}

double vtBass::Bytes2Seconds(std::uint64_t bytes) const {
  return stream_ ? stream_->Bytes2Seconds(bytes) : 0.0;
}

std::uint64_t vtBass::Seconds2Bytes(double seconds) const {
  return stream_ ? stream_->Seconds2Bytes(seconds) : 0;
}

bool vtBass::Playing() const { return stream_ && stream_->Playing(); }

std::uint64_t vtBass::LengthBytes() const { return stream_ ? stream_->LengthBytes() : 0; }

bool vtBass::AtEnd() const { return stream_ && stream_->AtEnd(); }

void vtBass::SetMuted(bool muted) {
  muted_ = muted;
  if (stream_) stream_->SetMuted(muted);
}
