#include "tools/render/AudioCapture.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/AudioDecoder.h"

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

// Frame index of a time at a rate, rounded to the nearest frame.
std::int64_t FrameAt(double ms, int rate) { return std::llround(ms / 1000.0 * rate); }

constexpr int kSilenceRate = 44100;
constexpr int kSilenceChannels = 2;

}  // namespace

std::unique_ptr<SpanSound> SpanSound::Open(const std::string& musicPath, double fromMs) {
  if (musicPath.empty()) return nullptr;
  std::unique_ptr<platform::AudioDecoder> decoder = platform::OpenAudioFile(musicPath);
  if (!decoder) return nullptr;
  return std::unique_ptr<SpanSound>(new SpanSound(std::move(decoder), fromMs));
}

SpanSound::SpanSound(std::unique_ptr<platform::AudioDecoder> decoder, double fromMs)
    : decoder_(std::move(decoder)),
      rate_(decoder_->Rate()),
      channels_(decoder_->Channels()),
      fromMs_(fromMs) {
  // A span that starts after the music's end is silence.
  playing_ = decoder_->Seek(FrameAt(fromMs, rate_));
}

SpanSound::~SpanSound() = default;

std::int64_t SpanSound::FramesUntil(double ms) const {
  return std::max<std::int64_t>(0, FrameAt(fromMs_ + ms, rate_) - FrameAt(fromMs_, rate_));
}

void SpanSound::Read(std::int16_t* out, std::int64_t frames) {
  std::fill(out, out + frames * channels_, 0);
  if (playing_) playing_ = decoder_->Read(out, static_cast<size_t>(frames)) == static_cast<size_t>(frames);
}

bool WriteCapturedAudio(const std::string& musicPath, double fromMs, long frameCount, int fps,
                        const std::string& wavPath, std::string& error) {
  std::unique_ptr<SpanSound> sound = SpanSound::Open(musicPath, fromMs);
  const double spanMs = frameCount * 1000.0 / fps;
  SF_INFO info{};
  info.samplerate = sound ? sound->Rate() : kSilenceRate;
  info.channels = sound ? sound->Channels() : kSilenceChannels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  const std::int64_t total = sound ? sound->FramesUntil(spanMs) : FrameAt(spanMs, kSilenceRate);
  std::unique_ptr<SNDFILE, SndfileCloser> out(sf_open(wavPath.c_str(), SFM_WRITE, &info));
  if (!out) {
    error = "cannot write " + wavPath + ": " + sf_strerror(nullptr);
    return false;
  }
  std::vector<std::int16_t> block(4096 * static_cast<size_t>(info.channels), 0);
  for (std::int64_t done = 0; done < total;) {
    const std::int64_t want = std::min<std::int64_t>(4096, total - done);
    if (sound) sound->Read(block.data(), want);
    if (sf_writef_short(out.get(), block.data(), want) != want) {
      error = "cannot write " + wavPath;
      return false;
    }
    done += want;
  }
  return true;
}
