// The waveform: read from a decoded music into buckets, folded into the
// columns the page asks for.
#include "studio/vtWaveformU.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <vector>

#include "platform/AudioDecoder.h"
#include "support/AudioMedia.h"
#include "support/TestGlobals.h"

namespace {

// 1000 frames a second: a bucket is 5 frames. Stereo; the right channel
// is the left one's negative, so each bucket's extremes come from both.
std::unique_ptr<platform::AudioDecoder> Music(const testsupport::TempDir& dir, const std::vector<std::int16_t>& left) {
  std::vector<std::int16_t> samples;
  for (std::int16_t s : left) {
    samples.push_back(s);
    samples.push_back(static_cast<std::int16_t>(-s / 2));
  }
  const std::string path = dir.File("music.wav");
  EXPECT_TRUE(testsupport::WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 2, samples));
  return platform::OpenAudioFile(path);
}

TEST(Waveform, EachBucketHoldsTheExtremesOfAllChannels) {
  testsupport::TempDir dir;
  // Two whole buckets and a partial third.
  auto decoder = Music(dir, {16384, 0, 0, 0, 0, /**/ 0, -8192, 0, 0, 8192, /**/ 32767, -32768});
  ASSERT_TRUE(decoder);
  vtWaveform wave;
  ASSERT_TRUE(ReadWaveform(*decoder, wave));
  EXPECT_FLOAT_EQ(wave.BucketMs, 5.0f);
  EXPECT_EQ(wave.Min, (std::vector<float>{-0.25f, -0.25f, -1.0f}));
  EXPECT_EQ(wave.Max, (std::vector<float>{0.5f, 0.25f, 32767 / 32768.0f}));
  EXPECT_FLOAT_EQ(wave.LengthMs(), 15.0f);
}

TEST(Waveform, StopsWhenAskedAndReadsNothingFromAnEmptyMusic) {
  testsupport::TempDir dir;
  auto decoder = Music(dir, std::vector<std::int16_t>(50000, 100));
  ASSERT_TRUE(decoder);
  std::atomic<bool> stop{true};
  vtWaveform wave;
  EXPECT_FALSE(ReadWaveform(*decoder, wave, &stop));
  EXPECT_TRUE(wave.Min.empty());
  decoder->Seek(decoder->Frames());
  EXPECT_TRUE(ReadWaveform(*decoder, wave));
  EXPECT_TRUE(wave.Min.empty());
}

TEST(Waveform, ColumnsFoldOrRepeatBucketsAndAreSilentPastTheMusic) {
  vtWaveform wave;
  wave.BucketMs = 10;
  wave.Min = {-0.1f, -0.4f, -0.2f, -0.3f};
  wave.Max = {0.1f, 0.2f, 0.5f, 0.3f};
  const struct {
    float spanMs;
    int columns;
    std::vector<float> min, max;
  } cases[] = {
      {40, 4, {-0.1f, -0.4f, -0.2f, -0.3f}, {0.1f, 0.2f, 0.5f, 0.3f}},  // one bucket each
      {40, 2, {-0.4f, -0.3f}, {0.2f, 0.5f}},                            // two folded
      {40, 1, {-0.4f}, {0.5f}},
      {20, 4, {-0.1f, -0.1f, -0.4f, -0.4f}, {0.1f, 0.1f, 0.2f, 0.2f}},  // a bucket repeated
      {80, 4, {-0.4f, -0.3f, 0, 0}, {0.2f, 0.5f, 0, 0}},                // the demo outlasts the music
      {30, 2, {-0.4f, -0.4f}, {0.2f, 0.5f}},                            // spans touching two buckets
      {0, 3, {0, 0, 0}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<float> min{9}, max;
    WaveformColumns(wave, c.spanMs, c.columns, min, max);
    EXPECT_EQ(min, c.min) << c.spanMs << " ms in " << c.columns;
    EXPECT_EQ(max, c.max) << c.spanMs << " ms in " << c.columns;
  }
  std::vector<float> min, max;
  WaveformColumns(vtWaveform(), 1000, 3, min, max);
  EXPECT_EQ(min, (std::vector<float>{0, 0, 0}));
}

}  // namespace
