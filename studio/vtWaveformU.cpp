#include "studio/vtWaveformU.h"

#include <algorithm>
#include <cmath>

#include "platform/AudioDecoder.h"

namespace {

constexpr std::size_t kBlockFrames = 8192;
constexpr float kFullScale = 32768.0f;

}  // namespace

bool ReadWaveform(platform::AudioDecoder& decoder, vtWaveform& out, const std::atomic<bool>* stop) {
  out = vtWaveform();
  const int channels = decoder.Channels();
  const int rate = decoder.Rate();
  if (channels <= 0 || rate <= 0) return true;
  const std::size_t bucketFrames =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(rate * kWaveformBucketMs / 1000.0f)));
  out.BucketMs = 1000.0f * static_cast<float>(bucketFrames) / static_cast<float>(rate);
  std::vector<std::int16_t> block(kBlockFrames * static_cast<std::size_t>(channels));
  std::size_t inBucket = 0;  // frames of the open bucket
  std::int16_t low = 0, high = 0;
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) return false;
    const std::size_t frames = decoder.Read(block.data(), kBlockFrames);
    for (std::size_t f = 0; f < frames; ++f) {
      const std::int16_t* frame = &block[f * static_cast<std::size_t>(channels)];
      if (inBucket == 0) low = high = frame[0];
      for (int c = 0; c < channels; ++c) {
        low = std::min(low, frame[c]);
        high = std::max(high, frame[c]);
      }
      if (++inBucket == bucketFrames) {
        out.Min.push_back(low / kFullScale);
        out.Max.push_back(high / kFullScale);
        inBucket = 0;
      }
    }
    if (frames < kBlockFrames) break;
  }
  if (inBucket > 0) {
    out.Min.push_back(low / kFullScale);
    out.Max.push_back(high / kFullScale);
  }
  return true;
}

void WaveformColumns(const vtWaveform& wave, float spanMs, int columns, std::vector<float>& min,
                     std::vector<float>& max) {
  min.assign(static_cast<std::size_t>(columns), 0.0f);
  max.assign(static_cast<std::size_t>(columns), 0.0f);
  const std::size_t buckets = wave.Min.size();
  if (buckets == 0 || !(wave.BucketMs > 0) || !(spanMs > 0)) return;
  const double perColumn = static_cast<double>(spanMs) / columns / wave.BucketMs;  // buckets
  for (int c = 0; c < columns; ++c) {
    const auto first = static_cast<std::size_t>(std::floor(c * perColumn));
    if (first >= buckets) break;
    // Every bucket the column's span touches, at least the one it starts in.
    auto end = static_cast<std::size_t>(std::ceil((c + 1) * perColumn));
    end = std::min(buckets, std::max(end, first + 1));
    const auto i = static_cast<std::size_t>(c);
    min[i] = *std::min_element(wave.Min.begin() + static_cast<std::ptrdiff_t>(first),
                               wave.Min.begin() + static_cast<std::ptrdiff_t>(end));
    max[i] = *std::max_element(wave.Max.begin() + static_cast<std::ptrdiff_t>(first),
                               wave.Max.begin() + static_cast<std::ptrdiff_t>(end));
  }
}
