#include "tools/render/AudioCapture.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/AudioDecoder.h"

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

// Frame index of a time at a rate, rounded to the nearest frame.
std::int64_t FrameAt(double ms, int rate) { return std::llround(ms / 1000.0 * rate); }

}  // namespace

bool WriteCapturedAudio(const std::string& musicPath, double fromMs, long frameCount, int fps,
                        const std::string& wavPath, std::string& error) {
  std::unique_ptr<platform::AudioDecoder> decoder;
  if (!musicPath.empty()) decoder = platform::OpenAudioFile(musicPath);
  const int rate = decoder ? decoder->Rate() : 44100;
  const int channels = decoder ? decoder->Channels() : 2;
  const double toMs = fromMs + frameCount * 1000.0 / fps;
  const std::int64_t first = FrameAt(fromMs, rate);
  const std::int64_t total = std::max<std::int64_t>(0, FrameAt(toMs, rate) - first);

  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  std::unique_ptr<SNDFILE, SndfileCloser> out(sf_open(wavPath.c_str(), SFM_WRITE, &info));
  if (!out) {
    error = "cannot write " + wavPath + ": " + sf_strerror(nullptr);
    return false;
  }
  // Times before the music's start or after its end are silence.
  std::int64_t silenceBefore = first < 0 ? std::min(total, -first) : 0;
  bool positioned = decoder && first >= 0 && decoder->Seek(first);
  if (decoder && first < 0) positioned = decoder->Seek(0);
  std::vector<std::int16_t> block(4096 * static_cast<size_t>(channels));
  for (std::int64_t done = 0; done < total;) {
    const std::int64_t want = std::min<std::int64_t>(4096, total - done);
    std::fill(block.begin(), block.end(), 0);
    const std::int64_t silent = std::clamp<std::int64_t>(silenceBefore - done, 0, want);
    if (positioned && want > silent)
      decoder->Read(block.data() + silent * channels, static_cast<size_t>(want - silent));
    if (sf_writef_short(out.get(), block.data(), want) != want) {
      error = "cannot write " + wavPath;
      return false;
    }
    done += want;
  }
  return true;
}
