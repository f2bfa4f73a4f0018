// The music's waveform for the studio page: the smallest and largest
// sample of every few milliseconds of the decoded music, read once, then
// folded into as many columns as the page draws.
//
// Threads: pure CPU over plain data; ReadWaveform is meant for a worker
// thread (decoding a whole music takes a second or more), the rest may run
// anywhere. Nothing here touches the engine's globals.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace platform {
class AudioDecoder;
}

struct vtWaveform {
  float BucketMs = 0;  // the music time one bucket covers
  // Per bucket, over every channel, as fractions of full scale (-1..1).
  std::vector<float> Min, Max;
  float LengthMs() const { return BucketMs * static_cast<float>(Min.size()); }
};

// About this much music time per bucket (a whole number of frames).
inline constexpr float kWaveformBucketMs = 5.0f;

// Decodes the music from the decoder's current position to its end into
// out (replacing what it held). stop, when given, is looked at between
// blocks: false once it is set (out then holds what was read so far).
bool ReadWaveform(platform::AudioDecoder& decoder, vtWaveform& out,
                  const std::atomic<bool>* stop = nullptr);

// Column c of columns covers the span [c, c + 1) * spanMs / columns of
// music time: min and max := the extremes of the buckets it touches (0
// past the music's end or for an empty waveform). columns must be > 0.
void WaveformColumns(const vtWaveform& wave, float spanMs, int columns, std::vector<float>& min,
                     std::vector<float>& max);
