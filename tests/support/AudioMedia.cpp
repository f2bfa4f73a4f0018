#include "support/AudioMedia.h"

#include <sndfile.h>

#include <cmath>

namespace testsupport {

std::vector<std::int16_t> TestTones(int frames, int channels, int rate) {
  std::vector<std::int16_t> samples(static_cast<size_t>(frames) * channels);
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) {
      double hz = 440.0 * (1 + 0.5 * c);
      samples[static_cast<size_t>(f) * channels + c] =
          static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * hz * f / rate)));
    }
  return samples;
}

bool CanWriteSound(int format, int rate, int channels) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  return sf_format_check(&info) != 0;
}

bool WriteSound(const std::string& path, int format, int rate, int channels,
                const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf) return false;
  sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
  bool ok = sf_writef_short(sf, samples.data(), frames) == frames;
  return sf_close(sf) == 0 && ok;
}

namespace {
SNDFILE* OpenForWriting(const std::string& path, int format, int rate, int channels) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  return sf_open(path.c_str(), SFM_WRITE, &info);
}
}  // namespace

double SineSample(int frame, int rate, double level, double hz) {
  return 32768 * level * std::sin(2 * M_PI * hz * frame / rate);
}

bool WriteSine(const std::string& path, int format, int rate, int channels, int frames, double level, double hz) {
  SNDFILE* sf = OpenForWriting(path, format, rate, channels);
  if (!sf) return false;
  std::vector<double> samples(static_cast<size_t>(frames) * channels);
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(f) * channels + c] = SineSample(f, rate, level, hz) / 32768;
  const bool ok = sf_writef_double(sf, samples.data(), frames) == frames;
  return sf_close(sf) == 0 && ok;
}

bool WriteFloats(const std::string& path, int format, int rate, int channels, const std::vector<float>& samples) {
  SNDFILE* sf = OpenForWriting(path, format, rate, channels);
  if (!sf) return false;
  const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
  const bool ok = sf_writef_float(sf, samples.data(), frames) == frames;
  return sf_close(sf) == 0 && ok;
}

namespace {
void PutWordBE(std::string& out, size_t at, unsigned value) {
  out[at] = static_cast<char>(value >> 8);
  out[at + 1] = static_cast<char>(value & 0xFF);
}
}  // namespace

std::string TinyModule() {
  const size_t kSampleWords = 32;
  std::string mod(20 + 31 * 30 + 2 + 128 + 4, '\0');
  mod.replace(0, 4, "tiny");
  size_t header = 20;  // sample 1
  mod.replace(header, 4, "sine");
  PutWordBE(mod, header + 22, kSampleWords);  // length in words
  mod[header + 25] = 64;                      // volume
  PutWordBE(mod, header + 26, 0);             // loop start
  PutWordBE(mod, header + 28, kSampleWords);  // loop length: the whole sample
  for (int i = 1; i < 31; ++i) PutWordBE(mod, 20 + i * 30 + 28, 1);  // empty samples
  size_t song = 20 + 31 * 30;
  mod[song] = 1;        // one order
  mod[song + 1] = 127;  // restart byte
  mod.replace(song + 2 + 128, 4, "M.K.");

  std::string pattern(64 * 4 * 4, '\0');
  const unsigned kPeriod = 428, kSample = 1;  // C-2, sample 1, on row 0 channel 0
  pattern[0] = static_cast<char>((kSample & 0xF0) | (kPeriod >> 8));
  pattern[1] = static_cast<char>(kPeriod & 0xFF);
  pattern[2] = static_cast<char>((kSample & 0x0F) << 4);
  mod += pattern;

  for (size_t i = 0; i < kSampleWords * 2; ++i)
    mod += static_cast<char>(std::lround(100 * std::sin(2 * M_PI * i / (kSampleWords * 2))));
  return mod;
}

}  // namespace testsupport
